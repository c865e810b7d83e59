#pragma once
// A folder laid out like an installation: an updater (ombup.exe, or a test
// program in its place) and, beside it, the product of the system's width
// (OmBry64.exe on a 64-bit Windows, under WOW64 too, OmBry32.exe on a 32-bit
// one: the fake product at 2.5.0) with its settings file and log. Any product
// still running from it is ended when the folder object goes.
#include <windows.h>

#include <string>
#include <vector>

#include "test_env.h"

// The width of the product that the tests install and run: the system's, as
// users have it. So under WOW64 the 32-bit updater meets OmBry64, running as
// a 64-bit process.
int product_bits();
int other_bits();

// "OmBry64" or "OmBry32": the product's name for that width.
std::string product_name(int bits = product_bits());

// The fake product at 2.5.0 and at 2.5.1, built for that width.
std::wstring old_product_file(int bits = product_bits());
std::wstring new_product_file(int bits = product_bits());
// The fake product at that version, of that width, signed for this run
// (tests/harness/sign-fixtures): signer "publisher", "renewed" (the same
// subject, another certificate) or "impostor" (the same common name, another
// organisation).
std::wstring signed_product_file(const wchar_t* version, const wchar_t* signer, int bits = product_bits());
// The updater under test signed by "publisher": another program of the
// product's publisher, with version 4.0.0.1 (400) and its own names.
std::wstring signed_updater_file();
// The subject of "publisher" and "renewed", as Windows shows it.
extern const wchar_t test_publisher[];

// Byte for byte; without printing megabytes of bytes when not.
bool same_content(const std::wstring& file, const std::wstring& model);

class install_folder {
public:
    enum kind_t { writable, read_only };
    // updater: the program to copy in as the updater, by its full path.
    explicit install_folder(kind_t kind = writable, const std::wstring& suffix = L"",
                            const std::wstring& updater = L"");
    ~install_folder();
    install_folder(const install_folder&) = delete;
    install_folder& operator=(const install_folder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring product_exe() const { return path_ + L"\\" + widen_utf8(product_name()) + L".exe"; }
    std::wstring updater_exe() const { return path_ + L"\\" + updater_name_; }

    // Puts another build in place of the installed product.
    void install_product(const std::wstring& file);
    // The file that the installed product was made from (the fake product at 2.5.0 unless replaced).
    const std::wstring& installed_before() const { return installed_before_; }

    // Writes fake_product.cfg: the settings that the product, and the product
    // that the updater restarts, reads at its start.
    void set_product_settings(int windows, const std::string& more_settings = "");

    // Starts the product with these settings and returns once its windows
    // are open.
    scoped_handle start_product(int windows, const std::string& more_settings = "");

    // The lines of fake_product.log so far.
    std::vector<std::string> product_log() const;

    // The updater with these arguments, started or run to its end.
    scoped_handle start_updater(const std::wstring& arguments) const;
    int run_updater(const std::wstring& arguments) const;

    // The folder's files, if only the installation changed them: the updater,
    // the product and, once the product's settings were written, its settings
    // and log.
    std::vector<std::wstring> expected_files() const;

private:
    std::wstring path_;
    std::wstring updater_name_;
    std::wstring installed_before_ = old_product_file();
    bool product_configured_ = false;
};

// The product's log once it has that many lines (the restarted product
// writes in its own time); fails the test when it does not get there.
std::vector<std::string> product_log_of(const install_folder& folder, size_t lines);
