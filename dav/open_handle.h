// A backend handle that is released on every path out of a method.
#pragma once

#include "dav/backend.h"

namespace dav {

// A handle closed on every path.
class OpenHandle {
public:
    explicit OpenHandle(Backend& backend) : backend_(backend) {}
    ~OpenHandle() {
        if (open_) backend_.Release(handle_);
    }
    std::uint64_t& Set() {
        open_ = true;
        return handle_;
    }
    void Abandon() { open_ = false; }
    Status Release() {
        open_ = false;
        return backend_.Release(handle_);
    }
    std::uint64_t Get() const { return handle_; }

private:
    Backend& backend_;
    std::uint64_t handle_ = 0;
    bool open_ = false;
};

}  // namespace dav
