// The owners of the desktop program's USER and GDI handles, in one place:
// each releases its handle on every path and cannot be copied (a copy would
// release twice). Worker threads are std::threads and need none of these.
#pragma once

#ifndef _WIN32
#error "win_handles.h is for the Windows user interface only"
#endif

#include <windows.h>

#include <utility>

namespace ui {

// A pen, brush, font, bitmap or region (DeleteObject).
template <typename Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : handle_(handle) {}
    ~GdiObject() { Reset(); }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    GdiObject& operator=(GdiObject&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.handle_, nullptr));
        return *this;
    }

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    // Gives the handle away (to SetWindowRgn, which then owns it).
    Handle Release() { return std::exchange(handle_, nullptr); }
    void Reset(Handle handle = nullptr) {
        if (handle_) DeleteObject(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = nullptr;
};

// Selects an object into a device context and puts the previous one back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (previous_) SelectObject(dc_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// BeginPaint / EndPaint.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
    ~PaintScope() { EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC Dc() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_ = nullptr;
};

// A window's device context (GetDC / ReleaseDC).
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// A popup menu (DestroyMenu, which destroys its submenus too). Built by one
// function and shown by another, so it can be moved.
class Menu {
public:
    Menu() = default;
    explicit Menu(HMENU handle) : handle_(handle) {}
    static Menu Popup() { return Menu(CreatePopupMenu()); }
    ~Menu() { Reset(); }
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;
    Menu(Menu&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Menu& operator=(Menu&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    HMENU Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    // Gives the menu away (to a parent menu that takes it as a submenu).
    HMENU Release() { return std::exchange(handle_, nullptr); }

private:
    void Reset() {
        if (handle_) DestroyMenu(handle_);
        handle_ = nullptr;
    }
    HMENU handle_ = nullptr;
};

}  // namespace ui
