#include "resource_formats.h"

#include <objbase.h>
#include <shlwapi.h>
#include <xmllite.h>

#include <cstring>

#include "test_env.h"

bool operator==(const sz_or_ord_t& a, const sz_or_ord_t& b) { return a.ordinal == b.ordinal && a.text == b.text; }

sz_or_ord_t ordinal(WORD value) { return sz_or_ord_t{value, std::wstring()}; }

sz_or_ord_t text(const wchar_t* value) { return sz_or_ord_t{0, value}; }

bool operator==(const dialog_item_t& a, const dialog_item_t& b) {
    return a.help_id == b.help_id && a.ex_style == b.ex_style && a.style == b.style && a.x == b.x && a.y == b.y &&
           a.cx == b.cx && a.cy == b.cy && a.id == b.id && a.window_class == b.window_class && a.title == b.title &&
           a.extra_count == b.extra_count;
}

namespace {

void print(const sz_or_ord_t& value, std::ostream* out) {
    if (value.ordinal != 0)
        *out << "#" << value.ordinal;
    else
        *out << '"' << narrow_utf8(value.text) << '"';
}

class byte_reader {
public:
    explicit byte_reader(const std::string& bytes) : bytes_(bytes) {}

    template <typename T>
    T read() {
        T value{};
        if (at_ + sizeof(T) > bytes_.size()) {
            complete_ = false;
            at_ = bytes_.size();
            return value;
        }
        std::memcpy(&value, bytes_.data() + at_, sizeof(T));
        at_ += sizeof(T);
        return value;
    }

    std::wstring string() {
        std::wstring value;
        for (WORD c = read<WORD>(); complete_ && c != 0; c = read<WORD>()) value += static_cast<wchar_t>(c);
        return value;
    }

    sz_or_ord_t sz_or_ord() {
        sz_or_ord_t value;
        const WORD first = read<WORD>();
        if (first == 0xFFFF)
            value.ordinal = read<WORD>();
        else if (first != 0)
            value.text = static_cast<wchar_t>(first) + string();
        return value;
    }

    void skip(size_t count) { at_ = at_ + count > bytes_.size() ? bytes_.size() : at_ + count; }
    void align_to_dword() { skip((4 - at_ % 4) % 4); }
    size_t offset() const { return at_; }
    bool complete() const { return complete_; }

private:
    const std::string& bytes_;
    size_t at_ = 0;
    bool complete_ = true;
};

}  // namespace

void PrintTo(const dialog_item_t& item, std::ostream* out) {
    *out << "{help " << item.help_id << ", ex style 0x" << std::hex << item.ex_style << ", style 0x" << item.style
         << std::dec << ", (" << item.x << ", " << item.y << ", " << item.cx << " x " << item.cy << "), id "
         << static_cast<long>(item.id) << ", class ";
    print(item.window_class, out);
    *out << ", title ";
    print(item.title, out);
    *out << ", extra " << item.extra_count << "}";
}

bool parse_dialog_template_ex(const std::string& bytes, dialog_template_t& dialog) {
    byte_reader in(bytes);
    dialog.version = in.read<WORD>();
    dialog.signature = in.read<WORD>();
    if (dialog.version != 1 || dialog.signature != 0xFFFF) return false;
    dialog.help_id = in.read<DWORD>();
    dialog.ex_style = in.read<DWORD>();
    dialog.style = in.read<DWORD>();
    const WORD count = in.read<WORD>();
    dialog.x = in.read<short>();
    dialog.y = in.read<short>();
    dialog.cx = in.read<short>();
    dialog.cy = in.read<short>();
    dialog.menu = in.sz_or_ord();
    dialog.window_class = in.sz_or_ord();
    dialog.caption = in.string();
    if (dialog.style & (DS_SETFONT | DS_SHELLFONT)) {
        dialog.point_size = in.read<WORD>();
        dialog.weight = in.read<WORD>();
        dialog.italic = in.read<BYTE>();
        dialog.charset = in.read<BYTE>();
        dialog.typeface = in.string();
    }
    dialog.items.clear();
    for (WORD i = 0; i < count && in.complete(); ++i) {
        in.align_to_dword();
        dialog_item_t item{};
        item.help_id = in.read<DWORD>();
        item.ex_style = in.read<DWORD>();
        item.style = in.read<DWORD>();
        item.x = in.read<short>();
        item.y = in.read<short>();
        item.cx = in.read<short>();
        item.cy = in.read<short>();
        item.id = in.read<DWORD>();
        item.window_class = in.sz_or_ord();
        item.title = in.sz_or_ord();
        item.extra_count = in.read<WORD>();
        in.skip(item.extra_count);
        dialog.items.push_back(item);
    }
    dialog.size = in.offset();
    return in.complete();
}

namespace {

std::wstring reader_string(IXmlReader* reader, HRESULT (STDMETHODCALLTYPE IXmlReader::*get)(const WCHAR**, UINT*)) {
    const WCHAR* value = nullptr;
    UINT length = 0;
    if (FAILED((reader->*get)(&value, &length)) || value == nullptr) return std::wstring();
    return std::wstring(value, length);
}

xml_node_t element_node(IXmlReader* reader, const std::wstring& path) {
    xml_node_t node;
    node.path = path;
    node.namespace_uri = reader_string(reader, &IXmlReader::GetNamespaceUri);
    for (HRESULT at = reader->MoveToFirstAttribute(); at == S_OK; at = reader->MoveToNextAttribute()) {
        const std::wstring name = reader_string(reader, &IXmlReader::GetLocalName);
        if (name != L"xmlns" && reader_string(reader, &IXmlReader::GetPrefix) != L"xmlns")
            node.attributes[name] = reader_string(reader, &IXmlReader::GetValue);
    }
    reader->MoveToElement();
    return node;
}

}  // namespace

bool read_xml(const std::string& bytes, std::vector<xml_node_t>& nodes) {
    using create_xml_reader_fn = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);
    nodes.clear();
    HMODULE xmllite = LoadLibraryW(L"xmllite.dll");
    if (xmllite == nullptr) return false;
    const auto create_xml_reader = reinterpret_cast<create_xml_reader_fn>(
        reinterpret_cast<void (*)()>(GetProcAddress(xmllite, "CreateXmlReader")));
    IStream* stream = SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
    IXmlReader* reader = nullptr;
    HRESULT result = E_FAIL;
    if (create_xml_reader != nullptr && stream != nullptr &&
        SUCCEEDED(create_xml_reader(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader), nullptr)) &&
        SUCCEEDED(reader->SetInput(stream))) {
        std::vector<std::wstring> open;
        XmlNodeType type;
        while ((result = reader->Read(&type)) == S_OK) {
            if (type == XmlNodeType_Element) {
                std::wstring path;
                for (const std::wstring& name : open) path += L"/" + name;
                const std::wstring name = reader_string(reader, &IXmlReader::GetLocalName);
                nodes.push_back(element_node(reader, path + L"/" + name));
                if (!reader->IsEmptyElement()) open.push_back(name);
            } else if (type == XmlNodeType_EndElement) {
                open.pop_back();
            } else if (type == XmlNodeType_Comment) {
                xml_node_t node;
                node.is_comment = true;
                node.comment = reader_string(reader, &IXmlReader::GetValue);
                nodes.push_back(node);
            }
        }
    }
    if (reader != nullptr) reader->Release();
    if (stream != nullptr) stream->Release();
    FreeLibrary(xmllite);
    return result == S_FALSE;
}
