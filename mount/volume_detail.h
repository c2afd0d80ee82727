// Small helpers the volume's files share.
#pragma once

#include <fcntl.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>

#include "catalog/download.h"
#include "catalog/drive_file.h"
#include "catalog/sync_times.h"
#include "catalog/writeback_store.h"

namespace mount {

// The names every part of the volume uses (this header is the volume's own).
namespace fs = std::filesystem;
using catalog::Damaged;
using catalog::ImpossibleSize;
using catalog::Outcome;
using catalog::ShownSize;
using Clock = std::chrono::steady_clock;
using Lock = std::unique_lock<std::mutex>;

constexpr std::size_t kCopyChunk = 1 << 20;

inline std::int64_t NowNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A local file's modification time in UTC nanoseconds; 0 when unknown. The
// file clock's epoch differs from UTC's by whole seconds.
inline std::int64_t ModifiedNanoseconds(const fs::path& file) {
    std::error_code error;
    const fs::file_time_type time = fs::last_write_time(file, error);
    if (error) return 0;
    const auto since = std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
    const std::int64_t fraction = (since % 1000000000 + 1000000000) % 1000000000;
    return catalog::UtcSecondsOf(time) * 1000000000 + fraction;
}

inline bool Writes(int flags) {
    return (flags & O_ACCMODE) != O_RDONLY || (flags & O_TRUNC);
}

// The plan to read back what a store just sent.
inline catalog::DownloadPlan PlanOf(const catalog::StoredFile& stored) {
    catalog::DownloadPlan plan;
    plan.name = stored.plan.name;
    plan.size = stored.plan.size;
    plan.sha256 = stored.plan.sha256;
    const auto parts = static_cast<std::uint32_t>(stored.plan.parts.size());
    for (std::size_t i = 0; i < stored.plan.parts.size() && i < stored.mailIds.size(); ++i) {
        const catalog::UploadPart& part = stored.plan.parts[i];
        plan.parts.push_back({part.number, parts, stored.mailIds[i], part.offset, part.size, part.sha256});
    }
    return plan;
}

}  // namespace mount
