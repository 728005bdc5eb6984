#pragma once

#include <windows.h>

#include <utility>

// Move-only owners of the kernel, GDI and icon handles the program creates.
template <typename Handle, auto Release, Handle Empty = Handle{}>
class UniqueAny {
public:
    UniqueAny() = default;
    explicit UniqueAny(Handle handle) : handle_(handle) {}
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : handle_(std::exchange(other.handle_, Empty)) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        reset(std::exchange(other.handle_, Empty));
        return *this;
    }
    ~UniqueAny() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Empty; }
    void reset(Handle handle = Empty) {
        if (handle_ != Empty) Release(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = Empty;
};

using UniqueHandle = UniqueAny<HANDLE, &::CloseHandle>;
using UniqueFont = UniqueAny<HFONT, &::DeleteObject>;
using UniqueIcon = UniqueAny<HICON, &::DestroyIcon>;

// A window's (or, for null, the screen's) device context from GetDC, released with
// ReleaseDC; puts back the font it was given, if any.
class WindowDC {
public:
    WindowDC(HWND window, HFONT font)
        : window_(window),
          dc_(GetDC(window)),
          oldFont_(font != nullptr ? SelectObject(dc_, font) : nullptr) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() {
        if (oldFont_ != nullptr) SelectObject(dc_, oldFont_);
        ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
    HGDIOBJ oldFont_;
};
