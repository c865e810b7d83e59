// The exe compiles the std::string members that libstdc++'s exception classes
// call (src/app/cow_string_members.cpp and sso_string_members.cpp) instead of
// linking the library's copies. This program links them the same way, and
// checks the messages that the exceptions keep in those strings.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace {

TEST(LibraryStrings, AnExceptionMessageSurvivesCopyAndAssignment) {
    const std::string long_text(300, 'x');  // beyond any small-string buffer
    const std::logic_error first("first message");
    const std::logic_error second(long_text);
    std::logic_error copy(first);
    EXPECT_STREQ(copy.what(), "first message");
    copy = second;
    EXPECT_EQ(std::string(copy.what()), long_text);
    EXPECT_STREQ(first.what(), "first message");
    EXPECT_EQ(std::string(second.what()), long_text);
}

TEST(LibraryStrings, AnEmptyMessageIsEmptyInEveryCopy) {
    const std::runtime_error empty("");
    std::runtime_error copy("not empty");
    copy = empty;
    EXPECT_STREQ(copy.what(), "");
    const std::runtime_error another(copy);
    EXPECT_STREQ(another.what(), "");
}

TEST(LibraryStrings, TheLibrarysOwnThrowsCarryTheirMessages) {
    const std::vector<int> none;
    try {
        static_cast<void>(none.at(5));
        ADD_FAILURE() << "no exception";
    } catch (const std::out_of_range& error) {
        EXPECT_NE(std::string(error.what()).find("vector"), std::string::npos) << error.what();
    }

    std::string text;
    try {
        text.reserve(text.max_size() + 1);
        ADD_FAILURE() << "no exception";
    } catch (const std::length_error& error) {
        EXPECT_NE(std::string(error.what()), "") << error.what();
    }
}

TEST(LibraryStrings, ASystemErrorJoinsItsTextAndTheCodesMessage) {
    const std::error_code code = std::make_error_code(std::errc::resource_unavailable_try_again);
    try {
        throw std::system_error(code, "starting the worker");
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code(), code);
        EXPECT_EQ(std::string(error.what()), "starting the worker: " + code.message());
    }
}

}  // namespace
