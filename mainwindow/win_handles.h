// Owners that the main window and its panes add to those of
// signin/gdi_owners.h: a popup menu that can be built by one function and
// shown by another, and a critical section. Neither can be copied.
#pragma once

#include <windows.h>

#include <utility>

namespace mainwindow {

// A popup menu; DestroyMenu on release (which destroys its submenus too).
class Menu {
public:
    Menu() = default;
    explicit Menu(HMENU handle) : handle_(handle) {}
    ~Menu() {
        if (handle_) DestroyMenu(handle_);
    }
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;
    Menu(Menu&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Menu& operator=(Menu&& other) noexcept {
        if (this != &other) {
            if (handle_) DestroyMenu(handle_);
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    HMENU Get() const { return handle_; }

private:
    HMENU handle_ = nullptr;
};

// A critical section set up before the program's entry point runs (as a
// global) and deleted at process exit.
class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    ~CriticalSection() { DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void Enter() { EnterCriticalSection(&section_); }
    void Leave() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

// Holds a critical section for the length of a scope.
class SectionLock {
public:
    explicit SectionLock(CriticalSection& section) : section_(section) { section_.Enter(); }
    ~SectionLock() { section_.Leave(); }
    SectionLock(const SectionLock&) = delete;
    SectionLock& operator=(const SectionLock&) = delete;

private:
    CriticalSection& section_;
};

}  // namespace mainwindow
