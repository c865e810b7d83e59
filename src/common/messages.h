#pragma once
// Window messages shared by the updater, its download worker and the product.

// From a download to its window: wParam the announced size, lParam the bytes
// so far; at the end 100/100 for success, -1/0 for failure.
constexpr unsigned UM_DOWNLOAD_PROGRESS = 0x0400 + 1000;  // WM_USER + 1000

// Asks the receiving window to close at once when wParam is CLOSE_REQUEST_CODE.
constexpr unsigned UM_CLOSE_REQUEST = 0x0400 + 2;  // WM_USER + 2
constexpr unsigned CLOSE_REQUEST_CODE = 1000;
