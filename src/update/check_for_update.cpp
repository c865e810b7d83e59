#include "update/check_for_update.h"

#include <string>
#include <string_view>

#include "net/https.h"
#include "release_base_url.h"
#include "update/launch_options.h"
#include "update/version_code.h"

int check_for_update(const wchar_t* command_line, version_code& latest_version, int& bits, bool& p_flag,
                     bool& silent) {
    version_code installed_version = 0;
    if (!parse_launch_options(command_line, bits, installed_version, p_flag, silent))
        return RESULT_INVALID_ARGUMENTS;

    const std::string url = std::string(release_base_url) + "cversion.txt";
    data_response_t response;
    if (!download_to_memory(url.c_str(), response)) return RESULT_CONNECTION_ERROR;

    const version_code latest = version_file_value(std::string_view(response.data.data(), response.data.size()));
    latest_version = latest;
    return latest > installed_version ? latest : RESULT_UP_TO_DATE;
}
