// What the catalog's tests share besides the mailbox: a directory of the
// running test's own (CTest runs tests side by side), whole files read and
// written, and SHA-256 in hex.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "catalog/sha256.h"

// A catalog call that must succeed (with catalog::Outcome in scope), its
// outcome shown when it does not.
#define ASSERT_OK(call)                                \
    do {                                               \
        Outcome outcome_ = (call);                     \
        ASSERT_TRUE(outcome_.Ok()) << outcome_.Text(); \
    } while (0)

namespace testsupport {

// Empty when made; removed with all it holds when done.
struct ScratchDir {
    const std::filesystem::path path = std::filesystem::path(::testing::TempDir()) / ("vantlo-" + TestName());
    ScratchDir() {
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    static std::string TestName() {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        return std::string(test->test_suite_name()) + "-" + test->name();
    }
};

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Makes the directories above it too; gives the path back.
inline std::filesystem::path WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

inline std::string Sha256Hex(const std::string& bytes) {
    catalog::Sha256 digest;
    digest.Update(bytes.data(), bytes.size());
    return digest.FinishHex();
}

}  // namespace testsupport
