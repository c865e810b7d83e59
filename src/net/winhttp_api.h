#pragma once
// The WinHTTP functions that the updater calls, from the system folder's
// winhttp.dll (see common/system_library.h).
#include <windows.h>
#include <winhttp.h>

struct winhttp_api_t {
    decltype(&::WinHttpCloseHandle) WinHttpCloseHandle;
    decltype(&::WinHttpConnect) WinHttpConnect;
    decltype(&::WinHttpCrackUrl) WinHttpCrackUrl;
    decltype(&::WinHttpOpen) WinHttpOpen;
    decltype(&::WinHttpOpenRequest) WinHttpOpenRequest;
    decltype(&::WinHttpQueryDataAvailable) WinHttpQueryDataAvailable;
    decltype(&::WinHttpQueryHeaders) WinHttpQueryHeaders;
    decltype(&::WinHttpReadData) WinHttpReadData;
    decltype(&::WinHttpReceiveResponse) WinHttpReceiveResponse;
    decltype(&::WinHttpSendRequest) WinHttpSendRequest;
    decltype(&::WinHttpSetOption) WinHttpSetOption;
    decltype(&::WinHttpSetTimeouts) WinHttpSetTimeouts;
};

// Bound at the first call, from whichever thread makes it; null when WinHTTP
// or one of the functions is missing. A WinHTTP handle exists only where the
// table does.
const winhttp_api_t* winhttp_api();
