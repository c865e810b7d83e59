#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "net/missing_file_marker.h"
#include "net/widen_string.h"

namespace {

TEST(WidenString, SignExtendsEveryByteAndKeepsZeroBytes) {
    const std::wstring wide = widen_string(std::string("a\xE9\0\x7F\x80\xFF/", 7));
    ASSERT_EQ(wide.size(), 7u);
    EXPECT_EQ(wide[0], L'a');
    EXPECT_EQ(static_cast<unsigned>(wide[1]), 0xFFE9u);
    EXPECT_EQ(static_cast<unsigned>(wide[2]), 0u);
    EXPECT_EQ(static_cast<unsigned>(wide[3]), 0x7Fu);
    EXPECT_EQ(static_cast<unsigned>(wide[4]), 0xFF80u);
    EXPECT_EQ(static_cast<unsigned>(wide[5]), 0xFFFFu);
    EXPECT_EQ(wide[6], L'/');
    EXPECT_EQ(widen_string("https://localhost/a/b.txt"), L"https://localhost/a/b.txt");
}

TEST(MissingFileMarker, MatchesAtTheStartOfAChunkInAnyLetterCase) {
    EXPECT_TRUE(begins_with_missing_file_marker("404: not found"));
    EXPECT_TRUE(begins_with_missing_file_marker("404: Not Found\n<html>"));
    EXPECT_TRUE(begins_with_missing_file_marker("404: NOT fOUND"));
    EXPECT_FALSE(begins_with_missing_file_marker("404: not foun"));
    EXPECT_FALSE(begins_with_missing_file_marker(" 404: not found"));
    EXPECT_FALSE(begins_with_missing_file_marker("404:  not found"));
    EXPECT_FALSE(begins_with_missing_file_marker(std::string_view("404: not\0found", 14)));
    EXPECT_FALSE(begins_with_missing_file_marker("404; not found"));
    EXPECT_FALSE(begins_with_missing_file_marker(""));
}

}  // namespace
