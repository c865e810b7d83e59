// The publisher's release check, ombup-release.exe, run for real on release
// folders and on the local release host, good and broken.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "product_folder.h"
#include "release_host.h"
#include "test_env.h"

namespace {

using testing::HasSubstr;

// A release holds both widths whatever the system: the test program's own
// width is "the product" here, the one whose every signed fixture exists.
constexpr int own_bits = sizeof(void*) == 8 ? 64 : 32;
constexpr int other_width = own_bits == 64 ? 32 : 64;

struct check_t {
    int exit_code = -1;
    std::string output;
};

std::wstring signed_other_width() { return signed_product_file(L"2.5.1", L"publisher", other_width); }
const std::wstring previous = signed_product_file(L"2.5.0", L"publisher", own_bits);

class ReleaseCheck : public testing::Test {
protected:
    // A release folder of 2.5.1, both widths signed by the test publisher,
    // with these files in place of those.
    std::wstring release_folder(const std::string& version_file = "251\n", std::wstring product = L"",
                                std::wstring other = L"", const std::wstring& suffix = L"") {
        const std::wstring folder = fresh_test_folder(suffix);
        write_file(folder + L"\\cversion.txt", version_file);
        if (product.empty()) product = signed_product_file(L"2.5.1", L"publisher", own_bits);
        if (other.empty()) other = signed_other_width();
        write_file(folder + L"\\" + widen_utf8(product_name(own_bits)) + L".exe", read_file(product));
        write_file(folder + L"\\" + widen_utf8(product_name(other_width)) + L".exe", read_file(other));
        return folder;
    }

    // The same files on the host, under a folder address of this test's own.
    std::wstring publish(const std::wstring& folder) {
        for (const char* name : {"cversion.txt", "OmBry32.exe", "OmBry64.exe"})
            serve(test_path(std::string("master/release/") + name), read_file(folder + L"\\" + widen_utf8(name)));
        return widen_utf8(host_url(test_path("master/release/")));
    }

    check_t check(const std::wstring& arguments) {
        check_t result;
        result.exit_code =
            run_program(L"\"" + windows_path(OMBUP_RELEASE_CHECK_UNDER_TEST) + L"\" check " + arguments, result.output);
        return result;
    }
};

std::wstring quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

const std::string box_5 = "; users see box 5, the connection error";
const std::string without_box_5 = " (users see box 5, the connection error)";

TEST_F(ReleaseCheck, AGoodReleaseInstallsFromTheFolderAndFromTheHost) {
    const std::wstring folder = release_folder();
    const std::wstring publisher = std::wstring(L"--publisher \"") + test_publisher + L"\"";
    check_t result = check(quoted(folder) + L" --previous " + quoted(previous) + L" " + publisher);
    EXPECT_EQ(result.exit_code, 0) << result.output;
    EXPECT_THAT(result.output, HasSubstr(product_name(own_bits) + ": 2.5.0 \u2192 2.5.1 installs"));
    EXPECT_THAT(result.output, HasSubstr(product_name(other_width) + ": any version below 2.5.1 \u2192 2.5.1 installs"));
    EXPECT_THAT(result.output, Not(HasSubstr("FAIL")));
    // Neither says that something fails.
    EXPECT_THAT(result.output, HasSubstr(product_name(other_width) + ": any version below 2.5.1 \u2192 2.5.1 installs "
                                         "over a build that is unsigned or signed by \"" + narrow_utf8(test_publisher) +
                                         "\"; a build signed by any other subject refuses it" + without_box_5));
    EXPECT_THAT(result.output, HasSubstr("warn  " + product_name(own_bits) + ".exe: signed without a timestamp: from "));

    result = check(publish(folder) + L" --against " + quoted(folder) + L" --previous " + quoted(previous));
    EXPECT_EQ(result.exit_code, 0) << result.output;
    EXPECT_THAT(result.output, HasSubstr("ok    cversion.txt: fetched as the updater fetches it: both requests "
                                         "answered 200 with Content-Length 4, 4 bytes"));
    EXPECT_THAT(result.output, HasSubstr("ok    OmBry64.exe: the bytes served are the folder's"));
}

TEST_F(ReleaseCheck, AVersionFileThatDoesNotReadAsTheVersionIsCaught) {
    check_t result = check(quoted(release_folder("\xEF\xBB\xBF" "251\n")));
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_THAT(result.output, HasSubstr("reads as 0: it does not start with a number, and no updater is ever offered"));
    EXPECT_THAT(result.output, HasSubstr(product_name(own_bits) + ": never offered: cversion.txt reads as 0"));
    result = check(quoted(release_folder("2.5.1", L"", L"", L"-dotted")));
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_THAT(result.output, HasSubstr("\"2.5.1\" reads as 2 (0.0.2): the file must hold the version code"));
}

TEST_F(ReleaseCheck, ABuildOfTheWrongWidthIsRefused) {
    // Both files are the same build.
    const check_t result = check(quoted(release_folder("251", L"", signed_product_file(L"2.5.1", L"publisher", own_bits))));
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_THAT(result.output, HasSubstr("-bit Windows executable, not the " + std::to_string(other_width) +
                                         "-bit one its name says"));
    EXPECT_THAT(result.output, HasSubstr(product_name(other_width) + ": refused: " + product_name(other_width) +
                                         ".exe is not a whole " + std::to_string(other_width) +
                                         "-bit Windows executable" + box_5));
}

TEST_F(ReleaseCheck, ABuildThatIsNotTheAnnouncedVersionIsRefused) {
    const check_t result = check(quoted(release_folder("251", signed_product_file(L"2.5.0", L"publisher", own_bits))));
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_THAT(result.output, HasSubstr("version 2.5.0.0 gives 250, not the announced 251"));
    EXPECT_THAT(result.output,
                HasSubstr(product_name(own_bits) + ": refused: " + product_name(own_bits) + ".exe is not version 2.5.1" + box_5));
}

TEST_F(ReleaseCheck, ABuildByAnotherSignerIsRefused) {
    const std::wstring folder = release_folder("251", signed_product_file(L"2.5.1", L"impostor", own_bits));
    check_t result = check(quoted(folder) + L" --previous " + quoted(previous));
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_THAT(result.output, HasSubstr(product_name(own_bits) + ": refused: " + product_name(own_bits) +
                                         ".exe is signed by another subject than the installed 2.5.0" + box_5));
    EXPECT_THAT(result.output, HasSubstr("not both signed by the same subject"));
    // A previous build whose signature no longer verifies is still its signer's.
    std::string broken = read_file(previous);
    broken[0x1000] = static_cast<char>(broken[0x1000] ^ 1);  // in the code
    const std::wstring broken_previous = fresh_test_folder(L"-broken") + L"\\OmBry-2.5.0.exe";
    write_file(broken_previous, broken);
    result = check(quoted(folder) + L" --previous " + quoted(broken_previous));
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_THAT(result.output, HasSubstr("signed by \"" + narrow_utf8(test_publisher) +
                                         "\", but the signature is not valid (WinVerifyTrust 0x80096010)"));
    EXPECT_THAT(result.output, HasSubstr(product_name(own_bits) + ": refused: " + product_name(own_bits) +
                                         ".exe is signed by another subject than the installed 2.5.0" + box_5));
    // A build cut short inside its signature is refused, and the check does
    // not crash on it.
    std::string cut = read_file(signed_product_file(L"2.5.1", L"publisher", own_bits));
    cut.resize(cut.size() - 64);
    write_file(folder + L"\\" + widen_utf8(product_name(own_bits)) + L".exe", cut);
    result = check(quoted(folder) + L" --previous " + quoted(previous));
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_THAT(result.output, HasSubstr(product_name(own_bits) + ": refused"));
}

TEST_F(ReleaseCheck, ABuildOfAnotherProductIsRefused) {
    // The publisher's own updater, signed as the product is, announced by its
    // version over the product's 2.5.0.
    const std::wstring folder = release_folder("400", signed_updater_file());
    const check_t result = check(quoted(folder) + L" --previous " + quoted(previous));
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_THAT(result.output,
                HasSubstr("FAIL  " + product_name(own_bits) + ".exe: names another product than previous " +
                          narrow_utf8(previous) + ": ProductName \"OmBry Auto Update\" (previous: \"OmBry\"), "
                          "InternalName \"OmBry Auto Update\" (previous: \"OmBry\"), OriginalFilename \"ombup\" "
                          "(previous: \"OmBry.exe\")" + box_5));
    EXPECT_THAT(result.output, HasSubstr(product_name(own_bits) + ": refused: " + product_name(own_bits) +
                                         ".exe names another product than the installed 2.5.0" + box_5));
}

TEST_F(ReleaseCheck, AnEvSubjectIsPrintedAsWindowsWritesItAndMatchedHoweverItIsSpelt) {
    const std::string ev = "CN=OmBry EV Test JSC, O=OmBry EV Test JSC, SERIALNUMBER=0312345678, "
                           "OID.1.3.6.1.4.1.311.60.2.1.3=VN, OID.2.5.4.15=Private Organization, C=VN";
    const std::wstring folder = release_folder("251", signed_product_file(L"2.5.1", L"ev", own_bits));
    // The subject as Wine 8 writes it.
    const check_t result =
        check(quoted(folder) + LR"( --publisher "CN=\"OmBry EV Test JSC\", O=\"OmBry EV Test JSC\", )"
                               LR"(SERIALNUMBER=0312345678, 1.3.6.1.4.1.311.60.2.1.3=VN, )"
                               LR"(2.5.4.15=Private Organization, C=VN")");
    const std::string name = product_name(own_bits) + ".exe: ";
    EXPECT_THAT(result.output, HasSubstr("\nok    " + name + "signed by \"" + ev + "\"\n"));
    EXPECT_THAT(result.output, HasSubstr("\nok    " + name + "signed by the required publisher"));
    EXPECT_THAT(result.output, testing::ContainsRegex("\nwarn  " + name +
                                                      "signed without a timestamp: from \\d\\d\\d\\d-\\d\\d-\\d\\d "
                                                      "\\d\\d:\\d\\d:\\d\\d UTC, when its signing certificate ends"));
    EXPECT_THAT(result.output, HasSubstr(product_name(own_bits) + ": any version below 2.5.1 \u2192 2.5.1 installs over a "
                                         "build that is unsigned or signed by \"" + ev +
                                         "\"; a build signed by any other subject refuses it" + without_box_5));
    // The other width is the test publisher's.
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_THAT(result.output, HasSubstr(product_name(other_width) + ": refused: " + product_name(other_width) +
                                         ".exe is not signed by the required publisher" + box_5));
}

TEST_F(ReleaseCheck, OnlyABuildSignedWithoutATimestampIsWarnedOf) {
    const check_t result = check(quoted(release_folder("251", signed_product_file(L"2.5.1", L"timestamped", own_bits))));
    EXPECT_EQ(result.exit_code, 0) << result.output;
    EXPECT_THAT(result.output, Not(HasSubstr("warn  " + product_name(own_bits) + ".exe")));
    EXPECT_THAT(result.output, HasSubstr("warn  " + product_name(other_width) + ".exe: signed without a timestamp"));
}

TEST_F(ReleaseCheck, AHostThatDoesNotServeTheReleaseAsTheUpdaterNeedsIsCaught) {
    const std::wstring folder = release_folder();
    const std::wstring address = publish(folder);
    // A stale version file, an error page with status 200's cousin, a file
    // that is not there.
    serve(test_path("master/release/cversion.txt"), "250\n");
    serve(test_path("master/release/" + product_name(other_width) + ".exe"), "<html>busy</html>", R"({"status": 503})");
    unserve(test_path("master/release/" + product_name(own_bits) + ".exe"));
    const check_t result = check(address + L" --against " + quoted(folder));
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_THAT(result.output, HasSubstr("cversion.txt: the bytes served are not the folder's"));
    EXPECT_THAT(result.output, HasSubstr(product_name(other_width) + ".exe: the body request was answered 503"));
    EXPECT_THAT(result.output, HasSubstr(product_name(own_bits) + ".exe: the body request was answered 404"));
    EXPECT_THAT(result.output, HasSubstr(product_name(own_bits) + ": refused: " + product_name(own_bits) +
                                         ".exe cannot be downloaded" + box_5));
    // Nobody answers there.
    const check_t nobody = check(L"https://127.0.0.9/master/release/");
    EXPECT_EQ(nobody.exit_code, 1);
    EXPECT_THAT(nobody.output, HasSubstr("cversion.txt: the host cannot be reached on port 443"));
}

// The host's bytes are taken as the updater takes them, and the report says
// why they were refused.
TEST_F(ReleaseCheck, AHostThatSendsMoreThanItAnnouncesIsCaughtAndSaidWhy) {
    const std::wstring folder = release_folder();
    const std::wstring address = publish(folder);
    const std::string overrun = product_name(own_bits) + ".exe";
    const std::string huge = product_name(other_width) + ".exe";
    serve(test_path("master/release/" + overrun), read_file(folder + L"\\" + widen_utf8(overrun)),
          R"({"body": {"content_length": 400000000, "endless": true}})");
    serve(test_path("master/release/" + huge), "MZ", R"({"probe": {"content_length": 4000000000}})");
    serve(test_path("master/release/cversion.txt"), "251" + std::string(70000, '\n'));
    const check_t result = check(address);
    EXPECT_EQ(result.exit_code, 1);
    const std::string size = std::to_string(read_file(folder + L"\\" + widen_utf8(overrun)).size());
    EXPECT_THAT(result.output, HasSubstr("FAIL  " + overrun + ": the body ran past the " + size +
                                         " bytes that the length request announced"));
    // (Wine reads a length above 2^31 - 1 as that.)
    EXPECT_THAT(result.output, testing::ContainsRegex("FAIL  " + huge + ": the length request announced \\d+ bytes, "
                                                      "more than the 512 MiB that an updater can hold"));
    EXPECT_THAT(result.output, HasSubstr("FAIL  cversion.txt: the length request announced 70003 bytes, larger than "
                                         "the 64 KiB that an updater accepts of a version file"));
    EXPECT_EQ(requests_to(test_path("master/release/" + huge)).size(), 1u) << "the body was asked for";
}

// A file that no updater could hold is not read whole by the check either.
TEST_F(ReleaseCheck, AFileTooLargeToHoldIsSaid) {
    const std::wstring folder = release_folder();
    write_file(folder + L"\\cversion.txt", "251" + std::string(70000, '\n'));
    check_t result = check(quoted(folder));
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_THAT(result.output,
                HasSubstr("FAIL  cversion.txt: larger than the 64 KiB that an updater accepts of a version file"));

    // 512 MiB and a byte, with no bytes written: a sparse file.
    const std::wstring too_large = folder + L"\\" + widen_utf8(product_name(own_bits)) + L".exe";
    {
        const scoped_file file(CreateFileW(too_large.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size{};
        size.QuadPart = (512LL << 20) + 1;
        ASSERT_TRUE(file && SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN) && SetEndOfFile(file.get()));
    }
    for (const std::wstring& arguments : {quoted(folder), quoted(release_folder("251", L"", L"", L"-other")) +
                                                              L" --previous " + quoted(too_large)}) {
        SCOPED_TRACE(narrow_utf8(arguments));
        result = check(arguments);
        EXPECT_EQ(result.exit_code, 2) << result.output;
        EXPECT_THAT(result.output, HasSubstr(".exe is larger than the 512 MiB that an updater can hold"));
    }
}

TEST_F(ReleaseCheck, WhatCannotBeCheckedIsSaidWithExitCode2) {
    const std::wstring folder = release_folder();
    for (const std::wstring& arguments :
         {quoted(folder + L"\\missing"), std::wstring(L"https://localhost/ombry/"), std::wstring(L"--bogus"),
          quoted(folder) + L" --previous " + quoted(folder + L"\\cversion.txt")}) {
        SCOPED_TRACE(narrow_utf8(arguments));
        const check_t result = check(arguments);
        EXPECT_EQ(result.exit_code, 2);
        EXPECT_THAT(result.output, HasSubstr("ombup-release: "));
    }
}

}  // namespace
