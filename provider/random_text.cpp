#include "random_text.h"

#include <mutex>
#include <random>

namespace provider {

namespace {

std::mt19937_64& Generator() {
    static std::mt19937_64 generator = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }();
    return generator;
}

std::mutex generatorLock;

}  // namespace

std::string RandomAlnum(std::size_t length) {
    static const char kSymbols[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof kSymbols) - 2);
    std::string text(length, ' ');
    std::lock_guard<std::mutex> hold(generatorLock);
    for (char& c : text) c = kSymbols[pick(Generator())];
    return text;
}

}  // namespace provider
