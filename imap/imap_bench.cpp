// Puts a file into an IMAP mailbox through the catalog in parts and gets it
// back (verified), printing the throughput of each and the peak memory of
// the process, for scripts/bench.sh.
// Usage: vantlo-imap-bench URL CA_FILE FILE [PART_SIZE]
//        (account and password from VANTLO_IMAP_ACCOUNT, VANTLO_PASSWORD)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include <sys/resource.h>

#include "catalog/catalog.h"
#include "imap/imap_store.h"

namespace {

// The process's peak resident memory since it started or since the last
// ResetPeak (the kernel's high-water mark: unlike getrusage, it does not
// carry over the parent's from before exec).
double PeakMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmHWM:") == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    return -1;
}

// Seconds of CPU the process has used, on every thread, user and system.
double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

int Fail(const char* what, const catalog::Outcome& outcome) {
    std::fprintf(stderr, "vantlo-imap-bench: %s: %s\n", what, outcome.Text().c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: vantlo-imap-bench URL CA_FILE FILE [PART_SIZE]\n");
        return 2;
    }
    const char* account = std::getenv("VANTLO_IMAP_ACCOUNT");
    const char* password = std::getenv("VANTLO_PASSWORD");
    const std::filesystem::path file = argv[3];
    catalog::PutOptions options;
    if (argc > 4) options.partSize = std::strtoull(argv[4], nullptr, 10);

    std::unique_ptr<catalog::MailStore> store;
    catalog::Outcome outcome =
        imap::OpenStore(argv[1], account ? account : "", password ? password : "", argv[2], {}, store);
    std::string folder;
    if (outcome.Ok()) outcome = store->CreateFolder({}, "Bench " + std::to_string(std::time(nullptr)), folder);
    if (!outcome.Ok()) return Fail("sign-in", outcome);

    using Clock = std::chrono::steady_clock;
    const double mib = static_cast<double>(std::filesystem::file_size(file)) / 1048576.0;
    auto started = Clock::now();
    double cpu = CpuSeconds();
    catalog::PutResult put;
    if (!(outcome = catalog::PutFile(*store, file, folder, options, put)).Ok()) return Fail("put", outcome);
    const double putMs = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    const double putPeak = PeakMiB(), putCpu = CpuSeconds() - cpu;

    std::filesystem::path back = file;
    back += ".back";
    ResetPeak();
    started = Clock::now();
    cpu = CpuSeconds();
    if (!(outcome = catalog::GetFile(*store, put.key, back)).Ok()) return Fail("get", outcome);
    const double getMs = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    const double getCpu = CpuSeconds() - cpu;
    std::filesystem::remove(back);

    std::printf("put %.0f MiB in %u parts (MiB/s, ms)   %8.1f (%.0f)\n", mib, put.parts, mib / (putMs / 1000), putMs);
    std::printf("get %.0f MiB, verified (MiB/s, ms)     %8.1f (%.0f)\n", mib, mib / (getMs / 1000), getMs);
    std::printf("client CPU, put / get (s)               %5.2f / %.2f\n", putCpu, getCpu);
    std::printf("peak memory, put / get (MiB)            %5.1f / %.1f\n", putPeak, PeakMiB());
    return 0;
}
