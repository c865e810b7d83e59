#include "release/release_arguments.h"

#include <gtest/gtest.h>

namespace {

TEST(ReleaseArguments, TakeTheSourceAndTheOptionsInAnyOrder) {
    release_arguments_t parsed;
    std::string problem;
    ASSERT_TRUE(parse_release_arguments({L"check"}, parsed, problem)) << problem;
    EXPECT_TRUE(parsed.source.empty());
    ASSERT_TRUE(parse_release_arguments({L"check", L"--previous", L"a.exe", L"https://h/o/master/release/",
                                         L"--against", L"F", L"--previous", L"b.exe", L"--publisher", L"CN=X, C=VN"},
                                        parsed, problem))
        << problem;
    EXPECT_EQ(parsed.source, L"https://h/o/master/release/");
    EXPECT_EQ(parsed.previous, (std::vector<std::wstring>{L"a.exe", L"b.exe"}));
    EXPECT_EQ(parsed.publisher, L"CN=X, C=VN");
    EXPECT_EQ(parsed.against, L"F");
    ASSERT_TRUE(parse_release_arguments({L"check", L"C:\\release"}, parsed, problem)) << problem;
    EXPECT_EQ(parsed.source, L"C:\\release");
}

TEST(ReleaseArguments, RefuseWhatCannotBeChecked) {
    const std::vector<std::vector<std::wstring>> lines = {
        {},
        {L"verify", L"C:\\release"},
        {L"check", L"C:\\a", L"C:\\b"},
        {L"check", L""},
        {L"check", L"--previous"},
        {L"check", L"--bogus", L"x"},
        {L"check", L"--publisher", L"CN=A", L"--publisher", L"CN=B"},
        {L"check", L"C:\\release", L"--against", L"C:\\copy"},
        {L"check", L"https://h/ombry/"},
        {L"check", L"http://h/master/release/"},
        {L"check", L"HTTPS://h/master/release/"},
        {L"check", L"--publisher", L"OmBry Test Publisher"},
    };
    for (const auto& line : lines) {
        release_arguments_t parsed;
        std::string problem;
        EXPECT_FALSE(parse_release_arguments(line, parsed, problem)) << line.size();
        EXPECT_FALSE(problem.empty());
    }
}

TEST(ReleaseArguments, TheReleaseFolderAddressHasTheUpdatersForm) {
    for (const wchar_t* address : {L"https://h/master/release/", L"https://dl.example.net/a/b/master/release/"})
        EXPECT_TRUE(is_release_folder_address(address));
    for (const wchar_t* address :
         {L"https:///master/release/", L"https://h/master/release", L"https://h/master/release/x",
          L"https://h/a b/master/release/", L"https://h/a\"/master/release/", L"https://h/\u00e9/master/release/",
          L"https://hmaster/release/"})
        EXPECT_FALSE(is_release_folder_address(address));
}

}  // namespace
