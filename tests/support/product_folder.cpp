#include "product_folder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "ui_driver.h"

namespace {

std::wstring fixture(const wchar_t* name) { return build_dir() + L"\\tests\\fixtures\\" + name; }

void copy_file(const std::wstring& from, const std::wstring& to) {
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) ADD_FAILURE() << "cannot copy " << narrow_utf8(from);
}

}  // namespace

int product_bits() {
    if (sizeof(void*) == 8) return 64;
    SYSTEM_INFO system{};
    GetNativeSystemInfo(&system);
    return system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_INTEL ? 32 : 64;
}
int other_bits() { return product_bits() == 64 ? 32 : 64; }

std::string product_name(int bits) { return "OmBry" + std::to_string(bits); }

namespace {

// "fake_product-2.5.1", with "-i386" or "-x86_64" for a width that is not the test program's own.
std::wstring product_stem(const wchar_t* version, int bits) {
    std::wstring stem = std::wstring(L"fake_product-") + version;
    if (bits != static_cast<int>(sizeof(void*)) * 8) stem += bits == 32 ? L"-i386" : L"-x86_64";
    return stem;
}

}  // namespace

std::wstring old_product_file(int bits) { return fixture((product_stem(L"2.5.0", bits) + L".exe").c_str()); }
std::wstring new_product_file(int bits) { return fixture((product_stem(L"2.5.1", bits) + L".exe").c_str()); }

std::wstring signed_product_file(const wchar_t* version, const wchar_t* signer, int bits) {
    return build_dir() + L"\\signed\\" + product_stem(version, bits) + L"-" + signer + L".exe";
}

std::wstring signed_updater_file() { return build_dir() + L"\\signed\\ombup-publisher.exe"; }

const wchar_t test_publisher[] = L"CN=OmBry Test Publisher, O=OmBry Test, C=VN";

bool same_content(const std::wstring& file, const std::wstring& model) {
    const std::string expected = read_file(model);
    return !expected.empty() && read_file(file) == expected;
}

install_folder::install_folder(kind_t kind, const std::wstring& suffix, const std::wstring& updater) {
    const std::wstring updater_file = updater.empty() ? test_program_dir() + L"\\install_driver.exe" : updater;
    updater_name_ = updater_file.substr(updater_file.find_last_of(L'\\') + 1);
    // Files reach the read-only folder through the writable view of it.
    std::wstring fill;
    if (kind == read_only) {
        fill = work_dir() + L"\\readonly-source\\" + current_test_name() + suffix;
        path_ = work_dir() + L"\\readonly\\" + current_test_name() + suffix;
        make_folders(fill);
    } else {
        fill = path_ = fresh_test_folder(suffix);
    }
    // Fresh also when a test is run again in the same sandbox.
    for (const std::wstring& name : files_in(fill)) DeleteFileW((fill + L"\\" + name).c_str());
    copy_file(updater_file, fill + L"\\" + updater_name_);
    copy_file(old_product_file(), fill + L"\\" + widen_utf8(product_name()) + L".exe");
}

void install_folder::install_product(const std::wstring& file) {
    copy_file(file, product_exe());
    installed_before_ = file;
}

install_folder::~install_folder() { end_processes_running(product_exe()); }

void install_folder::set_product_settings(int windows, const std::string& more_settings) {
    write_file(path_ + L"\\fake_product.cfg", "windows=" + std::to_string(windows) + "\n" + more_settings);
    product_configured_ = true;
}

scoped_handle install_folder::start_product(int windows, const std::string& more_settings) {
    set_product_settings(windows, more_settings);
    scoped_handle product = start_program(L"\"" + product_exe() + L"\"");
    if (!product) {
        ADD_FAILURE() << "cannot start the product, error " << GetLastError();
        return product;
    }
    const DWORD id = GetProcessId(product.get());
    if (!wait_until_windows_change_to([&] { return top_level_windows(L"OmBry_MainWnd", id).size() == static_cast<size_t>(windows); }))
        ADD_FAILURE() << "the product did not open its " << windows << " windows";
    return product;
}

std::vector<std::string> install_folder::product_log() const {
    const std::string text = read_file(path_ + L"\\fake_product.log");
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::wstring> install_folder::expected_files() const {
    std::vector<std::wstring> files{widen_utf8(product_name()) + L".exe", updater_name_};
    if (product_configured_) {
        files.push_back(L"fake_product.cfg");
        files.push_back(L"fake_product.log");
    }
    std::sort(files.begin(), files.end());
    return files;
}

scoped_handle install_folder::start_updater(const std::wstring& arguments) const {
    return start_program(L"\"" + updater_exe() + L"\" " + arguments);
}

int install_folder::run_updater(const std::wstring& arguments) const {
    return run_program(L"\"" + updater_exe() + L"\" " + arguments);
}

std::vector<std::string> product_log_of(const install_folder& folder, size_t lines) {
    if (!wait_until([&] { return folder.product_log().size() >= lines; }))
        ADD_FAILURE() << "the product's log did not reach " << lines << " lines";
    return folder.product_log();
}
