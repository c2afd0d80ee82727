#include "mount/log.h"

#ifndef _WIN32
#include <syslog.h>
#endif

#include <atomic>
#include <cstdio>

namespace mount {
namespace {
std::atomic<bool> toSystem{false};
}

// Windows has no system log a detached drive could reach this way: there
// the lines go to standard error.
void LogToSystem(bool on) {
#ifndef _WIN32
    if (on) ::openlog("vantlo-mount", LOG_PID, LOG_USER);
    toSystem = on;
#else
    (void)on;
#endif
}

void Log(const std::string& line) {
#ifndef _WIN32
    if (toSystem) {
        ::syslog(LOG_WARNING, "%s", line.c_str());
        return;
    }
#endif
    std::fprintf(stderr, "vantlo-mount: %s\n", line.c_str());
}

}  // namespace mount
