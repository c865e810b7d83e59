#include "update/check_for_update.h"

#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "net/deadline_fetch.h"
#include "release_base_url.h"
#include "update/launch_options.h"
#include "update/version_code.h"

int check_for_update(const wchar_t* command_line, version_code& latest_version, int& bits, bool& p_flag,
                     bool& silent) {
    version_code installed_version = 0;
    if (!parse_launch_options(command_line, bits, installed_version, p_flag, silent))
        return RESULT_INVALID_ARGUMENTS;

    std::vector<char> bytes;
    try {
        const std::string url = std::string(release_base_url) + "cversion.txt";
        if (!fetch_version_file(url.c_str(), bytes)) return RESULT_CONNECTION_ERROR;
    } catch (const std::bad_alloc&) {
        return RESULT_CONNECTION_ERROR;
    }

    const version_code latest = version_file_value(std::string_view(bytes.data(), bytes.size()));
    latest_version = latest;
    return latest > installed_version ? latest : RESULT_UP_TO_DATE;
}
