#pragma once
// Who built an executable, as its Authenticode signature tells, and whether
// that publisher may replace the installed build.
#include <windows.h>

#include <string>
#include <vector>

#include "install/refusal.h"

// An executable's signature as WinVerifyTrust judges it, without revocation
// checks, without any user interface and without the network, and as the
// file itself carries it.
struct signature_t {
    // WinVerifyTrust's answer: 0 for a valid signature; any other value is a
    // refusal, whatever its reason (no signature, a changed byte, a cut).
    LONG result = -1;
    // The file's headers declare a certificate table: it carries a signature,
    // valid or not. Read from the file itself, never from WinVerifyTrust's
    // answer, so that a file that is missing or unsigned is never "signed".
    bool present = false;
    // The signer's subject as encoded in its certificate: from the
    // verification for a valid signature, else from the signature itself
    // (its signer's certificate). Empty when it cannot be read.
    std::vector<BYTE> subject;
    // From the signature itself: whether its signer carries a timestamp (a
    // countersignature), and when the signer's certificate ends, after which
    // a signature without a timestamp no longer verifies.
    bool timestamped = false;
    FILETIME not_after{};

    bool valid() const { return result == 0 && !subject.empty(); }
    // Signed, whether or not the signature still verifies: such a build lets
    // in only builds signed by its own signer.
    bool signed_at_all() const { return present || valid(); }
};

// The signature of the file at path. With file (open for reading), every
// read goes through that handle, so that what is judged is what the caller
// holds; path then only names it.
signature_t read_signature(const std::wstring& path, HANDLE file = INVALID_HANDLE_VALUE);

// The signer's subject as Windows writes it (see format_subject_text), on
// Windows and under Wine alike; empty when the subject cannot be read.
std::wstring subject_text(const signature_t& signature);

// Whether a new build may replace the installed one as far as its publisher
// goes, and if not, why:
// - an installed build that is signed lets in only a new one with a valid
//   signature whose signer has the very same subject, as encoded; whether
//   its own signature still verifies does not matter, and a signed build
//   whose signer cannot be read lets in nothing;
// - a required subject (not empty, written as Windows writes a signer) lets
//   in only a new one with a valid signature by that subject, compared
//   attribute by attribute; a required subject that cannot be read lets in
//   nothing;
// - with neither, any new build passes.
publisher_verdict_t publisher_verdict(const signature_t& offered, const signature_t& installed,
                                      const wchar_t* required_subject);
