#include "formats/subject_name.h"

#include <algorithm>

namespace {

struct attribute_key_t {
    const char* oid;
    const wchar_t* name;
};

// The names that CertNameToStrW writes, and after them the longer keys that
// Windows also reads. An attribute not named here is written "OID.<oid>",
// as the jurisdiction and business category of every EV certificate are.
constexpr attribute_key_t keys[] = {
    {"2.5.4.3", L"CN"},
    {"2.5.4.7", L"L"},
    {"2.5.4.10", L"O"},
    {"2.5.4.11", L"OU"},
    {"1.2.840.113549.1.9.1", L"E"},
    {"2.5.4.6", L"C"},
    {"2.5.4.8", L"S"},
    {"2.5.4.9", L"STREET"},
    {"2.5.4.12", L"T"},
    {"2.5.4.42", L"G"},
    {"2.5.4.43", L"I"},
    {"2.5.4.4", L"SN"},
    {"0.9.2342.19200300.100.1.25", L"DC"},
    {"2.5.4.5", L"SERIALNUMBER"},
    {"2.5.4.13", L"Description"},
    {"2.5.4.17", L"PostalCode"},
    {"2.5.4.18", L"POBox"},
    {"2.5.4.20", L"Phone"},
    {"2.5.4.24", L"X21Address"},
    {"2.5.4.46", L"dnQualifier"},
    {"1.2.840.113549.1.9.1", L"Email"},
    {"2.5.4.8", L"ST"},
    {"2.5.4.12", L"Title"},
    {"2.5.4.42", L"GivenName"},
    {"2.5.4.43", L"Initials"},
};

constexpr wchar_t space = L' ';
// What a plain value may not hold: the separators end it, and Windows quotes
// a value with any of these.
constexpr wchar_t separators[] = L",;+";
constexpr wchar_t quoted_only[] = L"=\"<>#\r\n";

wchar_t upper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

bool same_key(std::wstring_view text, const wchar_t* name) {
    std::size_t i = 0;
    for (; i < text.size() && name[i] != L'\0'; ++i)
        if (upper(text[i]) != upper(name[i])) return false;
    return i == text.size() && name[i] == L'\0';
}

std::wstring_view trimmed(std::wstring_view text) {
    const std::size_t first = text.find_first_not_of(space);
    if (first == std::wstring_view::npos) return {};
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

// Arcs of decimal digits without leading zeros, at least two of them.
bool is_object_identifier(std::wstring_view text) {
    std::size_t arcs = 0;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find(L'.', at), text.size());
        const std::wstring_view arc = text.substr(at, end - at);
        if (arc.empty() || (arc.size() > 1 && arc[0] == L'0')) return false;
        for (const wchar_t c : arc)
            if (c < L'0' || c > L'9') return false;
        ++arcs;
        at = end + 1;
    }
    return arcs >= 2;
}

bool read_key(std::wstring_view key, std::string& oid) {
    for (const attribute_key_t& known : keys) {
        if (same_key(key, known.name)) {
            oid = known.oid;
            return true;
        }
    }
    if (key.size() > 4 && same_key(key.substr(0, 4), L"OID.")) key.remove_prefix(4);
    if (!is_object_identifier(key)) return false;
    oid.assign(key.begin(), key.end());
    return true;
}

// The quoted value that starts at at, its closing quote passed.
bool read_quoted(std::wstring_view text, std::size_t& at, std::wstring& value) {
    for (++at; at < text.size(); ++at) {
        if (text[at] != L'"') {
            value.push_back(text[at]);
        } else if (at + 1 < text.size() && text[at + 1] == L'"') {
            value.push_back(L'"');
            ++at;
        } else {
            ++at;
            return true;
        }
    }
    return false;
}

bool needs_quotes(const std::wstring& value) {
    if (value.empty()) return false;
    return value.front() == space || value.back() == space || value.find_first_of(separators) != std::wstring::npos ||
           value.find_first_of(quoted_only) != std::wstring::npos;
}

}  // namespace

bool parse_subject_text(std::wstring_view text, subject_name_t& name) {
    subject_name_t parsed;
    std::size_t at = 0;
    bool joined = false;
    for (;;) {
        name_attribute_t attribute;
        attribute.joined = joined;
        const std::size_t equals = text.find(L'=', at);
        if (equals == std::wstring_view::npos || !read_key(trimmed(text.substr(at, equals - at)), attribute.oid))
            return false;
        at = text.find_first_not_of(space, equals + 1);
        if (at != std::wstring_view::npos && text[at] == L'"') {
            if (!read_quoted(text, at, attribute.value)) return false;
            at = std::min(text.find_first_not_of(space, at), text.size());
        } else {
            at = std::min(text.find_first_of(separators, std::min(at, text.size())), text.size());
            const std::wstring_view value = trimmed(text.substr(equals + 1, at - equals - 1));
            if (value.find_first_of(quoted_only) != std::wstring_view::npos) return false;
            attribute.value.assign(value.begin(), value.end());
        }
        parsed.push_back(std::move(attribute));
        if (at == text.size()) break;
        if (std::wstring_view(separators).find(text[at]) == std::wstring_view::npos) return false;
        joined = text[at] == L'+';
        ++at;
    }
    name = std::move(parsed);
    return true;
}

std::wstring format_subject_text(const subject_name_t& name) {
    std::wstring text;
    for (const name_attribute_t& attribute : name) {
        if (!text.empty()) text += attribute.joined ? L" + " : L", ";
        const attribute_key_t* key = nullptr;
        for (const attribute_key_t& known : keys) {
            if (attribute.oid == known.oid) {
                key = &known;
                break;
            }
        }
        if (key != nullptr) {
            text += key->name;
        } else {
            text += L"OID.";
            text.append(attribute.oid.begin(), attribute.oid.end());
        }
        text += L'=';
        if (!needs_quotes(attribute.value)) {
            text += attribute.value;
            continue;
        }
        text += L'"';
        for (const wchar_t c : attribute.value) {
            if (c == L'"') text += L'"';
            text += c;
        }
        text += L'"';
    }
    return text;
}
