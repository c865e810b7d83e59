#include "install/staged_file.h"

#include <gtest/gtest.h>

namespace {

TEST(StagedFile, OnlyTheUpdatersOwnNamesForThisTargetAreStaged) {
    EXPECT_EQ(staged_file_name(L"OmBry64.exe", 1234), L"OmBry64.exe.1234.tmp");
    EXPECT_TRUE(is_staged_file_name(staged_file_name(L"OmBry64.exe", 4294967295u), L"OmBry64.exe"));
    EXPECT_TRUE(is_staged_file_name(L"OmBry32.exe.0.tmp", L"OmBry32.exe"));
    for (const wchar_t* other : {L"OmBry64.exe", L"OmBry64.exe..tmp", L"OmBry64.exe.12a.tmp", L"OmBry64.exe.-1.tmp",
                                 L"OmBry64.exe.1234.tmp.bak", L"OmBry64.exe.1234.TMP", L"OmBry64.exe.12345678901.tmp",
                                 L"OmBry32.exe.1234.tmp", L"xOmBry64.exe.1234.tmp", L"OmBry64.exe.1234tmp"})
        EXPECT_FALSE(is_staged_file_name(other, L"OmBry64.exe")) << testing::PrintToString(std::wstring(other));
}

}  // namespace
