// What a put keeps on this machine so that a later run can tell its own
// parts from look-alikes. Anyone can mail the account a part whose subject
// and manifest copy a file's name, sizes and SHA-256; only the upload id
// (128 random bits that travel inside the mailbox only) cannot be guessed.
// A put keeps the id before it sends the first part under it, so a part
// found later under a kept id is ours. The engine takes the record as an
// interface (TransferSettings::record): the command-line client keeps it in
// a private file in the user's cache directory, the mount can keep it in
// its journal.
//
// The record also holds off a second put of the same file on this machine
// while the first one runs, so that the second finds the first's parts
// instead of storing a copy of its own.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/local_file.h"

namespace catalog {

class UploadRecord {
public:
    virtual ~UploadRecord() = default;
    // Keeps the id; false when it could not be kept (the parts are then
    // sent all the same, and a later run checks them by their bytes).
    virtual bool Keep(const std::string& uploadId) = 0;
    // Whether a run kept this id.
    virtual bool Holds(const std::string& uploadId) = 0;
    // Returns once no other run on this machine holds `fileKey`, holding it
    // until the token is dropped; null when it cannot hold it (then nothing
    // is held off). `keepWaiting` is asked between tries; false (or none)
    // gives up.
    virtual std::shared_ptr<void> HoldFile(const std::string& fileKey, const std::function<bool()>& keepWaiting) = 0;
};

// The record in files: `path` holds the ids, newest last, the most recent
// kKeptIds of them, readable by this user alone; the holds are locks on
// small files in PATH.holds/ (a 0700 directory).
class UploadRecordFile : public UploadRecord {
public:
    static constexpr std::size_t kKeptIds = 2000;
    static constexpr std::chrono::milliseconds kRetry{200};
    static constexpr int kRewriteTries = 25;

    explicit UploadRecordFile(std::filesystem::path path) : path_(std::move(path)) {}
    bool Keep(const std::string& uploadId) override;
    bool Holds(const std::string& uploadId) override;
    std::shared_ptr<void> HoldFile(const std::string& fileKey, const std::function<bool()>& keepWaiting) override;

private:
    std::filesystem::path path_;
    std::mutex lock_;
};

}  // namespace catalog
