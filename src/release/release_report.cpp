#include "release/release_report.h"


namespace {

const char box_5[] = "users see box 5, the connection error";

std::string narrow(const std::wstring& ascii) { return std::string(ascii.begin(), ascii.end()); }
std::string dotted(version_code version) { return narrow(version_text(version)); }
std::string file_name(int bits) { return "OmBry" + std::to_string(bits) + ".exe"; }
std::string quoted(const std::string& text) { return "\"" + text + "\""; }

// value in that many hexadecimal digits.
std::string hex(std::uint32_t value, int digits) {
    const char numerals[] = "0123456789ABCDEF";
    std::string text;
    for (int digit = digits - 1; digit >= 0; --digit) text += numerals[(value >> (4 * digit)) & 0xF];
    return text;
}

// The first bytes of a file as they can be shown on one line.
std::string shown(const std::string& bytes) {
    constexpr std::size_t longest = 24;
    std::string text;
    for (std::size_t i = 0; i < bytes.size() && i < longest; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '\n') {
            text += "\\n";
        } else if (c == '\r') {
            text += "\\r";
        } else if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
            text += static_cast<char>(c);
        } else {
            text += "\\x" + hex(c, 2);
        }
    }
    if (bytes.size() > longest) text += "...";
    return quoted(text);
}

// Digits, as decimal_value reads them, that stop at a dot: "2.5.1".
bool dotted_text(const std::string& bytes) {
    const std::size_t digits = bytes.find_first_of("0123456789");
    if (digits == std::string::npos) return false;
    const std::size_t end = bytes.find_first_not_of("0123456789", digits);
    return end != std::string::npos && bytes[end] == '.';
}

std::string signer_text(const signer_facts_t& signer) {
    if (signer.valid) return "signed by " + quoted(signer.subject);
    if (!signer.present) return "not signed";
    const std::string invalid = "the signature is not valid (WinVerifyTrust 0x" + hex(signer.result, 8) + ")";
    if (signer.subject.empty()) return "signed, but " + invalid;
    return "signed by " + quoted(signer.subject) + ", but " + invalid;
}

class report_builder {
public:
    explicit report_builder(release_report_t& report) : report_(report) {}
    void ok(const std::string& line) { report_.lines.push_back("ok    " + line); }
    void fail(const std::string& line) {
        report_.lines.push_back("FAIL  " + line);
        report_.passed = false;
    }
    void check(bool passed, const std::string& line) { passed ? ok(line) : fail(line); }
    // What is right today but goes wrong later: it does not fail the check.
    void warn(const std::string& line) { report_.lines.push_back("warn  " + line); }

private:
    release_report_t& report_;
};

void report_version_file(const release_facts_t& facts, report_builder& out) {
    if (!facts.version_file.had) {
        out.fail("cversion.txt: " + facts.version_file.problem + ": every updater shows the connection error "
                 "(box 5) at every start, unless started silent");
        return;
    }
    if (!facts.version_file.how.empty()) out.ok("cversion.txt: " + facts.version_file.how);
    const std::string found = "cversion.txt: " + shown(facts.version_file_bytes) + " reads as " +
                              std::to_string(facts.announced);
    if (facts.announced <= 0) {
        out.fail(found + ": it does not start with a number, and no updater is ever offered this release");
    } else if (dotted_text(facts.version_file_bytes)) {
        out.fail(found + " (" + dotted(facts.announced) + "): the file must hold the version code, 251 for 2.5.1");
    } else {
        out.ok(found + ", version " + dotted(facts.announced));
    }
    if (facts.version_file_against != compared_t::no)
        out.check(facts.version_file_against == compared_t::same,
                  facts.version_file_against == compared_t::same
                      ? "cversion.txt: the bytes served are the folder's"
                      : "cversion.txt: the bytes served are not the folder's: a cache or mirror still serves "
                        "another copy");
}

void report_build(const release_facts_t& facts, const build_facts_t& build, report_builder& out) {
    const std::string name = file_name(build.bits) + ": ";
    if (!build.fetch.had) {
        out.fail(name + build.fetch.problem + ": every " + std::to_string(build.bits) +
                 "-bit updater fails to download it; " + box_5);
        return;
    }
    if (!build.fetch.how.empty()) out.ok(name + build.fetch.how);
    const std::string size = std::to_string(build.size) + " bytes";
    if (build.image_bits == build.bits) {
        out.ok(name + "a whole " + std::to_string(build.bits) + "-bit Windows executable, " + size);
    } else if (build.image_bits != 0) {
        out.fail(name + "a " + std::to_string(build.image_bits) + "-bit Windows executable, not the " +
                 std::to_string(build.bits) + "-bit one its name says; " + box_5);
    } else {
        out.fail(name + "not a whole " + std::to_string(build.bits) + "-bit Windows executable (" + size + "); " +
                 box_5);
    }

    if (!build.has_version) {
        out.fail(name + "no version resource; " + box_5);
    } else {
        const std::uint32_t parts[] = {build.version_ms >> 16, build.version_ms & 0xFFFF, build.version_ls >> 16,
                                       build.version_ls & 0xFFFF};
        const std::string version = std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." +
                                    std::to_string(parts[2]) + "." + std::to_string(parts[3]);
        const version_code code = version_code_from_file_version(build.version_ms, build.version_ls);
        if (parts[0] > 9 || parts[1] > 9 || parts[2] > 9) {
            out.fail(name + "version " + version + " has a part above 9: it reads as " + std::to_string(code) +
                     ", the code of " + dotted(code) + ", and is shown to users as that");
        } else if (code != facts.announced) {
            out.fail(name + "version " + version + " gives " + std::to_string(code) + ", not the announced " +
                     std::to_string(facts.announced) + "; " + box_5);
        } else {
            out.ok(name + "version " + version + " gives " + std::to_string(code) + ", as announced");
        }
    }

    out.check(build.signer.valid || !build.signer.present, name + signer_text(build.signer));
    if (build.signer.valid && !build.signer.timestamped)
        out.warn(name + "signed without a timestamp: from " +
                 (build.signer.not_after.empty() ? "the day" : build.signer.not_after) +
                 ", when its signing certificate ends, the signature no longer verifies and every updater refuses "
                 "it; sign it with a timestamp");
    if (!facts.required_publisher.empty())
        out.check(build.required_signer, name + (build.required_signer ? "signed by" : "not signed by") +
                                             " the required publisher " + quoted(facts.required_publisher) +
                                             (build.required_signer ? "" : "; every updater built with it refuses it"));
    if (build.against != compared_t::no)
        out.check(build.against == compared_t::same,
                  name + (build.against == compared_t::same
                              ? "the bytes served are the folder's"
                              : "the bytes served are not the folder's: a cache or mirror still serves another copy"));
}

void report_previous(const release_facts_t& facts, const previous_facts_t& previous, report_builder& out) {
    const std::string found = "previous " + previous.name + ": the " + std::to_string(previous.bits) +
                              "-bit build of " + dotted(previous.version) + ", " + signer_text(previous.signer);
    if (facts.announced > 0 && previous.version >= facts.announced) {
        out.fail(found + "; it is not below the announced " + dotted(facts.announced) +
                 ", so its users are never offered this release");
    } else {
        out.ok(found);
    }
}

std::string name_value(const std::optional<std::string>& value) { return value ? quoted(*value) : "none"; }

// A line for each previous build whose users' updaters take the build for
// another product, saying by which names.
void report_product_names(const release_facts_t& facts, report_builder& out) {
    for (const verdict_facts_t& verdict : facts.verdicts) {
        if (verdict.previous < 0 || verdict.names.empty()) continue;
        std::string names;
        for (const name_difference_t& name : verdict.names)
            names += (names.empty() ? "" : ", ") + name.key + " " + name_value(name.offered) +
                     " (previous: " + name_value(name.installed) + ")";
        out.fail(file_name(verdict.bits) + ": names another product than previous " +
                 facts.previous[static_cast<std::size_t>(verdict.previous)].name + ": " + names + "; " + box_5);
    }
}

const previous_facts_t* previous_of(const release_facts_t& facts, const verdict_facts_t& verdict) {
    return verdict.previous >= 0 ? &facts.previous[static_cast<std::size_t>(verdict.previous)] : nullptr;
}

std::string refusal_reason(const release_facts_t& facts, const verdict_facts_t& verdict) {
    const std::string name = file_name(verdict.bits);
    const previous_facts_t* const previous = previous_of(facts, verdict);
    const std::string installed = previous != nullptr ? "the installed " + dotted(previous->version) : "";
    switch (verdict.refusal) {
        case build_refusal_t::not_an_executable_of_the_width:
            return name + " is not a whole " + std::to_string(verdict.bits) + "-bit Windows executable";
        case build_refusal_t::not_the_announced_version:
            return name + " is not version " + dotted(facts.announced);
        case build_refusal_t::not_the_installed_product:
            return name + " names another product than " + (installed.empty() ? "the installed build" : installed);
        case build_refusal_t::not_from_the_publisher:
            break;
        case build_refusal_t::none:
            return std::string();
    }
    switch (verdict.publisher) {
        case publisher_verdict_t::not_validly_signed:
            return name + " is not validly signed, and " +
                   (installed.empty() ? "the required publisher must sign it" : installed + " is signed");
        case publisher_verdict_t::installed_signer_unknown:
            return installed + " is signed, but its signer cannot be read: no build is installed over it";
        case publisher_verdict_t::not_the_installed_signer:
            return name + " is signed by another subject than " + installed;
        case publisher_verdict_t::not_the_required_signer:
            return name + " is not signed by the required publisher";
        case publisher_verdict_t::accepted:
            break;
    }
    return name + " is refused";
}

std::string verdict_line(const release_facts_t& facts, const verdict_facts_t& verdict, bool& installs) {
    installs = false;
    const std::string product = "OmBry" + std::to_string(verdict.bits) + ": ";
    if (!facts.version_file.had) return product + "refused: cversion.txt cannot be fetched; " + box_5;
    if (facts.announced <= 0) return product + "never offered: cversion.txt reads as " +
                                     std::to_string(facts.announced);
    const previous_facts_t* const previous = previous_of(facts, verdict);
    if (previous != nullptr && previous->version >= facts.announced)
        return product + "never offered: the installed " + dotted(previous->version) + " is not below " +
               dotted(facts.announced);
    if (!facts.builds[verdict.bits == 32 ? 0 : 1].fetch.had)
        return product + "refused: " + file_name(verdict.bits) + " cannot be downloaded; " + box_5;
    if (verdict.refusal != build_refusal_t::none)
        return product + "refused: " + refusal_reason(facts, verdict) + "; " + box_5;
    installs = true;
    const std::string to = " \xE2\x86\x92 " + dotted(facts.announced) + " installs";
    if (previous != nullptr) return product + dotted(previous->version) + to;
    // Which installed builds let it in depends on their signers, which only
    // --previous tells: that alone does not fail the check.
    const signer_facts_t& signer = facts.builds[verdict.bits == 32 ? 0 : 1].signer;
    const std::string over = signer.valid ? " over a build that is unsigned or signed by " + quoted(signer.subject) +
                                                "; a build signed by any other subject refuses it"
                                          : " over an unsigned build; every signed build refuses it";
    return product + "any version below " + dotted(facts.announced) + to + over + " (" + box_5 + ")";
}

}  // namespace

release_report_t report_release(const release_facts_t& facts) {
    release_report_t report;
    report_builder out(report);
    report_version_file(facts, out);
    for (const build_facts_t& build : facts.builds) report_build(facts, build, out);
    if (facts.same_signer == 0)
        out.fail("OmBry32.exe and OmBry64.exe: not both signed by the same subject; each width's users accept only "
                 "the subject their own build is signed by");
    if (facts.same_signer == 1) out.ok("OmBry32.exe and OmBry64.exe: signed by the same subject");
    for (const previous_facts_t& previous : facts.previous) report_previous(facts, previous, out);
    report_product_names(facts, out);
    for (const verdict_facts_t& verdict : facts.verdicts) {
        bool installs = false;
        report.verdicts.push_back(verdict_line(facts, verdict, installs));
        if (!installs) report.passed = false;
    }
    return report;
}
