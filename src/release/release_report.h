#pragma once
// The publisher's release check in words: a line for each thing found, and
// at the end the verdict for each width, as the updater would decide it. No
// Win32 here: the facts come from release_check, which asks the updater's own
// code.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "install/refusal.h"
#include "update/version_code.h"

// How one file of the release was had: read from the folder, or fetched as
// the updater fetches it.
struct fetch_facts_t {
    bool had = false;
    std::string how;      // when had from a host: what the host answered
    std::string problem;  // when not had: why
};

struct signer_facts_t {
    bool valid = false;
    std::uint32_t result = 0;  // WinVerifyTrust's answer
    // The signer's subject as Windows writes it, when it can be read: also
    // from a signature that does not verify.
    std::string subject;
    bool present = false;  // the file carries a signature, valid or not
    bool timestamped = false;
    std::string not_after{};  // when the signer's certificate ends: "2027-01-07 10:20:30 UTC"
};

// Compared with the folder given to --against: not compared, differs, the same.
enum class compared_t { no, differs, same };

struct build_facts_t {
    int bits = 0;
    fetch_facts_t fetch;
    std::size_t size = 0;
    int image_bits = 0;  // the width whose image checks it passes; 0 for none
    bool has_version = false;
    // VS_FIXEDFILEINFO's dwFileVersionMS and dwFileVersionLS.
    std::uint32_t version_ms = 0;
    std::uint32_t version_ls = 0;
    signer_facts_t signer;
    bool required_signer = false;  // signed by the required publisher
    compared_t against = compared_t::no;
};

struct previous_facts_t {
    std::string name;
    int bits = 0;
    version_code version = 0;
    signer_facts_t signer;
};

// A string of the version resource by which a build names another product
// than a previous build: its key and both values, none where absent.
struct name_difference_t {
    std::string key;
    std::optional<std::string> offered;
    std::optional<std::string> installed;
};

// The updater's judgement of one width's build, for users of one of the
// previous builds, or of any build below the announced version when no
// previous build of that width was given.
struct verdict_facts_t {
    int bits = 0;
    int previous = -1;  // index into previous, or -1
    build_refusal_t refusal = build_refusal_t::none;
    publisher_verdict_t publisher = publisher_verdict_t::accepted;
    // Against a previous build: where the build names another product.
    std::vector<name_difference_t> names;
};

struct release_facts_t {
    fetch_facts_t version_file;
    std::string version_file_bytes;  // its first bytes
    version_code announced = 0;
    compared_t version_file_against = compared_t::no;
    std::array<build_facts_t, 2> builds;  // OmBry32.exe, OmBry64.exe
    // -1: neither is validly signed; 0: not both by the same subject; 1: both by the same.
    int same_signer = -1;
    std::vector<previous_facts_t> previous;
    std::string required_publisher;
    std::vector<verdict_facts_t> verdicts;
};

struct release_report_t {
    std::vector<std::string> lines;     // "ok    ...", "warn  ..." or "FAIL  ..."
    std::vector<std::string> verdicts;  // "OmBry64: 2.5.0 → 2.5.1 installs", ...
    bool passed = true;                 // nothing failed: every updater will install the release
};

release_report_t report_release(const release_facts_t& facts);
