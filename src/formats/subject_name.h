#pragma once
// A certificate's subject as the list of its attributes, and the text in
// which Windows shows a signer ("CN=Name, O=Organisation, C=VN"). Subjects
// are compared as lists, never as text: Windows and Wine spell the same
// subject differently. No Win32 here: it is also built natively for fuzzing.
#include <string>
#include <string_view>
#include <vector>

struct name_attribute_t {
    std::string oid;     // dotted decimal, "2.5.4.3"
    std::wstring value;  // the text itself, without any quoting
    // Part of the same relative name as the attribute before it ("+").
    bool joined = false;

    bool operator==(const name_attribute_t&) const = default;
};

// Most specific attribute first, as Windows shows a signer: the reverse of
// the order in the certificate.
using subject_name_t = std::vector<name_attribute_t>;

// Reads a subject written as Windows writes one: attributes separated by
// "," or ";" ("+" within one relative name), each a key, "=" and a value.
// A key is a short name of Windows' (CN, O, C, SERIALNUMBER, ...; any letter
// case; also the long ones it accepts, such as Email or ST), "OID." and an
// object identifier, or the identifier alone. A value is quoted ("...", with
// "" for a quote) or plain, and then has no surrounding spaces and none of
// the characters that Windows would quote. False, with name unchanged, for
// text that is not such a subject.
bool parse_subject_text(std::wstring_view text, subject_name_t& name);

// The subject as Windows writes it (CertNameToStrW with CERT_X500_NAME_STR
// and CERT_NAME_STR_REVERSE_FLAG): its short name for each attribute that
// has one, else "OID." and the identifier; ", " between relative names and
// " + " within one; a value quoted only when it begins or ends with a space
// or holds one of ,+="<>#; or a line break, a quote inside doubled.
std::wstring format_subject_text(const subject_name_t& name);
