#include "dialog_script.h"

#include <cstdlib>
#include <fstream>
#include <map>

#include "common/scoped.h"
#include "test_env.h"
#include "ui_driver.h"

namespace {

std::string utf8(const std::wstring& text) { return narrow_utf8(text); }

struct step_log_t {
    std::string& log;
    bool fail(int line, const std::string& reason) {
        log += "dialog_driver: step on line " + std::to_string(line) + ": " + reason + "\n";
        return false;
    }
};

std::string trim(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::map<std::string, std::string> fields_of(const std::string& line) {
    std::map<std::string, std::string> fields;
    for (size_t start = 0; start <= line.size();) {
        size_t end = line.find(" | ", start);
        if (end == std::string::npos) end = line.size();
        const std::string field = trim(line.substr(start, end - start));
        const size_t equals = field.find('=');
        if (equals != std::string::npos) fields[trim(field.substr(0, equals))] = field.substr(equals + 1);
        start = end + 3;
    }
    return fields;
}

// The dialog's window as the screen shows it, as a 24-bit BMP.
bool save_picture(HWND dialog, const std::wstring& file) {
    RECT rect{};
    GetWindowRect(dialog, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    const window_dc screen(nullptr);
    const scoped_memory_dc memory(CreateCompatibleDC(screen.get()));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const scoped_gdi_object bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!memory || !bitmap) return false;
    {
        const object_selection selected(memory.get(), bitmap.get());
        BitBlt(memory.get(), 0, 0, width, height, screen.get(), rect.left, rect.top, SRCCOPY);
    }
    GdiFlush();
    const DWORD row = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info.bmiHeader;
    header.bfSize = header.bfOffBits + row * static_cast<DWORD>(height);
    std::ofstream out(file.c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
    out.write(static_cast<const char*>(bits), static_cast<std::streamsize>(row * static_cast<DWORD>(height)));
    return static_cast<bool>(out);
}

bool make_file(const std::wstring& path) {
    const scoped_file file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return static_cast<bool>(file);
}

std::string visible_dialogs() {
    std::string list;
    for (HWND window = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); window != nullptr;
         window = FindWindowExW(nullptr, window, L"#32770", nullptr)) {
        if (!IsWindowVisible(window)) continue;
        wchar_t caption[256];
        GetWindowTextW(window, caption, 256);
        list += "\n  \"" + utf8(caption) + "\": \"" + utf8(message_box_text(window)) + "\"";
    }
    return list.empty() ? " none" : list;
}

bool run_step(int line, const std::map<std::string, std::string>& fields, DWORD step_timeout_ms, step_log_t out) {
    const auto field = [&](const char* name) {
        const auto found = fields.find(name);
        return found == fields.end() ? std::string() : found->second;
    };
    const std::string caption = field("caption");
    const HWND dialog = wait_for_dialog(widen_utf8(caption), step_timeout_ms);
    if (dialog == nullptr)
        return out.fail(line, "no dialog \"" + caption + "\" appeared; visible dialogs:" + visible_dialogs());

    const std::string text = utf8(message_box_text(dialog));
    if (fields.count("text") && text != field("text"))
        return out.fail(line, "\"" + caption + "\" says \"" + text + "\", expected \"" + field("text") + "\"");
    if (fields.count("owner")) {
        const HWND owner = owner_window(dialog);
        const std::string owner_class = owner == nullptr ? "none" : utf8(window_class_name(owner));
        if (owner_class != field("owner"))
            return out.fail(line, "\"" + caption + "\" is owned by " + owner_class + ", expected " + field("owner"));
    }
    if (fields.count("delay")) Sleep(static_cast<DWORD>(std::atoi(field("delay").c_str())));
    if (fields.count("shot") && !save_picture(dialog, widen_utf8(field("shot"))))
        return out.fail(line, "cannot save the picture " + field("shot"));

    const std::string action = field("action");
    if (action == "forge-reports") forge_download_reports(dialog);
    if (fields.count("touch") && !make_file(widen_utf8(field("touch"))))
        return out.fail(line, "cannot create " + field("touch"));
    static const std::map<std::string, int> buttons = {{"yes", IDYES}, {"no", IDNO}, {"ok", IDOK}, {"cancel", IDCANCEL}};
    const auto button = buttons.find(action);
    if (button != buttons.end()) {
        if (!has_control(dialog, button->second)) return out.fail(line, "\"" + caption + "\" has no " + action + " button");
        press_button(dialog, button->second);
        // Cancel in the download dialog asks first; the dialog stays meanwhile.
        if (action != "cancel" && !wait_until_gone(dialog, step_timeout_ms))
            return out.fail(line, "\"" + caption + "\" stayed after " + action);
    } else if (action == "wait-gone" || action == "forge-reports") {
        if (!wait_until_gone(dialog, step_timeout_ms)) return out.fail(line, "\"" + caption + "\" did not go");
    } else if (action != "none") {
        return out.fail(line, "unknown action \"" + action + "\"");
    }
    out.log += caption + (text.empty() ? "" : ": \"" + text + "\"") + " -> " + action + "\n";
    return true;
}

}  // namespace

dialog_script_result run_dialog_script(const std::vector<std::string>& lines, std::string& log,
                                       DWORD step_timeout_ms) {
    int number = 0;
    for (std::string line : lines) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (trim(line).empty() || trim(line)[0] == '#') continue;
        const std::map<std::string, std::string> fields = fields_of(line);
        if (!fields.count("caption") || !fields.count("action")) {
            log += "dialog_driver: line " + std::to_string(number) + " needs a caption and an action\n";
            return dialog_script_result::bad_script;
        }
        if (!run_step(number, fields, step_timeout_ms, step_log_t{log})) return dialog_script_result::failed;
    }
    return dialog_script_result::done;
}
