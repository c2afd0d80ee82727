#include "catalog/upload_record.h"

#include <deque>
#include <sstream>
#include <thread>

#include "catalog/format_values.h"
#include "catalog/sha256.h"
#include "platform/private_file.h"

namespace catalog {
namespace {

constexpr std::size_t kIdLength = 32;
constexpr std::size_t kLimit = UploadRecordFile::kKeptIds * (kIdLength + 1);

std::deque<std::string> ReadIds(const std::filesystem::path& path) {
    std::deque<std::string> ids;
    std::string text;
    if (!platform::ReadPrivateFile(path, kLimit, text)) return ids;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (IsLowerHex(line, kIdLength)) ids.push_back(line);
    return ids;
}

}  // namespace

bool UploadRecordFile::Keep(const std::string& uploadId) {
    if (!IsLowerHex(uploadId, kIdLength)) return false;
    std::lock_guard<std::mutex> hold(lock_);
    if (!platform::MakePrivateDirectory(path_.parent_path())) return false;
    // Runs of other files keep their ids meanwhile: one rewrite at a time, waited for a few seconds at most.
    int tries = 0;
    const std::shared_ptr<void> rewriting = HoldFile("\nthe record itself", [&] { return ++tries < kRewriteTries; });
    if (!rewriting) return false;
    std::deque<std::string> ids = ReadIds(path_);
    for (const std::string& id : ids)
        if (id == uploadId) return true;
    ids.push_back(uploadId);
    while (ids.size() > kKeptIds) ids.pop_front();
    std::string text;
    for (const std::string& id : ids) text += id + "\n";
    return platform::WritePrivateFile(path_, text);
}

bool UploadRecordFile::Holds(const std::string& uploadId) {
    std::lock_guard<std::mutex> hold(lock_);
    for (const std::string& id : ReadIds(path_))
        if (id == uploadId) return true;
    return false;
}

std::shared_ptr<void> UploadRecordFile::HoldFile(const std::string& fileKey, const std::function<bool()>& keepWaiting) {
    std::filesystem::path holds = path_;
    holds += ".holds";
    if (!platform::MakePrivateDirectory(holds)) return nullptr;
    Sha256 digest;
    digest.Update(fileKey.data(), fileKey.size());
    const std::filesystem::path file = holds / (digest.FinishHex().substr(0, 32) + ".hold");
    auto held = std::make_shared<platform::LocalFile>();
    std::string error;
    const bool opened = platform::InspectEntry(file) == platform::EntryKind::OwnRegularFile
                            ? held->OpenExisting(file, error)
                            : held->CreateNew(file, 0600, error) || held->OpenExisting(file, error);
    if (!opened) return nullptr;
    // Hold files stay (empty) once made: removing one while another run waits on it would let two hold it.
    while (!held->TryLock()) {
        if (!keepWaiting || !keepWaiting()) return nullptr;
        std::this_thread::sleep_for(kRetry);
    }
    return held;
}

}  // namespace catalog
