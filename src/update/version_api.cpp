#include "update/version_api.h"

#include "common/system_library.h"

const version_api_t* version_api() {
    static const std::optional<version_api_t> api =
        bind_system_table<version_api_t>(L"version.dll", [](HMODULE module, version_api_t& table) {
            return BIND_SYSTEM_FUNCTION(module, table, GetFileVersionInfoSizeW) &&
                   BIND_SYSTEM_FUNCTION(module, table, GetFileVersionInfoW) &&
                   BIND_SYSTEM_FUNCTION(module, table, VerQueryValueW);
        });
    return api ? &*api : nullptr;
}
