#pragma once
// Move-only owners for Win32 handles, so that every path releases what it
// took, and releases in reverse order of declaration.
//
// A traits type names the handle type, its "none" value and how to release:
//   struct internet_traits {
//       using handle_type = HINTERNET;
//       static handle_type none() { return nullptr; }
//       static void release(handle_type h) { WinHttpCloseHandle(h); }
//   };
//   using scoped_internet = scoped<internet_traits>;
#include <windows.h>

template <class Traits>
class scoped {
public:
    using handle_type = typename Traits::handle_type;

    scoped() = default;
    explicit scoped(handle_type handle) : handle_(handle) {}
    ~scoped() { reset(); }

    scoped(scoped&& other) noexcept : handle_(other.release()) {}
    scoped& operator=(scoped&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    scoped(const scoped&) = delete;
    scoped& operator=(const scoped&) = delete;

    handle_type get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::none(); }

    handle_type release() {
        const handle_type handle = handle_;
        handle_ = Traits::none();
        return handle;
    }

    void reset(handle_type handle = Traits::none()) {
        if (handle_ != Traits::none()) Traits::release(handle_);
        handle_ = handle;
    }

private:
    handle_type handle_ = Traits::none();
};

// Kernel objects whose "none" is null (processes, threads, events, mappings).
struct kernel_handle_traits {
    using handle_type = HANDLE;
    static handle_type none() { return nullptr; }
    static void release(handle_type handle) { CloseHandle(handle); }
};
using scoped_handle = scoped<kernel_handle_traits>;

// Files from CreateFileW, whose "none" is INVALID_HANDLE_VALUE.
struct file_handle_traits {
    using handle_type = HANDLE;
    static handle_type none() { return INVALID_HANDLE_VALUE; }
    static void release(handle_type handle) { CloseHandle(handle); }
};
using scoped_file = scoped<file_handle_traits>;

// Pens, brushes, bitmaps.
struct gdi_object_traits {
    using handle_type = HGDIOBJ;
    static handle_type none() { return nullptr; }
    static void release(handle_type handle) { DeleteObject(handle); }
};
using scoped_gdi_object = scoped<gdi_object_traits>;

// Device contexts from CreateCompatibleDC.
struct memory_dc_traits {
    using handle_type = HDC;
    static handle_type none() { return nullptr; }
    static void release(handle_type handle) { DeleteDC(handle); }
};
using scoped_memory_dc = scoped<memory_dc_traits>;

// A window's client-area DC from GetDC, given back with ReleaseDC.
class window_dc {
public:
    explicit window_dc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~window_dc() {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
    }
    window_dc(const window_dc&) = delete;
    window_dc& operator=(const window_dc&) = delete;

    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// Selects a pen, brush or bitmap into a DC and puts the previous one back, so
// that the object is no longer selected when its owner deletes it. (For these
// kinds SelectObject fails with null; only regions answer HGDI_ERROR.)
class object_selection {
public:
    object_selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~object_selection() {
        if (previous_ != nullptr) SelectObject(dc_, previous_);
    }
    object_selection(const object_selection&) = delete;
    object_selection& operator=(const object_selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};
