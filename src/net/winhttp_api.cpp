#include "net/winhttp_api.h"

#include "common/system_library.h"

const winhttp_api_t* winhttp_api() {
    static const std::optional<winhttp_api_t> api = [] {
        // WinHTTP loads crypt32 by its bare name when it first checks a
        // server's certificate, and not every loader then keeps to the system
        // folder (Windows 7 without the search flags, Wine); a DLL already
        // loaded under that name is used instead, so it is the system's.
        load_system_library(L"crypt32.dll");
        return bind_system_table<winhttp_api_t>(L"winhttp.dll", [](HMODULE module, winhttp_api_t& table) {
            return BIND_SYSTEM_FUNCTION(module, table, WinHttpCloseHandle) &&
                   BIND_SYSTEM_FUNCTION(module, table, WinHttpConnect) &&
                   BIND_SYSTEM_FUNCTION(module, table, WinHttpCrackUrl) &&
                   BIND_SYSTEM_FUNCTION(module, table, WinHttpOpen) &&
                   BIND_SYSTEM_FUNCTION(module, table, WinHttpOpenRequest) &&
                   BIND_SYSTEM_FUNCTION(module, table, WinHttpQueryDataAvailable) &&
                   BIND_SYSTEM_FUNCTION(module, table, WinHttpQueryHeaders) &&
                   BIND_SYSTEM_FUNCTION(module, table, WinHttpReadData) &&
                   BIND_SYSTEM_FUNCTION(module, table, WinHttpReceiveResponse) &&
                   BIND_SYSTEM_FUNCTION(module, table, WinHttpSendRequest) &&
                   BIND_SYSTEM_FUNCTION(module, table, WinHttpSetOption) &&
                   BIND_SYSTEM_FUNCTION(module, table, WinHttpSetTimeouts);
        });
    }();
    return api ? &*api : nullptr;
}
