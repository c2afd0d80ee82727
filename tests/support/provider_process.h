// Runs a real vantlo-provider on an ephemeral loopback port for the length
// of a test, with its own data directory. With "--tls" among the extra
// arguments it serves TLS: Address() is then "https://127.0.0.1:PORT" and
// CaFile() the CA it made. Making that CA and its RSA keys takes a second,
// so it is made once per test program and copied into each data directory.
#pragma once

#include <sys/types.h>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

class ProviderProcess {
public:
    // accounts: "address:password" texts; none gives the demo account.
    explicit ProviderProcess(std::vector<std::string> accounts = {}, std::vector<std::string> extraArgs = {},
                             std::string dataDir = "");
    ~ProviderProcess();
    ProviderProcess(const ProviderProcess&) = delete;
    ProviderProcess& operator=(const ProviderProcess&) = delete;

    bool Running() const { return pid_ > 0 && port_ != 0; }
    std::uint16_t Port() const { return port_; }
    std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }
    // What --provider takes: HostPort(), with https:// when serving TLS.
    std::string Address() const { return (caFile_.empty() ? "" : "https://") + HostPort(); }
    const std::string& CaFile() const { return caFile_; }
    const std::string& DataDir() const { return dataDir_; }
    // Stops the process (SIGTERM, then SIGKILL after a bound); idempotent.
    void Stop();

private:
    pid_t pid_ = -1;
    std::uint16_t port_ = 0;
    std::string dataDir_;
    std::string caFile_;
    bool ownsDataDir_ = false;
};

// Path of the built vantlo-provider (set by CMake).
const char* ProviderExecutable();

// A fresh empty directory under the system's temporary directory.
std::string MakeTempDir(const std::string& prefix);
void RemoveTree(const std::string& path);
// Every byte of a file; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);
// Bytes of every value in no simple order, the same for the same seed.
std::string NoiseBytes(std::size_t size, unsigned seed);

}  // namespace testsupport
