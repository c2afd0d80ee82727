#include "run_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "provider_process.h"

extern char** environ;

namespace testsupport {

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         const std::string& input, int timeoutMs, const std::function<void(int)>& whileRunning) {
    // Standard streams go through files, so a chatty program never blocks.
    const std::string dir = MakeTempDir("vantlo-run-");
    std::ofstream(dir + "/in", std::ios::binary) << input;
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, (dir + "/in").c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, (dir + "/out").c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addopen(&files, 2, (dir + "/err").c_str(), O_WRONLY | O_CREAT, 0600);
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        bool replaced = false;
        for (const std::string& extra : env) replaced |= entry.rfind(extra.substr(0, extra.find('=')) + "=", 0) == 0;
        if (!replaced) environment.push_back(entry);
    }
    for (const std::string& extra : env)
        if (extra.find('=') != std::string::npos) environment.push_back(extra);
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
    args.push_back(nullptr);
    envp.push_back(nullptr);
    ProcessResult result;
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &files, nullptr, args.data(), envp.data()) == 0) {
        if (whileRunning) whileRunning(pid);
        int status = 0;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    }
    posix_spawn_file_actions_destroy(&files);
    result.out = ReadWholeFile(dir + "/out");
    result.err = ReadWholeFile(dir + "/err");
    RemoveTree(dir);
    return result;
}

}  // namespace testsupport
