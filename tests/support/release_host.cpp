#include "release_host.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "test_env.h"

namespace {

}  // namespace

std::wstring served_file(const std::string& path) {
    std::wstring file = www_dir() + widen_utf8(path);
    for (wchar_t& c : file)
        if (c == L'/') c = L'\\';
    return file;
}

namespace {

// The log holds flat JSON objects; this reads the one field asked for.
std::string json_field(const std::string& line, const std::string& name) {
    const std::regex field("\"" + name + "\": (\"((?:[^\"\\\\]|\\\\.)*)\"|[^,}]*)");
    std::smatch match;
    if (!std::regex_search(line, match, field)) return std::string();
    return match[2].matched ? match[2].str() : match[1].str();
}

}  // namespace

std::string test_path(const std::string& name) {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string test = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : test)
        if (c == '/') c = '_';
    // The process id keeps a rerun of the same test apart from the last one.
    return "/t/" + test + "-" + std::to_string(GetCurrentProcessId()) + "/" + name;
}

std::string host_url(const std::string& path) { return "https://localhost" + path; }

void serve(const std::string& path, const std::string& bytes, const std::string& sidecar_json) {
    const std::wstring file = served_file(path);
    make_folders(file.substr(0, file.find_last_of(L'\\')));
    write_file(file, bytes);
    if (sidecar_json.empty()) {
        DeleteFileW((file + L".host.json").c_str());
    } else {
        write_file(file + L".host.json", sidecar_json);
    }
}

void release_held_body(const std::string& path) { write_file(served_file(path), ""); }

void unserve(const std::string& path) {
    const std::wstring file = served_file(path);
    DeleteFileW(file.c_str());
    DeleteFileW((file + L".host.json").c_str());
}

std::vector<host_request> requests_to(const std::string& path) {
    std::vector<host_request> requests;
    std::istringstream log(read_file(www_dir() + L"\\_requests.log"));
    for (std::string line; std::getline(log, line);) {
        if (json_field(line, "path") != path) continue;
        host_request request;
        request.method = json_field(line, "method");
        request.path = json_field(line, "path");
        request.user_agent = json_field(line, "user_agent");
        request.accept = json_field(line, "accept");
        request.host = json_field(line, "host");
        request.has_body = json_field(line, "has_body") == "true";
        request.tls = json_field(line, "tls") == "true";
        request.port = std::atoi(json_field(line, "port").c_str());
        request.index = std::atoi(json_field(line, "index").c_str());
        requests.push_back(request);
    }
    return requests;
}

std::string patterned_bytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + seed) % 251);
    return bytes;
}
