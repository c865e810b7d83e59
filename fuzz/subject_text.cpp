// A subject as text (OMBUP_PUBLISHER, --publisher): parse_subject_text and
// format_subject_text must agree, whatever the text, so that what the
// release check prints is what the updater reads.
#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/subject_name.h"
#include "fuzz_support.h"

namespace {

// The input as little-endian UTF-16 units, as the text reaches the program.
std::wstring utf16_units(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    for (std::size_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    return text;
}

// A list made of the input: for each attribute a byte picks the identifier
// (one with a short name, or one without) and whether it joins the one
// before, another its value's length, then the value's units.
subject_name_t attributes_of(const std::uint8_t* data, std::size_t size) {
    static const char* const oids[] = {"2.5.4.3", "2.5.4.10", "2.5.4.6", "2.5.4.15", "1.3.6.1.4.1.311.60.2.1.3",
                                       "0.9.2342.19200300.100.1.25", "1.2.840.113549.1.9.1", "2.5.4.8"};
    subject_name_t name;
    std::size_t at = 0;
    while (at + 2 <= size) {
        name_attribute_t attribute;
        attribute.oid = oids[data[at] % 8];
        attribute.joined = !name.empty() && (data[at] & 0x80) != 0;
        const std::size_t length = data[at + 1] % 16;
        at += 2;
        for (std::size_t i = 0; i < length && at + 1 < size; ++i, at += 2)
            attribute.value.push_back(static_cast<wchar_t>(data[at] | (data[at + 1] << 8)));
        name.push_back(attribute);
    }
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Text that reads as a subject reads back the same once written out.
    subject_name_t name;
    if (parse_subject_text(utf16_units(data, size), name)) {
        FUZZ_REQUIRE(!name.empty() && !name.front().joined);
        const std::wstring written = format_subject_text(name);
        subject_name_t again;
        FUZZ_REQUIRE(parse_subject_text(written, again));
        FUZZ_REQUIRE(again == name);
        FUZZ_REQUIRE(format_subject_text(again) == written);
    }
    // Any list of attributes, written out, reads back as itself.
    const subject_name_t attributes = attributes_of(data, size);
    if (!attributes.empty()) {
        subject_name_t read;
        FUZZ_REQUIRE(parse_subject_text(format_subject_text(attributes), read));
        FUZZ_REQUIRE(read == attributes);
    }
    return 0;
}
