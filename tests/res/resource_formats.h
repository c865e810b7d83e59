#pragma once
// Readers for the resource formats that the tests check field by field: the
// extended dialog template and the XML of a manifest.
#include <windows.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

// A dialog template's class, menu or text: a string, or an ordinal when nonzero.
struct sz_or_ord_t {
    WORD ordinal = 0;
    std::wstring text;
};
bool operator==(const sz_or_ord_t& a, const sz_or_ord_t& b);
sz_or_ord_t ordinal(WORD value);
sz_or_ord_t text(const wchar_t* value);

struct dialog_item_t {
    DWORD help_id, ex_style, style;
    short x, y, cx, cy;
    DWORD id;
    sz_or_ord_t window_class, title;
    WORD extra_count;
};
bool operator==(const dialog_item_t& a, const dialog_item_t& b);
void PrintTo(const dialog_item_t& item, std::ostream* out);

struct dialog_template_t {
    WORD version = 0, signature = 0;
    DWORD help_id = 0, ex_style = 0, style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    sz_or_ord_t menu, window_class;
    std::wstring caption;
    WORD point_size = 0, weight = 0;
    BYTE italic = 0, charset = 0;
    std::wstring typeface;
    std::vector<dialog_item_t> items;
    size_t size = 0;  // bytes up to the end of the last item
};

// Reads a DLGTEMPLATEEX; false when the bytes end before the template does.
bool parse_dialog_template_ex(const std::string& bytes, dialog_template_t& dialog);

// An element or a comment of an XML document, in document order.
struct xml_node_t {
    bool is_comment = false;
    std::wstring path;           // local names from the root: L"/assembly/dependency"
    std::wstring namespace_uri;  // of an element
    std::map<std::wstring, std::wstring> attributes;  // without namespace declarations
    std::wstring comment;
};

// Reads a document with the system's XmlLite; false unless it is well formed.
bool read_xml(const std::string& bytes, std::vector<xml_node_t>& nodes);
