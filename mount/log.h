// One line about what went wrong, where the user can find it: standard
// error in the foreground, the system log once the mount runs detached.
#pragma once

#include <string>

namespace mount {

void LogToSystem(bool on);
void Log(const std::string& line);

}  // namespace mount
