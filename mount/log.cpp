#include "mount/log.h"

#include <syslog.h>

#include <atomic>
#include <cstdio>

namespace mount {
namespace {
std::atomic<bool> toSystem{false};
}

void LogToSystem(bool on) {
    if (on) ::openlog("vantlo-mount", LOG_PID, LOG_USER);
    toSystem = on;
}

void Log(const std::string& line) {
    if (toSystem)
        ::syslog(LOG_WARNING, "%s", line.c_str());
    else
        std::fprintf(stderr, "vantlo-mount: %s\n", line.c_str());
}

}  // namespace mount
