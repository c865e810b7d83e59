// Reads the resources back from the built executables: the x86_64 ombup.exe
// of this tree and the shipping i686 one, through the system's own loaders.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "resource.h"
#include "resource_formats.h"
#include "test_env.h"

static_assert(IDS_APP_TITLE == 103 && IDS_WINDOW_CLASS == 109 && IDI_APP == 107 && IDI_SMALL == 108 &&
                  IDR_MAIN == 109 && IDM_ABOUT == 104 && IDM_EXIT == 105 && IDD_ABOUTBOX == 103 &&
                  IDD_DOWNLOAD == 129 && IDC_PROGRESS == 1000,
              "resource ids");

namespace {

struct exe_t {
    const char* width;
    const char* unix_path;
    WORD machine;
};

// CTest names each case after this: ".../x86_64", ".../i686".
void PrintTo(const exe_t& exe, std::ostream* out) { *out << exe.width; }

std::vector<exe_t> built_exes() {
    std::vector<exe_t> exes{{"x86_64", OMBUP_TEST_EXE, IMAGE_FILE_MACHINE_AMD64}};
#ifdef OMBUP_SHIPPING_EXE
    exes.push_back({"i686", OMBUP_SHIPPING_EXE, IMAGE_FILE_MACHINE_I386});
#endif
    return exes;
}

const WORD us_english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

class ExecutableResources : public testing::TestWithParam<exe_t> {
protected:
    void SetUp() override {
        path_ = windows_path(GetParam().unix_path);
        const std::string image = read_file(path_);
        ASSERT_GT(image.size(), 0x40u) << narrow_utf8(path_);
        DWORD pe = 0;
        WORD machine = 0;
        std::memcpy(&pe, image.data() + 0x3C, sizeof pe);
        ASSERT_LT(pe + 6, image.size());
        std::memcpy(&machine, image.data() + pe + 4, sizeof machine);
        ASSERT_EQ(machine, GetParam().machine) << "not the " << GetParam().width << " file";
        // Maps a 32-bit file into this 64-bit process as well.
        module_ = LoadLibraryExW(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module_, nullptr) << "error " << GetLastError();
    }

    void TearDown() override {
        if (module_ != nullptr) FreeLibrary(module_);
    }

    std::string resource(LPCWSTR type, WORD id) const {
        HRSRC found = FindResourceExW(module_, type, MAKEINTRESOURCEW(id), us_english);
        if (found == nullptr) {
            ADD_FAILURE() << "no resource " << id << " of type " << reinterpret_cast<ULONG_PTR>(type);
            return std::string();
        }
        const void* data = LockResource(LoadResource(module_, found));
        return std::string(static_cast<const char*>(data), SizeofResource(module_, found));
    }

    std::wstring path_;
    HMODULE module_ = nullptr;
};

// --- inventory and strings ---------------------------------------------------

using resource_key = std::tuple<ULONG_PTR, ULONG_PTR, WORD>;  // type, id, language

BOOL CALLBACK add_language(HMODULE, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR keys) {
    reinterpret_cast<std::vector<resource_key>*>(keys)->emplace_back(
        reinterpret_cast<ULONG_PTR>(type), reinterpret_cast<ULONG_PTR>(name), language);
    return TRUE;
}

BOOL CALLBACK add_name(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR keys) {
    return EnumResourceLanguagesW(module, type, name, add_language, keys);
}

BOOL CALLBACK add_type(HMODULE module, LPWSTR type, LONG_PTR keys) {
    return EnumResourceNamesW(module, type, add_name, keys);
}

TEST_P(ExecutableResources, HoldsExactlyTheseResourcesAllInUsEnglish) {
    std::vector<resource_key> keys;
    EnumResourceTypesW(module_, add_type, reinterpret_cast<LONG_PTR>(&keys));

    // Enumeration goes by type, then id. Types: 3 icon image, 4 menu, 5 dialog,
    // 6 string block (ids 96 to 111 make block 7), 9 accelerators, 14 icon
    // group, 16 version, 24 manifest.
    std::vector<resource_key> expected;
    for (ULONG_PTR image = 1; image <= 14; ++image) expected.emplace_back(3, image, us_english);
    const std::vector<std::pair<ULONG_PTR, ULONG_PTR>> others{
        {4, IDR_MAIN}, {5, IDD_ABOUTBOX}, {5, IDD_DOWNLOAD}, {6, 7},   {9, IDR_MAIN},
        {14, IDI_APP}, {14, IDI_SMALL},   {16, 1},           {24, 1}, {24, 132}};
    for (const auto& other : others) expected.emplace_back(other.first, other.second, us_english);
    EXPECT_EQ(keys, expected);

    // The first icon group is the one that stands for the file.
    const auto first_group = std::find_if(keys.begin(), keys.end(),
                                          [](const resource_key& key) { return std::get<0>(key) == 14; });
    ASSERT_NE(first_group, keys.end());
    EXPECT_EQ(std::get<1>(*first_group), static_cast<ULONG_PTR>(IDI_APP));
}

TEST_P(ExecutableResources, StringTableHoldsTitleAndWindowClass) {
    const std::vector<std::pair<UINT, std::wstring>> strings{{IDS_APP_TITLE, L"ombup"},
                                                             {IDS_WINDOW_CLASS, L"___OMBUP___TRW___"}};
    for (const auto& string : strings) {
        const wchar_t* stored = nullptr;
        const int stored_length = LoadStringW(module_, string.first, reinterpret_cast<LPWSTR>(&stored), 0);
        ASSERT_NE(stored, nullptr) << string.first;
        EXPECT_EQ(std::wstring(stored, static_cast<size_t>(stored_length)), string.second);

        wchar_t buffer[64] = {};
        EXPECT_EQ(LoadStringW(module_, string.first, buffer, 64), static_cast<int>(string.second.size()));
        EXPECT_EQ(std::wstring(buffer), string.second);
    }
}

// --- icons ---------------------------------------------------------------------

#pragma pack(push, 2)
struct group_icon_entry_t {
    BYTE width, height, colour_count, reserved;
    WORD planes, bit_count;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

struct icon_image_t {
    int size, bit_count;
    bool operator==(const icon_image_t& other) const { return size == other.size && bit_count == other.bit_count; }
};

void PrintTo(const icon_image_t& image, std::ostream* out) {
    *out << image.size << " px at " << image.bit_count << " bpp";
}

const char png_signature[] = "\x89PNG\r\n\x1a\n";

DWORD big_endian(const std::string& bytes, size_t at) {
    return static_cast<DWORD>(static_cast<BYTE>(bytes[at]) << 24 | static_cast<BYTE>(bytes[at + 1]) << 16 |
                              static_cast<BYTE>(bytes[at + 2]) << 8 | static_cast<BYTE>(bytes[at + 3]));
}

// One RT_ICON image: PNG at 256 pixels (palette-based for 8 bits, RGBA for
// 32), a DIB otherwise; and the system must make an icon of that size of it.
void check_icon_image(const std::string& image, int size, int bit_count) {
    if (size == 256) {
        ASSERT_GE(image.size(), 26u);
        EXPECT_EQ(image.substr(0, 8), std::string(png_signature, 8));
        EXPECT_EQ(image.substr(12, 4), "IHDR");
        EXPECT_EQ(big_endian(image, 16), 256u);
        EXPECT_EQ(big_endian(image, 20), 256u);
        EXPECT_EQ(image[24], 8);
        EXPECT_EQ(image[25], bit_count == 8 ? 3 : 6);
    } else {
        BITMAPINFOHEADER dib{};
        ASSERT_GE(image.size(), sizeof dib);
        std::memcpy(&dib, image.data(), sizeof dib);
        EXPECT_EQ(dib.biWidth, size);
        EXPECT_EQ(dib.biHeight, 2 * size);  // colour rows, then the mask
        EXPECT_EQ(dib.biBitCount, bit_count);
        EXPECT_EQ(dib.biCompression, static_cast<DWORD>(BI_RGB));
    }

    std::string copy = image;
    HICON icon = CreateIconFromResourceEx(reinterpret_cast<BYTE*>(&copy[0]), static_cast<DWORD>(copy.size()), TRUE,
                                          0x00030000, 0, 0, LR_DEFAULTCOLOR);
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    BITMAP colour{};
    EXPECT_TRUE(GetIconInfo(icon, &info));
    EXPECT_TRUE(GetObjectW(info.hbmColor, sizeof colour, &colour));
    EXPECT_EQ(colour.bmWidth, size);
    EXPECT_EQ(colour.bmHeight, size);
    if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
    if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
    DestroyIcon(icon);
}

TEST_P(ExecutableResources, IconGroupsHoldTheirSizesAndDepths) {
    const std::map<WORD, std::vector<icon_image_t>> expected{
        {IDI_APP, {{128, 32}, {48, 32}, {32, 32}, {24, 32}, {16, 32}}},
        {IDI_SMALL, {{256, 8}, {48, 8}, {32, 8}, {16, 8}, {256, 32}, {64, 32}, {48, 32}, {32, 32}, {16, 32}}},
    };
    for (const auto& group_images : expected) {
        SCOPED_TRACE(testing::Message() << "icon group " << group_images.first);
        const std::string group = resource(RT_GROUP_ICON, group_images.first);
        WORD header[3] = {};
        ASSERT_GE(group.size(), sizeof header);
        std::memcpy(header, group.data(), sizeof header);
        EXPECT_EQ(header[0], 0);
        EXPECT_EQ(header[1], 1) << "not an icon group";
        ASSERT_EQ(group.size(), sizeof header + header[2] * sizeof(group_icon_entry_t));

        std::vector<icon_image_t> images;
        for (WORD i = 0; i < header[2]; ++i) {
            group_icon_entry_t entry;
            std::memcpy(&entry, group.data() + sizeof header + i * sizeof entry, sizeof entry);
            const int size = entry.width == 0 ? 256 : entry.width;  // a zero byte means 256
            images.push_back({size, entry.bit_count});
            SCOPED_TRACE(testing::Message() << "image " << i << ", " << size << " px");
            EXPECT_EQ(entry.height, entry.width);
            EXPECT_EQ(entry.colour_count, 0);
            EXPECT_EQ(entry.planes, 1);
            const std::string image = resource(RT_ICON, entry.id);
            EXPECT_EQ(image.size(), entry.bytes);
            check_icon_image(image, size, entry.bit_count);
        }
        EXPECT_EQ(images, group_images.second);
    }
}

// --- menu and accelerators ---------------------------------------------------

struct menu_item_t {
    std::wstring text;
    UINT id;
    HMENU submenu;
};

menu_item_t menu_item(HMENU menu, UINT position) {
    wchar_t text[64] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING | MIIM_ID | MIIM_SUBMENU;
    info.dwTypeData = text;
    info.cch = 64;
    EXPECT_TRUE(GetMenuItemInfoW(menu, position, TRUE, &info)) << "item " << position;
    return menu_item_t{text, info.wID, info.hSubMenu};
}

TEST_P(ExecutableResources, MenuHasFileExitAndHelpAbout) {
    HMENU menu = LoadMenuW(module_, MAKEINTRESOURCEW(IDR_MAIN));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 2);

    const std::vector<std::pair<std::wstring, menu_item_t>> expected{
        {L"&File", {L"E&xit", IDM_EXIT, nullptr}},
        {L"&Help", {L"&About ...", IDM_ABOUT, nullptr}},
    };
    for (UINT i = 0; i < expected.size(); ++i) {
        const menu_item_t popup = menu_item(menu, i);
        EXPECT_EQ(popup.text, expected[i].first);
        ASSERT_NE(popup.submenu, nullptr) << "not a pop-up: " << narrow_utf8(popup.text);
        ASSERT_EQ(GetMenuItemCount(popup.submenu), 1);
        const menu_item_t item = menu_item(popup.submenu, 0);
        EXPECT_EQ(item.text, expected[i].second.text);
        EXPECT_EQ(item.id, expected[i].second.id);
        EXPECT_EQ(item.submenu, nullptr);
    }
    DestroyMenu(menu);
}

TEST_P(ExecutableResources, AcceleratorsAreAltWithTheCharactersQuestionMarkAndSlash) {
    struct entry_t {
        WORD flags, key, command, padding;
    };
    const std::string table = resource(RT_ACCELERATOR, IDR_MAIN);
    ASSERT_EQ(table.size(), 2 * sizeof(entry_t));
    entry_t entries[2];
    std::memcpy(entries, table.data(), sizeof entries);

    // Character codes, not virtual keys: FALT without FVIRTKEY; 0x80 ends the table.
    EXPECT_EQ(entries[0].flags, FALT);
    EXPECT_EQ(entries[0].key, '?');
    EXPECT_EQ(entries[0].command, IDM_ABOUT);
    EXPECT_EQ(entries[1].flags, FALT | 0x80);
    EXPECT_EQ(entries[1].key, '/');
    EXPECT_EQ(entries[1].command, IDM_ABOUT);
}

// --- dialog templates ------------------------------------------------------------

// Reads a whole DLGTEMPLATEEX with nothing after it and checks its header;
// both dialogs sit at (0, 0) and use the same font.
void read_dialog_template(const std::string& bytes, DWORD style, short cx, short cy, const wchar_t* caption,
                          dialog_template_t& dialog) {
    ASSERT_TRUE(parse_dialog_template_ex(bytes, dialog)) << "not a whole DLGTEMPLATEEX";
    EXPECT_EQ(dialog.size, bytes.size()) << "bytes after the last item";
    EXPECT_EQ(dialog.help_id, 0u);
    EXPECT_EQ(dialog.ex_style, 0u);
    EXPECT_EQ(dialog.style, style) << std::hex << dialog.style;
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.cx, cx);
    EXPECT_EQ(dialog.cy, cy);
    EXPECT_EQ(dialog.menu, ordinal(0));
    EXPECT_EQ(dialog.window_class, ordinal(0));
    EXPECT_EQ(dialog.caption, caption);
    EXPECT_EQ(dialog.point_size, 8);
    EXPECT_EQ(dialog.weight, 400);
    EXPECT_EQ(dialog.italic, 0);
    EXPECT_EQ(dialog.charset, 1);
    EXPECT_EQ(dialog.typeface, L"MS Shell Dlg");
}

TEST_P(ExecutableResources, DownloadDialogTemplateIsExactlyAsDefined) {
    dialog_template_t dialog;
    // WS_POPUP | WS_CAPTION | DS_CENTER | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS, no WS_SYSMENU
    ASSERT_NO_FATAL_FAILURE(read_dialog_template(resource(RT_DIALOG, IDD_DOWNLOAD), 0x80C008C8, 247, 56,
                                                 L"Dowloading OmBry", dialog));
    ASSERT_EQ(dialog.items.size(), 2u);
    EXPECT_EQ(dialog.items[0], (dialog_item_t{0, 0, 0x50010000, 98, 35, 50, 14, IDCANCEL, ordinal(0x0080),
                                              text(L"Cancel"), 0}));
    EXPECT_EQ(dialog.items[1], (dialog_item_t{0, 0, 0x50800000, 7, 15, 232, 10, IDC_PROGRESS,
                                              text(L"msctls_progress32"), text(L""), 0}));
}

TEST_P(ExecutableResources, AboutDialogTemplateHasItsIconTextsAndOkButton) {
    dialog_template_t dialog;
    // WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS
    ASSERT_NO_FATAL_FAILURE(read_dialog_template(resource(RT_DIALOG, IDD_ABOUTBOX), 0x80C800C8, 170, 62,
                                                 L"About ombup", dialog));
    ASSERT_EQ(dialog.items.size(), 4u);
    const DWORD visible_child = WS_CHILD | WS_VISIBLE;
    const dialog_item_t& icon = dialog.items[0];
    EXPECT_EQ(std::make_tuple(icon.x, icon.y, icon.cx, icon.cy), std::make_tuple(14, 14, 20, 20));
    EXPECT_EQ(icon.window_class, ordinal(0x0082));
    EXPECT_EQ(icon.style & (visible_child | SS_TYPEMASK), visible_child | SS_ICON);
    EXPECT_EQ(icon.title, ordinal(IDI_APP));

    const dialog_item_t& version = dialog.items[1];
    EXPECT_EQ(std::make_tuple(version.x, version.y, version.cx, version.cy), std::make_tuple(42, 14, 114, 8));
    EXPECT_EQ(version.window_class, ordinal(0x0082));
    EXPECT_EQ(version.title, text(L"ombup, Version 1.0"));

    const dialog_item_t& second_line = dialog.items[2];
    EXPECT_EQ(std::make_tuple(second_line.x, second_line.y, second_line.cx, second_line.cy),
              std::make_tuple(42, 26, 114, 8));
    EXPECT_EQ(second_line.window_class, ordinal(0x0082));

    const dialog_item_t& ok = dialog.items[3];
    EXPECT_EQ(std::make_tuple(ok.x, ok.y, ok.cx, ok.cy), std::make_tuple(113, 41, 50, 14));
    EXPECT_EQ(ok.id, static_cast<DWORD>(IDOK));
    EXPECT_EQ(ok.window_class, ordinal(0x0080));
    EXPECT_EQ(ok.style & (visible_child | BS_TYPEMASK), visible_child | BS_DEFPUSHBUTTON);
    EXPECT_EQ(ok.title, text(L"OK"));
}

// --- version block -----------------------------------------------------------------

TEST_P(ExecutableResources, VersionBlockIs4001WithItsStrings) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path_.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "error " << GetLastError();
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path_.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(length, sizeof *fixed);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00040000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00040000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, 0u);
    EXPECT_EQ(fixed->dwFileSubtype, 0u);
    EXPECT_EQ(fixed->dwFileDateMS, 0u);
    EXPECT_EQ(fixed->dwFileDateLS, 0u);

    const std::map<std::wstring, std::wstring> strings{
        {L"FileDescription", L"OmBry Auto Update"}, {L"FileVersion", L"4.0.0.1"},
        {L"InternalName", L"OmBry Auto Update"},    {L"OriginalFilename", L"ombup"},
        {L"ProductName", L"OmBry Auto Update"},     {L"ProductVersion", L"4.0.0.1"},
    };
    for (const auto& string : strings) {
        const std::wstring query = L"\\StringFileInfo\\040904b0\\" + string.first;
        wchar_t* value = nullptr;
        ASSERT_TRUE(VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
            << narrow_utf8(string.first);
        EXPECT_EQ(std::wstring(value), string.second) << narrow_utf8(string.first);
    }

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_EQ(length, 2 * sizeof(WORD));
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);
}

// --- manifests ---------------------------------------------------------------------

using attributes_t = std::map<std::wstring, std::wstring>;

std::vector<attributes_t> attributes_at(const std::vector<xml_node_t>& nodes, const std::wstring& path,
                                        const std::wstring& namespace_uri) {
    std::vector<attributes_t> found;
    for (const xml_node_t& node : nodes) {
        if (node.is_comment || node.path != path) continue;
        EXPECT_EQ(node.namespace_uri, namespace_uri) << narrow_utf8(path);
        found.push_back(node.attributes);
    }
    return found;
}

attributes_t common_controls(const wchar_t* architecture) {
    return {{L"type", L"win32"},
            {L"name", L"Microsoft.Windows.Common-Controls"},
            {L"version", L"6.0.0.0"},
            {L"processorArchitecture", architecture},
            {L"publicKeyToken", L"6595b64144ccf1df"},
            {L"language", L"*"}};
}

const wchar_t asm_v1[] = L"urn:schemas-microsoft-com:asm.v1";
const wchar_t supported_os_path[] = L"/assembly/compatibility/application/supportedOS";
const std::vector<std::pair<std::wstring, std::wstring>> supported_os{
    {L"Windows 10", L"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"},
    {L"Windows 8.1", L"{1f676c76-80e1-4239-95bb-83d0f6d0da78}"},
    {L"Windows 8", L"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"},
    {L"Windows Vista", L"{e2011457-1546-43c5-a5fe-008deee3d3f0}"},
    {L"Windows 7", L"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"},
};

// What both manifests declare besides their dependencies.
void expect_trust_and_compatibility(const std::vector<xml_node_t>& nodes) {
    ASSERT_FALSE(nodes.empty());
    EXPECT_EQ(nodes[0].path, L"/assembly");
    EXPECT_EQ(nodes[0].namespace_uri, asm_v1);
    EXPECT_EQ(nodes[0].attributes, (attributes_t{{L"manifestVersion", L"1.0"}}));
    EXPECT_EQ(attributes_at(nodes, L"/assembly/trustInfo/security/requestedPrivileges/requestedExecutionLevel",
                            L"urn:schemas-microsoft-com:asm.v3"),
              (std::vector<attributes_t>{{{L"level", L"asInvoker"}, {L"uiAccess", L"false"}}}));

    std::vector<attributes_t> ids;
    for (const auto& os : supported_os) ids.push_back({{L"Id", os.second}});
    EXPECT_EQ(attributes_at(nodes, supported_os_path, L"urn:schemas-microsoft-com:compatibility.v1"), ids);

    for (const xml_node_t& node : nodes) {
        std::wstring path = node.path;
        std::transform(path.begin(), path.end(), path.begin(), std::towlower);
        EXPECT_EQ(path.find(L"dpiaware"), std::wstring::npos) << "a DPI setting: " << narrow_utf8(node.path);
    }
}

TEST_P(ExecutableResources, ProcessManifestDependsOnCommonControls6ForAnyAndX86) {
    std::vector<xml_node_t> nodes;
    ASSERT_TRUE(read_xml(resource(RT_MANIFEST, 1), nodes)) << "not well-formed XML";
    EXPECT_EQ(attributes_at(nodes, L"/assembly/dependency/dependentAssembly/assemblyIdentity", asm_v1),
              (std::vector<attributes_t>{common_controls(L"*"), common_controls(L"x86")}));
    expect_trust_and_compatibility(nodes);
}

TEST_P(ExecutableResources, SourceManifestHasOneDependencyAndNamesTheWindowsVersions) {
    std::vector<xml_node_t> nodes;
    ASSERT_TRUE(read_xml(resource(RT_MANIFEST, 132), nodes)) << "not well-formed XML";
    EXPECT_EQ(attributes_at(nodes, L"/assembly/dependency/dependentAssembly/assemblyIdentity", asm_v1),
              std::vector<attributes_t>{common_controls(L"*")});
    expect_trust_and_compatibility(nodes);

    // Each supportedOS comes right after the comment that names its version.
    std::vector<std::pair<std::wstring, std::wstring>> named;
    for (size_t i = 1; i < nodes.size(); ++i) {
        if (nodes[i].path != supported_os_path || !nodes[i - 1].is_comment) continue;
        std::wstring comment = nodes[i - 1].comment;
        comment.erase(0, comment.find_first_not_of(L' '));
        comment.erase(comment.find_last_not_of(L' ') + 1);
        named.emplace_back(comment, nodes[i].attributes.at(L"Id"));
    }
    EXPECT_EQ(named, supported_os);
}

INSTANTIATE_TEST_SUITE_P(BothWidths, ExecutableResources, testing::ValuesIn(built_exes()));

}  // namespace
