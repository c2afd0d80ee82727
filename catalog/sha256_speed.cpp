// Prints how fast each SHA-256 engine digests on this machine, in MiB/s,
// over data in the 1 MiB pieces the transfers use: per second of processor
// time (what the digest costs; on Linux) and per second of wall time (what
// it took on a machine that may be busy).
// Usage: vantlo-sha256-speed [MiB]   (default 512)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "catalog/sha256.h"

int main(int argc, char** argv) {
    using catalog::Sha256;
    const long mebibytes = argc > 1 ? std::atol(argv[1]) : 512;
    if (mebibytes <= 0) {
        std::fprintf(stderr, "usage: vantlo-sha256-speed [MiB]\n");
        return 2;
    }
    std::vector<unsigned char> piece(1 << 20);
    unsigned state = 12345;
    for (unsigned char& byte : piece) byte = static_cast<unsigned char>((state = state * 1103515245 + 12345) >> 16);

    const Sha256::Engine engines[] = {Sha256::Engine::Portable, Sha256::Engine::ShaExtensions};
    const char* names[] = {"portable", "sha-extensions"};
    for (int i = 0; i < 2; ++i) {
        if (engines[i] == Sha256::Engine::ShaExtensions && Sha256::Fastest() != engines[i]) {
            std::printf("sha256 %-15s not available on this processor\n", names[i]);
            continue;
        }
        Sha256 digest(engines[i]);
        auto start = std::chrono::steady_clock::now();
        std::clock_t cpuStart = std::clock();
        for (long m = 0; m < mebibytes; ++m) digest.Update(piece.data(), piece.size());
        std::string hex = digest.FinishHex();
        double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("sha256 %-15s %8.0f MiB/s processor time, %8.0f MiB/s wall time  (%ld MiB, %s...)\n", names[i],
                    mebibytes / cpu, mebibytes / wall, mebibytes, hex.substr(0, 16).c_str());
    }
    return 0;
}
