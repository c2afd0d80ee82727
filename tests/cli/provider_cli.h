// vantlo-cli run as a process against a vantlo-provider of the test's own
// (demo account, data and request log in the test's scratch directory):
// what the command-line tests share. A run can be killed (SIGKILL) once the
// provider has seen a given number of requests more, and the provider's
// index edited while it is stopped, as a stranger with its disk would.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../catalog/scratch_files.h"
#include "provider_process.h"
#include "run_process.h"

namespace clitest {

namespace fs = std::filesystem;
using testsupport::ProcessResult;
using testsupport::ReadFile;
using testsupport::WriteFile;

class ProviderCli : public ::testing::Test {
protected:
    // Unique to this run: another work tree may run the same test meanwhile.
    const fs::path dir = testsupport::MakeTempDir("vantlo-cli-"), data = dir / "data", log = dir / "provider.log";
    std::vector<std::string> providerArgs;  // besides the log
    std::unique_ptr<testsupport::ProviderProcess> provider = StartProvider();
    // The environment of every run; a test may add to it or change it.
    std::vector<std::string> env = {"VANTLO_PROVIDER=", "VANTLO_PASSWORD=vantlo-demo",
                                    "XDG_CACHE_HOME=" + (dir / "cache").string()};

    ~ProviderCli() override {
        provider.reset();
        testsupport::RemoveTree(dir.string());
    }
    std::unique_ptr<testsupport::ProviderProcess> StartProvider() {
        std::vector<std::string> args = providerArgs;
        args.insert(args.end(), {"--log", log.string()});
        return std::make_unique<testsupport::ProviderProcess>(std::vector<std::string>{}, args, data.string());
    }
    // Lines of the provider's log from byte `from` on that hold `what`.
    int Logged(const std::string& what, std::streamoff from = 0) {
        std::ifstream in(log);
        in.seekg(from);
        int n = 0;
        for (std::string line; std::getline(in, line);) n += line.find(what) != std::string::npos;
        return n;
    }
    // With killAt > 0: killed once the provider has seen that many more requests.
    ProcessResult Run(std::vector<std::string> args, int killAt = 0, const std::string& input = "") {
        args.insert(args.begin(),
                    {VANTLO_CLI_EXE, "--provider", provider->HostPort(), "--account", "demo@163.example"});
        std::error_code error;
        const auto base = static_cast<std::streamoff>(fs::file_size(log, error));
        return testsupport::RunProcess(args, env, input, 120000, [&](int pid) {
            for (int waited = 0; killAt > 0 && waited < 60000; waited += 2) {
                if (Logged(" head ", base) >= killAt) return (void)::kill(pid, SIGKILL);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    }
    fs::path Write(const std::string& name, const std::string& bytes) {
        return testsupport::WriteFile(dir / name, bytes);
    }
    fs::path AccountFile(const std::string& name) { return data / "accounts" / "demo@163.example" / name; }
    // The provider keeps its index in memory: stopped, the index rewritten
    // by `edit` (and whatever else it does to the disk), started again.
    void EditIndex(const std::function<std::string(std::string)>& edit) {
        provider.reset();
        const std::string text = edit(ReadFile(AccountFile("index.txt")));
        std::ofstream(AccountFile("index.txt"), std::ios::binary | std::ios::trunc) << text;
        provider = StartProvider();
    }
};

}  // namespace clitest
