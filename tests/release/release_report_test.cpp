#include "release/release_report.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// A release of 2.5.1 that every updater installs: both builds whole,
// versioned and signed by one subject, for users of a signed 2.5.0 of each
// width.
release_facts_t good_release() {
    release_facts_t facts;
    facts.version_file.had = true;
    facts.version_file_bytes = "251\n";
    facts.announced = 251;
    for (const int i : {0, 1}) {
        build_facts_t& build = facts.builds[static_cast<std::size_t>(i)];
        build.bits = i == 0 ? 32 : 64;
        build.fetch.had = true;
        build.size = 5000;
        build.image_bits = build.bits;
        build.has_version = true;
        build.version_ms = 0x00020005;  // 2.5
        build.version_ls = 0x00010000;  // 1.0
        build.signer = {true, 0, "CN=P", true, true};
        facts.previous.push_back(
            {"old" + std::to_string(build.bits) + ".exe", build.bits, 250, {true, 0, "CN=P", true}});
        facts.verdicts.push_back({build.bits, i, build_refusal_t::none, publisher_verdict_t::accepted, {}});
    }
    facts.same_signer = 1;
    return facts;
}

bool has_line(const std::vector<std::string>& lines, const std::string& line) {
    for (const std::string& found : lines)
        if (found == line) return true;
    return false;
}

TEST(ReleaseReport, AGoodReleaseInstallsForEveryWidth) {
    const release_report_t report = report_release(good_release());
    EXPECT_TRUE(report.passed);
    EXPECT_EQ(report.verdicts, (std::vector<std::string>{"OmBry32: 2.5.0 \u2192 2.5.1 installs",
                                                         "OmBry64: 2.5.0 \u2192 2.5.1 installs"}));
    EXPECT_TRUE(has_line(report.lines, "ok    cversion.txt: \"251\\n\" reads as 251, version 2.5.1"));
    EXPECT_TRUE(has_line(report.lines, "ok    OmBry64.exe: version 2.5.1.0 gives 251, as announced"));
}

TEST(ReleaseReport, EveryFaultFailsTheCheckAndSaysWhatUsersMeet) {
    const struct {
        const char* name;
        std::function<void(release_facts_t&)> spoil;
        std::string expected;  // a line or a verdict
    } cases[] = {
        {"byte-order mark", [](release_facts_t& f) { f.version_file_bytes = "\xEF\xBB\xBF" "251"; f.announced = 0; },
         "OmBry64: never offered: cversion.txt reads as 0"},
        {"dotted", [](release_facts_t& f) { f.version_file_bytes = "2.5.1"; f.announced = 2; },
         "FAIL  cversion.txt: \"2.5.1\" reads as 2 (0.0.2): the file must hold the version code, 251 for 2.5.1"},
        {"not fetched", [](release_facts_t& f) { f.version_file = {false, "", "the length request was answered 404"}; },
         "OmBry32: refused: cversion.txt cannot be fetched; users see box 5, the connection error"},
        {"users already have it", [](release_facts_t& f) { f.previous[1].version = 251; },
         "OmBry64: never offered: the installed 2.5.1 is not below 2.5.1"},
        {"a part above 9",
         [](release_facts_t& f) {
             f.builds[1].version_ms = 0x0002000A;  // 2.10
             f.builds[1].version_ls = 0;
             f.announced = 300;
         },
         "FAIL  OmBry64.exe: version 2.10.0.0 has a part above 9: it reads as 300, the code of 3.0.0, and is shown "
         "to users as that"},
        {"another signer",
         [](release_facts_t& f) {
             f.verdicts[1].refusal = build_refusal_t::not_from_the_publisher;
             f.verdicts[1].publisher = publisher_verdict_t::not_the_installed_signer;
         },
         "OmBry64: refused: OmBry64.exe is signed by another subject than the installed 2.5.0; users see box 5, the "
         "connection error"},
        {"another product",
         [](release_facts_t& f) {
             f.verdicts[1].refusal = build_refusal_t::not_the_installed_product;
             f.verdicts[1].names = {{"ProductName", "OmBry Auto Update", "OmBry"}, {"InternalName", {}, "OmBry"}};
         },
         "FAIL  OmBry64.exe: names another product than previous old64.exe: ProductName \"OmBry Auto Update\" "
         "(previous: \"OmBry\"), InternalName none (previous: \"OmBry\"); users see box 5, the connection error"},
        {"not whole", [](release_facts_t& f) { f.builds[0].fetch = {false, "", "not in the folder"}; },
         "OmBry32: refused: OmBry32.exe cannot be downloaded; users see box 5, the connection error"},
        {"broken signature", [](release_facts_t& f) { f.builds[0].signer = {false, 0x80096010, "", true}; },
         "FAIL  OmBry32.exe: signed, but the signature is not valid (WinVerifyTrust 0x80096010)"},
        {"installed signer unreadable",
         [](release_facts_t& f) {
             f.previous[1].signer = {false, 0x80096010, "", true};
             f.verdicts[1].refusal = build_refusal_t::not_from_the_publisher;
             f.verdicts[1].publisher = publisher_verdict_t::installed_signer_unknown;
         },
         "OmBry64: refused: the installed 2.5.0 is signed, but its signer cannot be read: no build is installed over "
         "it; users see box 5, the connection error"},
        {"signers differ", [](release_facts_t& f) { f.same_signer = 0; },
         "FAIL  OmBry32.exe and OmBry64.exe: not both signed by the same subject; each width's users accept only the "
         "subject their own build is signed by"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        release_facts_t facts = good_release();
        test.spoil(facts);
        const release_report_t report = report_release(facts);
        EXPECT_FALSE(report.passed);
        EXPECT_TRUE(has_line(report.lines, test.expected) || has_line(report.verdicts, test.expected))
            << ::testing::PrintToString(report.lines) << ::testing::PrintToString(report.verdicts);
    }
}

void without_previous_builds(release_facts_t& facts) {
    facts.previous.clear();
    for (verdict_facts_t& verdict : facts.verdicts) verdict.previous = -1;
}

TEST(ReleaseReport, WhatOnlyLaterOrOnlySomeUsersMeetDoesNotFailTheCheck) {
    const struct {
        const char* name;
        std::function<void(release_facts_t&)> change;
        std::string expected;  // a line or a verdict
    } cases[] = {
        {"no timestamp",
         [](release_facts_t& f) {
             f.builds[1].signer.timestamped = false;
             f.builds[1].signer.not_after = "2027-01-07 10:20:30 UTC";
         },
         "warn  OmBry64.exe: signed without a timestamp: from 2027-01-07 10:20:30 UTC, when its signing certificate "
         "ends, the signature no longer verifies and every updater refuses it; sign it with a timestamp"},
        {"signed, no previous build", without_previous_builds,
         "OmBry64: any version below 2.5.1 \u2192 2.5.1 installs over a build that is unsigned or signed by \"CN=P\"; "
         "a build signed by any other subject refuses it (users see box 5, the connection error)"},
        {"unsigned, no previous build",
         [](release_facts_t& f) {
             without_previous_builds(f);
             for (build_facts_t& build : f.builds) build.signer = {false, 0x800B0100, ""};
             f.same_signer = -1;
         },
         "OmBry32: any version below 2.5.1 \u2192 2.5.1 installs over an unsigned build; every signed build refuses "
         "it (users see box 5, the connection error)"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        release_facts_t facts = good_release();
        test.change(facts);
        const release_report_t report = report_release(facts);
        EXPECT_TRUE(report.passed);
        EXPECT_TRUE(has_line(report.lines, test.expected) || has_line(report.verdicts, test.expected))
            << ::testing::PrintToString(report.lines) << ::testing::PrintToString(report.verdicts);
    }
}

}  // namespace
