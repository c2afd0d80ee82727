// What the transfer tests share: a file of 75 bytes (eight parts of 10)
// beside a target that holds "old", put and got one part at a time through
// the in-memory mailbox.
#pragma once

#include <gtest/gtest.h>

#include "catalog/download.h"
#include "catalog/transfers.h"
#include "memory_store.h"
#include "scratch_files.h"

struct TransfersTest : ::testing::Test {
    testsupport::ScratchDir scratch;
    const std::filesystem::path dir = scratch.path, source = dir / "f.bin",
                                target = testsupport::WriteFile(dir / "out.bin", "old");
    testsupport::MemoryStore store;
    catalog::TransferSettings settings{1, 10, {}, {}};
    std::string bytes = std::string(75, 'b');

    void SetUp() override {
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + 1);
        testsupport::WriteFile(source, bytes);
    }
    catalog::PutReport Put() {
        std::vector<catalog::PutReport> reports;
        catalog::PutFiles(store, {source}, "7", settings, reports);
        return reports.at(0);
    }
    std::vector<catalog::GetReport> Get(const std::vector<catalog::GetRequest>& requests) {
        std::vector<catalog::GetReport> reports;
        catalog::GetFiles(store, requests, settings, reports);
        return reports;
    }
};
