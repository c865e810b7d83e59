#include "update/check_for_update.h"

#include <gtest/gtest.h>

#include "release_host.h"

namespace {

// The real release folder that this test tree's updater is built for.
const std::string version_file = "/ombry/master/release/cversion.txt";

struct check {
    int result = 12345;
    version_code latest = -7;
    int bits = -7;
    bool p_flag = true;
    bool silent = false;
};

check run_check(const wchar_t* command_line) {
    check c;
    c.result = check_for_update(command_line, c.latest, c.bits, c.p_flag, c.silent);
    return c;
}

TEST(CheckForUpdate, ComparesTheRemoteVersionWithTheInstalledOne) {
    struct row {
        const char* file;
        int result;
        version_code latest;
    };
    const row rows[] = {
        {"251", 251, 251},
        {"250", RESULT_UP_TO_DATE, 250},
        {"249", RESULT_UP_TO_DATE, 249},
        {"  \r\n251\r\n", 251, 251},
        {"\t251 is out\n", 251, 251},
        {"+300", 300, 300},
        {"901", 901, 901},
        {"", RESULT_UP_TO_DATE, 0},
        {"2.5.1", RESULT_UP_TO_DATE, 2},
        {"\xEF\xBB\xBF" "251", RESULT_UP_TO_DATE, 0},
        {"-251", RESULT_UP_TO_DATE, -251},
        {"version 251", RESULT_UP_TO_DATE, 0},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(std::string(r.file)));
        serve(version_file, r.file);
        const check c = run_check(L"-f64 -v250 -s");
        EXPECT_EQ(c.result, r.result);
        EXPECT_EQ(c.latest, r.latest);
        EXPECT_EQ(c.bits, 64);
        EXPECT_FALSE(c.p_flag);
        EXPECT_TRUE(c.silent);
    }
}

TEST(CheckForUpdate, FetchesTheVersionFileWithTwoGets) {
    serve(version_file, "300\n");
    const std::size_t before = requests_to(version_file).size();
    EXPECT_EQ(run_check(L"-f32 -v250 -p").result, 300);
    EXPECT_EQ(requests_to(version_file).size(), before + 2);
}

TEST(CheckForUpdate, InvalidOptionsMakeNoRequest) {
    serve(version_file, "300\n");
    const std::size_t before = requests_to(version_file).size();
    const check c = run_check(L"-s -f16 -v250");
    EXPECT_EQ(c.result, RESULT_INVALID_ARGUMENTS);
    EXPECT_TRUE(c.silent);
    EXPECT_FALSE(c.p_flag);
    EXPECT_EQ(c.bits, -7);
    EXPECT_EQ(c.latest, -7);
    EXPECT_EQ(requests_to(version_file).size(), before);
}

TEST(CheckForUpdate, AFailedFetchWritesTheWidthButNotTheVersion) {
    unserve(version_file);  // the host answers "404: Not Found"
    const check c = run_check(L"-f64 -v250");
    EXPECT_EQ(c.result, RESULT_CONNECTION_ERROR);
    EXPECT_EQ(c.bits, 64);
    EXPECT_EQ(c.latest, -7);

    serve(version_file, "300", R"({"framing": "chunked"})");
    EXPECT_EQ(run_check(L"-f64 -v250").result, RESULT_CONNECTION_ERROR);
}

TEST(CheckForUpdate, WithNoExecutableTheAutomaticPathOffersAnyPositiveVersion) {
    // No OmBry32.exe lies beside this test program, so the installed version is 0.
    serve(version_file, "5");
    const check c = run_check(L"");
    EXPECT_EQ(c.result, 5);
    EXPECT_EQ(c.bits, 32);
    EXPECT_EQ(c.latest, 5);

    serve(version_file, "0");
    EXPECT_EQ(run_check(nullptr).result, RESULT_UP_TO_DATE);
}

}  // namespace
