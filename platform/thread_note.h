// A short text one thread leaves for itself: the reason the last connect or
// TLS start on this thread failed, read back by whoever reports the failure.
//
// Kept in a fixed buffer on purpose: a thread_local std::string has a
// destructor, and with mingw-w64's emulated TLS that destructor may run
// after the thread's TLS block was freed, so a worker thread ending could
// free a stale pointer (seen as a crash in thread exit under Wine). A
// trivially destructible buffer has nothing to run at thread exit.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

class ThreadNote {
public:
    static constexpr std::size_t kRoom = 400;

    // Keeps the text, cut at kRoom bytes on a UTF-8 character boundary.
    void Set(const std::string& text) {
        std::size_t length = text.size() < kRoom ? text.size() : kRoom;
        while (length > 0 && length < text.size() && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
            --length;
        text.copy(text_, length);
        length_ = length;
    }
    void Clear() { length_ = 0; }
    std::string Text() const { return std::string(text_, length_); }
    bool Empty() const { return length_ == 0; }

private:
    char text_[kRoom] = {};
    std::size_t length_ = 0;
};

}  // namespace platform
