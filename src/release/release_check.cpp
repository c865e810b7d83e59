#include "release/release_check.h"

#include <windows.h>

#include <cstdint>
#include <new>
#include <optional>
#include <string_view>
#include <vector>

#include "common/scoped.h"
#include "formats/pe_image.h"
#include "install/build_checks.h"
#include "install/publisher.h"
#include "install/staged_executable.h"
#include "net/deadline_fetch.h"
#include "net/https.h"
#include "net/transfer_bounds.h"
#include "release_base_url.h"
#include "update/installed_version.h"
#include "update/version_code.h"

namespace {

constexpr int widths[] = {32, 64};

std::wstring exe_name(int bits) { return L"OmBry" + std::to_wstring(bits) + L".exe"; }

// One file of the release as it was had, and its signature as the updater
// judges it: read through the handle of the file checked.
struct release_file_t {
    fetch_facts_t fetch;
    std::vector<char> bytes;
    signature_t signature;
};

bool is_folder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string size_text(std::size_t bytes) {
    if (bytes % (std::size_t{1} << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
    if (bytes % (std::size_t{1} << 10) == 0) return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + " bytes";
}

std::string too_large_version_file() {
    return "larger than the " + size_text(largest_version_file) + " that an updater accepts of a version file";
}

// 0 when it cannot be told.
std::uint64_t file_size(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// No updater could hold a file above largest_download, and the check holds
// every file it reads whole, as the updater holds a download.
bool too_large_to_hold(const std::wstring& path) { return file_size(path) > largest_download; }

// The whole file, read through a handle that keeps writers out while the
// signature is checked through it too.
bool read_held_file(const std::wstring& path, std::vector<char>& bytes, signature_t* signature) {
    const scoped_file file(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<std::uint64_t>(size.QuadPart) > largest_download)
        return false;
    try {
        bytes.assign(static_cast<std::size_t>(size.QuadPart), '\0');
    } catch (const std::bad_alloc&) {
        return false;
    }
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size()))
        return false;
    if (signature != nullptr) *signature = read_signature(path, file.get());
    return true;
}

release_file_t read_from_folder(const std::wstring& folder, const std::wstring& name, bool executable) {
    release_file_t file;
    const std::wstring path = folder + L"\\" + name;
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        file.fetch.problem = "not in the folder";
    } else if (!executable && file_size(path) > largest_version_file) {
        file.fetch.problem = too_large_version_file();
    } else if (!read_held_file(path, file.bytes, executable ? &file.signature : nullptr)) {
        file.fetch.problem = "cannot be read";
    } else {
        file.fetch.had = true;
    }
    return file;
}

std::string winhttp_problem(DWORD error) {
    switch (error) {
        case 12007:  // ERROR_WINHTTP_NAME_NOT_RESOLVED
            return "the host's name cannot be resolved";
        case 12029:  // ERROR_WINHTTP_CANNOT_CONNECT
            return "the host cannot be reached on port 443";
        case 12002:  // ERROR_WINHTTP_TIMEOUT
            return "the host did not answer within 10 s";
        case 12157:  // ERROR_WINHTTP_SECURE_CHANNEL_ERROR
        case 12175:  // ERROR_WINHTTP_SECURE_FAILURE
            return "no TLS connection: the host's certificate is not trusted by this machine, or the host speaks "
                   "neither TLS 1.2 nor 1.3 (WinHTTP error " +
                   std::to_string(error) + ")";
        default:
            return "the request failed (WinHTTP error " + std::to_string(error) + ")";
    }
}

std::string answer_text(const transfer_report_t::answer_t& answer) {
    return std::to_string(answer.status) +
           (answer.has_length ? " with Content-Length " + std::to_string(answer.length) : " without Content-Length");
}

bool success_status(DWORD status) { return status >= 200 && status <= 299; }

// Why a download that the updater would make fails, or what the host said
// when it did not: what the updater itself does not tell.
void describe_transfer(bool complete, const transfer_report_t& report, std::size_t received, fetch_facts_t& fetch) {
    const std::string probe = "the length request was answered " + answer_text(report.probe);
    const std::string body = "the body request was answered " + answer_text(report.body);
    if (!complete) {
        if (report.deadline_passed) {
            fetch.problem = "the fetch did not end within " + std::to_string(version_file_deadline_ms / 1000) +
                            " s, when every updater gives it up";
        } else if (report.no_thread) {
            fetch.problem = "no thread could be started for the fetch";
        } else if (!report.probe.answered) {
            fetch.problem = winhttp_problem(report.error);
        } else if (!report.probe.has_length) {
            fetch.problem = probe;
        } else if (report.too_large) {
            fetch.problem = "the length request announced " + std::to_string(report.probe.length) + " bytes, " +
                            (report.largest_body == largest_version_file
                                 ? too_large_version_file()
                                 : "more than the " + size_text(report.largest_body) + " that an updater can hold");
        } else if (report.out_of_memory) {
            fetch.problem = "no memory to hold the " + std::to_string(report.probe.length) + " bytes announced";
        } else if (report.body.answered && !success_status(report.body.status)) {
            fetch.problem = body;
        } else if (report.marker) {
            fetch.problem = "the host answered with the missing-file marker \"404: not found\"";
        } else if (report.overran) {
            fetch.problem = "the body ran past the " + std::to_string(report.probe.length) +
                            " bytes that the length request announced";
        } else if (report.body.answered && report.body.has_length && received < report.body.length) {
            fetch.problem = "the body ended after " + std::to_string(received) + " of its " +
                            std::to_string(report.body.length) + " bytes";
        } else {
            fetch.problem = "the body request: " + winhttp_problem(report.error);
        }
        return;
    }
    // The updater reads what these answers give; a host should still send
    // both in order.
    if (!success_status(report.probe.status)) {
        fetch.problem = probe;
    } else if (!report.body.has_length) {
        fetch.problem = body + ": a body cut short could not be told from a whole one";
    } else {
        fetch.had = true;
        fetch.how = "fetched as the updater fetches it: both requests answered " + answer_text(report.body) + ", " +
                    std::to_string(received) + " bytes";
    }
}

// The file as the updater downloads it; an executable is then staged on disk
// and its signature checked through the handle held, as the updater does.
release_file_t fetch_from_host(const std::string& folder_address, const std::wstring& name, bool executable) {
    release_file_t file;
    const std::string url = folder_address + utf8(name);
    transfer_report_t report;
    bool complete = false;
    if (executable) {
        data_response_t response;
        complete = download_to_memory(url.c_str(), response, &report);
        file.bytes = std::move(response.data);
    } else {
        complete = fetch_version_file(url.c_str(), file.bytes, &report);
    }
    describe_transfer(complete, report, file.bytes.size(), file.fetch);
    if (!file.fetch.had || !executable) return file;

    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    staged_executable staged;
    const std::wstring base = std::wstring(folder, length > MAX_PATH ? 0 : length) + L"ombup-release-" +
                              std::to_wstring(GetCurrentProcessId());
    // A name that is taken is never taken over: the next one is tried. No
    // temporary folder (its name longer than the buffer): nothing is staged.
    bool written = false;
    for (int attempt = 0; length != 0 && length <= MAX_PATH && attempt < 100 && staged.handle() == INVALID_HANDLE_VALUE;
         ++attempt) {
        std::wstring path = base;
        path += L"-" + std::to_wstring(attempt) + L"-";
        path += name;
        written = staged.write(path, file.bytes);
    }
    if (!written) {
        file.fetch.had = false;
        file.fetch.problem = "fetched, but cannot be staged in the temporary folder for its signature";
        return file;
    }
    file.signature = read_signature(staged.path(), staged.handle());
    return file;
}

// "2027-01-07 10:20:30 UTC"; empty for no time.
std::string utc_text(const FILETIME& time) {
    SYSTEMTIME utc{};
    if ((time.dwLowDateTime == 0 && time.dwHighDateTime == 0) || !FileTimeToSystemTime(&time, &utc)) return {};
    const auto two = [](WORD value) { return std::string(value < 10 ? "0" : "") + std::to_string(value); };
    return std::to_string(utc.wYear) + "-" + two(utc.wMonth) + "-" + two(utc.wDay) + " " + two(utc.wHour) + ":" +
           two(utc.wMinute) + ":" + two(utc.wSecond) + " UTC";
}

signer_facts_t signer_facts(const signature_t& signature) {
    signer_facts_t signer;
    signer.valid = signature.valid();
    signer.result = static_cast<std::uint32_t>(signature.result);
    signer.subject = utf8(subject_text(signature));
    signer.present = signature.signed_at_all();
    signer.timestamped = signature.timestamped;
    signer.not_after = utc_text(signature.not_after);
    return signer;
}

std::optional<std::string> utf8_name(const std::optional<std::wstring>& name) {
    if (!name) return std::nullopt;
    return utf8(*name);
}

int image_width(const std::vector<char>& bytes) {
    for (const int bits : widths)
        if (is_installable_image(bytes, bits)) return bits;
    return 0;
}

compared_t compare_with(const std::wstring& folder, const std::wstring& name, const release_file_t& served) {
    if (folder.empty()) return compared_t::no;
    std::vector<char> expected;
    const bool same = served.fetch.had && read_held_file(folder + L"\\" + name, expected, nullptr) &&
                      expected == served.bytes;
    return same ? compared_t::same : compared_t::differs;
}

// What the report says of one of the release's executables.
build_facts_t describe_build(int bits, const release_file_t& file, const std::wstring& required,
                             const std::wstring& against) {
    build_facts_t build;
    build.bits = bits;
    build.fetch = file.fetch;
    build.size = file.bytes.size();
    build.image_bits = image_width(file.bytes);
    build.has_version = image_file_version(reinterpret_cast<const unsigned char*>(file.bytes.data()),
                                           file.bytes.size(), build.version_ms, build.version_ls);
    build.signer = signer_facts(file.signature);
    build.required_signer =
        publisher_verdict(file.signature, signature_t{}, required.c_str()) == publisher_verdict_t::accepted;
    build.against = compare_with(against, exe_name(bits), file);
    return build;
}

}  // namespace

std::string utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size, nullptr,
                        nullptr);
    return narrow;
}

bool gather_release_facts(const release_arguments_t& arguments, release_facts_t& facts, std::string& problem) {
    facts = release_facts_t{};
    const std::wstring source =
        arguments.source.empty() ? std::wstring(release_base_url, release_base_url + sizeof release_base_url - 1)
                                 : arguments.source;
    const bool from_host = is_address(source);
    if (!from_host && !is_folder(source)) {
        problem = "there is no folder " + utf8(source);
        return false;
    }
    if (!arguments.against.empty() && !is_folder(arguments.against)) {
        problem = "there is no folder " + utf8(arguments.against);
        return false;
    }
    // A file that no updater could hold, this check cannot hold either.
    std::vector<std::wstring> files_read = arguments.previous;
    for (const std::wstring& folder : {from_host ? std::wstring() : source, arguments.against})
        if (!folder.empty())
            for (const wchar_t* name : {L"cversion.txt", L"OmBry32.exe", L"OmBry64.exe"})
                files_read.push_back(folder + L"\\" + name);
    for (const std::wstring& path : files_read)
        if (too_large_to_hold(path)) {
            problem = utf8(path) + " is larger than the " + size_text(largest_download) + " that an updater can hold";
            return false;
        }

    const std::wstring required = arguments.publisher;
    facts.required_publisher = utf8(required);

    // Users' builds first: a wrong one is the caller's mistake, found before
    // anything is fetched.
    std::vector<signature_t> previous_signatures;
    std::vector<std::optional<product_names_t>> previous_names;
    for (const std::wstring& path : arguments.previous) {
        previous_facts_t previous;
        previous.name = utf8(path);
        std::vector<char> bytes;
        signature_t signature;
        if (!read_held_file(path, bytes, &signature)) {
            problem = "the previous build " + previous.name + " cannot be read";
            return false;
        }
        previous.bits = image_width(bytes);
        if (previous.bits == 0) {
            problem = "the previous build " + previous.name + " is not a whole Windows executable";
            return false;
        }
        // As the updater reads the installed build on its automatic path.
        previous.version = file_version_code(path);
        previous_names.push_back(file_product_names(path));
        previous.signer = signer_facts(signature);
        facts.previous.push_back(previous);
        previous_signatures.push_back(signature);
    }

    const auto release_file = [&](const std::wstring& name, bool executable) {
        return from_host ? fetch_from_host(utf8(source), name, executable)
                         : read_from_folder(source, name, executable);
    };
    const release_file_t version_file = release_file(L"cversion.txt", false);
    facts.version_file = version_file.fetch;
    facts.version_file_bytes.assign(version_file.bytes.begin(), version_file.bytes.end());
    facts.announced =
        version_file_value(std::string_view(version_file.bytes.data(), version_file.bytes.size()));
    facts.version_file_against = compare_with(arguments.against, L"cversion.txt", version_file);

    release_file_t builds[2];
    for (std::size_t i = 0; i < 2; ++i) {
        builds[i] = release_file(exe_name(widths[i]), true);
        facts.builds[i] = describe_build(widths[i], builds[i], required, arguments.against);
    }
    // Signed by the same subject: either build would let the other in (the
    // verdict against a valid signature asks the first for the same one).
    if (builds[0].signature.valid() || builds[1].signature.valid())
        facts.same_signer = builds[1].signature.valid() &&
                                    publisher_verdict(builds[0].signature, builds[1].signature, nullptr) ==
                                        publisher_verdict_t::accepted
                                ? 1
                                : 0;

    // The updater's own judgement, for the users of each previous build and
    // for those of any build of a width that no previous build names.
    for (std::size_t i = 0; i < 2; ++i) {
        product_names_t names;
        image_product_names(reinterpret_cast<const unsigned char*>(builds[i].bytes.data()), builds[i].bytes.size(),
                            names);
        const auto judge = [&](int previous, const signature_t& installed,
                               const std::optional<product_names_t>& installed_names) {
            verdict_facts_t verdict;
            verdict.bits = widths[i];
            verdict.previous = previous;
            verdict.refusal = check_downloaded_build(builds[i].bytes, widths[i], facts.announced, builds[i].signature,
                                                     installed, required.c_str(), installed_names);
            verdict.publisher = publisher_verdict(builds[i].signature, installed, required.c_str());
            if (installed_names)
                for (const std::size_t key : product_name_differences(names, *installed_names))
                    verdict.names.push_back({product_name_keys[key], utf8_name(names.values[key]),
                                             utf8_name(installed_names->values[key])});
            facts.verdicts.push_back(verdict);
        };
        bool judged = false;
        for (std::size_t p = 0; p < facts.previous.size(); ++p) {
            if (facts.previous[p].bits != widths[i]) continue;
            judge(static_cast<int>(p), previous_signatures[p], previous_names[p]);
            judged = true;
        }
        if (!judged) judge(-1, signature_t{}, std::nullopt);
    }
    return true;
}
