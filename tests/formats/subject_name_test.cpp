#include "formats/subject_name.h"

#include <gtest/gtest.h>

namespace {

const std::string cn = "2.5.4.3";
const std::string business_category = "2.5.4.15";
const std::string jurisdiction_country = "1.3.6.1.4.1.311.60.2.1.3";

// The EV test publisher (tests/harness/sign-fixtures), most specific first.
const subject_name_t ev_subject = {{cn, L"OmBry EV Test JSC"},
                                   {"2.5.4.10", L"OmBry EV Test JSC"},
                                   {"2.5.4.5", L"0312345678"},
                                   {jurisdiction_country, L"VN"},
                                   {business_category, L"Private Organization"},
                                   {"2.5.4.6", L"VN"}};
const std::wstring ev_as_windows_writes_it =
    L"CN=OmBry EV Test JSC, O=OmBry EV Test JSC, SERIALNUMBER=0312345678, OID.1.3.6.1.4.1.311.60.2.1.3=VN, "
    L"OID.2.5.4.15=Private Organization, C=VN";

TEST(SubjectName, IsReadAsTheSameAttributesHoweverItIsSpelt) {
    const struct {
        const wchar_t* text;
        subject_name_t expected;
    } cases[] = {
        {ev_as_windows_writes_it.c_str(), ev_subject},
        // As Wine 8 writes it: no "OID.", and quotes around values with spaces.
        {L"CN=\"OmBry EV Test JSC\", O=\"OmBry EV Test JSC\", SERIALNUMBER=0312345678, "
         L"1.3.6.1.4.1.311.60.2.1.3=VN, 2.5.4.15=Private Organization, C=VN",
         ev_subject},
        // Any letter case, the longer keys, ";" and spaces around the parts.
        {L"  cn = a ;Email=e@x;ST=s, Title=t,GivenName=g,Initials=i,oid.2.5.4.3=b, 2.5.4.3=c ",
         {{cn, L"a"},
          {"1.2.840.113549.1.9.1", L"e@x"},
          {"2.5.4.8", L"s"},
          {"2.5.4.12", L"t"},
          {"2.5.4.42", L"g"},
          {"2.5.4.43", L"i"},
          {cn, L"b"},
          {cn, L"c"}}},
        {L"O=\"OmBry, Inc.\", CN=\" \"\"Q\"\" \" + OU=x, CN=",
         {{"2.5.4.10", L"OmBry, Inc."}, {cn, L" \"Q\" "}, {"2.5.4.11", L"x", true}, {cn, L""}}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(test.text)));
        subject_name_t name;
        ASSERT_TRUE(parse_subject_text(test.text, name));
        EXPECT_EQ(name, test.expected);
    }
}

TEST(SubjectName, TextThatIsNoSubjectIsRefused) {
    for (const wchar_t* text :
         {L"", L"OmBry Test Publisher", L"CN=a,", L"CN=a, , O=b", L"=a", L"XX=a", L"OID.CN=a", L"2.5.4.=a",
          L"OID.2.5.04.3=a", L"2=a", L"2.5.4.x=a", L"CN=\"a", L"CN=\"a\" b", L"CN=a\"b", L"CN=a O=b",
          L"CN=a#", L"CN=<a>", L"CN=a\nb"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(text)));
        subject_name_t name = ev_subject;
        EXPECT_FALSE(parse_subject_text(text, name));
        EXPECT_EQ(name, ev_subject) << "changed";
    }
}

TEST(SubjectName, IsWrittenAsWindowsWritesIt) {
    EXPECT_EQ(format_subject_text(ev_subject), ev_as_windows_writes_it);
    const struct {
        std::wstring value;
        const wchar_t* written;
    } cases[] = {
        {L"a b", L"CN=a b"},         {L" a", L"CN=\" a\""},     {L"a ", L"CN=\"a \""},   {L"a,b", L"CN=\"a,b\""},
        {L"a+b", L"CN=\"a+b\""},     {L"a=b", L"CN=\"a=b\""},   {L"a;b", L"CN=\"a;b\""}, {L"<a>", L"CN=\"<a>\""},
        {L"#a", L"CN=\"#a\""},       {L"a\nb", L"CN=\"a\nb\""}, {L"a\rb", L"CN=\"a\rb\""},
        {L"\"a\"", L"CN=\"\"\"a\"\"\""}, {L"", L"CN="},         {L"a\tb", L"CN=a\tb"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(testing::PrintToString(test.value));
        EXPECT_EQ(format_subject_text({{cn, test.value}}), test.written);
    }
    EXPECT_EQ(format_subject_text({{cn, L"a"}, {"2.5.4.11", L"b", true}, {"0.9.2342.19200300.100.1.25", L"c"}}),
              L"CN=a + OU=b, DC=c");
}

}  // namespace
