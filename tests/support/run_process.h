// Runs a program to its end with a bounded wait, feeding standard input and
// collecting standard output, standard error and the exit status.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace testsupport {

struct ProcessResult {
    int exitCode = -1;  // -1 when it did not end within the bound (it is killed)
    std::string out;
    std::string err;
};

// env: "NAME=value" entries added to (or replacing in) the environment;
// "NAME" alone takes NAME out of it.
// whileRunning (given the process id) runs once the program has started.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                         const std::string& input = "", int timeoutMs = 60000,
                         const std::function<void(int)>& whileRunning = {});

}  // namespace testsupport
