#include "update/launch_options.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct parsed {
    bool valid = false;
    int bits = -7;
    version_code version = -7;
    bool p_flag = false;
    bool silent = false;
};

parsed parse(const std::wstring& command_line) {
    parsed result;
    result.p_flag = true;  // both flags must be written on every path
    result.silent = true;
    result.valid = parse_explicit_launch_options(command_line, result.bits, result.version, result.p_flag,
                                                 result.silent);
    return result;
}

TEST(SplitCommandLine, CutsAtSpacesOnly) {
    EXPECT_EQ(split_command_line(L"  -f64   -v250 "), (std::vector<std::wstring>{L"-f64", L"-v250"}));
    EXPECT_EQ(split_command_line(L"\"-f64\"\t-v250 a\tb"),
              (std::vector<std::wstring>{L"\"-f64\"\t-v250", L"a\tb"}));
    EXPECT_TRUE(split_command_line(L"     ").empty());
    EXPECT_TRUE(split_command_line(L"").empty());
}

TEST(DecimalValue, ReadsLikeTheRuntimesIntegerConversion) {
    EXPECT_EQ(decimal_value(std::string_view("251")), 251);
    EXPECT_EQ(decimal_value(std::string_view(" \t\r\n\v\f251\r\n")), 251);
    EXPECT_EQ(decimal_value(std::string_view("+64")), 64);
    EXPECT_EQ(decimal_value(std::string_view("-5")), -5);
    EXPECT_EQ(decimal_value(std::string_view("2.5.1")), 2);
    EXPECT_EQ(decimal_value(std::string_view("64abc")), 64);
    EXPECT_EQ(decimal_value(std::string_view("")), 0);
    EXPECT_EQ(decimal_value(std::string_view("abc")), 0);
    EXPECT_EQ(decimal_value(std::string_view("+")), 0);
    EXPECT_EQ(decimal_value(std::string_view("- 5")), 0);
    EXPECT_EQ(decimal_value(std::string_view("\xEF\xBB\xBF" "251")), 0);  // byte-order mark
    EXPECT_EQ(decimal_value(std::string_view("25\0" "1", 4)), 25);
}

TEST(DecimalValue, SaturatesAtTheInt32Limits) {
    EXPECT_EQ(decimal_value(std::string_view("2147483647")), INT_MAX);
    EXPECT_EQ(decimal_value(std::string_view("2147483648")), INT_MAX);
    EXPECT_EQ(decimal_value(std::string_view("99999999999999999999999999")), INT_MAX);
    EXPECT_EQ(decimal_value(std::string_view("-2147483648")), INT_MIN);
    EXPECT_EQ(decimal_value(std::string_view("-2147483649")), INT_MIN);
    EXPECT_EQ(decimal_value(std::wstring_view(L"-99999999999999999999")), INT_MIN);
}

TEST(DecimalValue, WideTextIsReadTheSameWay) {
    EXPECT_EQ(decimal_value(std::wstring_view(L"\t+250x")), 250);
    EXPECT_EQ(decimal_value(std::wstring_view(L"\u0663\u0664")), 0);  // digits of other scripts are not digits
}

TEST(ParseLaunchOptions, ValidCommandLines) {
    struct row {
        const wchar_t* line;
        int bits;
        version_code version;
        bool p_flag, silent;
    };
    const row rows[] = {
        {L"-f64 -v250", 64, 250, false, false},
        {L"-v250 -s -f64 -p", 64, 250, true, true},
        {L"-f32 -f64 -v250", 64, 250, false, false},
        {L"-f64 -v300 -v250", 64, 250, false, false},
        {L"-f64abc -v250", 64, 250, false, false},
        {L"-f+64 -v250", 64, 250, false, false},
        {L"-f32 -v100", 32, 100, false, false},
        {L"-f32 -v900", 32, 900, false, false},
        {L"-silent -p1 -x -r hello -f32 -v250", 32, 250, false, false},
        {L"-p -p -s -s -f32 -v250", 32, 250, true, true},
        {L"-f32 -v\t250", 32, 250, false, false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << "command line: " << testing::PrintToString(std::wstring(r.line)));
        const parsed p = parse(r.line);
        EXPECT_TRUE(p.valid);
        EXPECT_EQ(p.bits, r.bits);
        EXPECT_EQ(p.version, r.version);
        EXPECT_EQ(p.p_flag, r.p_flag);
        EXPECT_EQ(p.silent, r.silent);
    }
}

TEST(ParseLaunchOptions, InvalidCommandLinesLeaveWidthAndVersionAlone) {
    struct row {
        const wchar_t* line;
        bool p_flag, silent;
    };
    const row rows[] = {
        {L"   ", false, false},
        {L"-f64", false, false},
        {L"-v250", false, false},
        {L"-f 64 -v 250", false, false},
        {L"-F64 -v250", false, false},
        {L"-f64 -V250", false, false},
        {L"-f64 -v99", false, false},
        {L"-f64 -v901", false, false},
        {L"-f64 -v2.5.0", false, false},
        {L"-f64 -v-250", false, false},
        {L"-f64 -v99999999999", false, false},
        {L"-f64\t-v250", false, false},
        {L"-s -f16 -v250", false, true},
        {L"-p -f64", true, false},
        {L"-f -v250", false, false},
        {L"- f64 -v250", false, false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << "command line: " << testing::PrintToString(std::wstring(r.line)));
        const parsed p = parse(r.line);
        EXPECT_FALSE(p.valid);
        EXPECT_EQ(p.bits, -7);
        EXPECT_EQ(p.version, -7);
        EXPECT_EQ(p.p_flag, r.p_flag);
        EXPECT_EQ(p.silent, r.silent);
    }
}

TEST(ParseLaunchOptions, WidthFollowsTheSystem) {
    EXPECT_EQ(bits_for_system(true), 64);
    EXPECT_EQ(bits_for_system(false), 32);
}

TEST(VersionText, ShowsMajorMinorBuild) {
    EXPECT_EQ(version_text(402), L"4.0.2");
    EXPECT_EQ(version_text(1234), L"12.3.4");
    EXPECT_EQ(version_text(100), L"1.0.0");
    EXPECT_EQ(version_text(45), L"0.4.5");
    EXPECT_EQ(version_code_from_file_version(0x00030002, 0x00050007), 325);
    EXPECT_EQ(version_code_from_file_version(0x0001000C, 0x00030000), 223);
    EXPECT_EQ(version_code_from_file_version(0xFFFFFFFF, 0xFFFFFFFF), 65535 * 111);
}

}  // namespace
