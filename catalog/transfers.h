// Several files at once through one pool of parallel parts, with resume.
//
// A pool of N workers moves parts side by side, each worker on a store of
// its own (Fork(): its own connection and compose session); the first
// worker uses the caller's store. Parts are streamed from and to disk, so
// memory stays bounded whatever the file sizes.
//
// Resume of a put and of a get: put_resume.h and get_resume.h say how.
// A put keeps its upload ids in settings.record (when there is one) before
// it sends, so that a later run can tell its parts from look-alikes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/download.h"
#include "catalog/upload.h"
#include "catalog/upload_record.h"

namespace catalog {

struct TransferSettings {
    unsigned transfers = 4;  // parts moving at once (1: one after another, in order)
    std::uint64_t partSize = kDefaultPartSize;
    ProgressCallback progress;  // bytes of all the files together
    platform::StopToken stop;   // once asked, the transfer ends with Cancelled
    // Upload ids kept on this machine; none: parts found in the inbox are checked by their bytes.
    UploadRecord* record = nullptr;
    // A put's files stored in another form (a vault seals them); none: as they are.
    StoredFormOf storedForm{};
    // A get's files kept in another form (a vault opens them); none: as stored.
    OpenedFormOf openedForm{};
};

struct PutReport {
    std::filesystem::path source;
    Outcome outcome;
    std::string key;  // part 1's mail id once the file is whole in the folder
    std::uint32_t parts = 0;
    std::uint32_t alreadyStored = 0;  // parts an earlier run had stored
    std::uint32_t lookAlikes = 0;     // parts found in the mailbox that were not ours: sent again
};

struct GetRequest {
    std::string key;
    std::filesystem::path target;
};

struct GetReport {
    Outcome outcome;
    std::uint32_t parts = 0;
    std::uint32_t alreadyVerified = 0;            // parts kept from an earlier run
    std::vector<std::filesystem::path> setAside;  // what stood in place of our temporary files, moved away
};

// One report per source, in order. Returns the first failure (or Success):
// a failing file stops its own parts only; the daily sending limit, an
// unreachable mailbox or a cancel stop everything.
Outcome PutFiles(MailStore& store, const std::vector<std::filesystem::path>& sources, const std::string& folderId,
                 const TransferSettings& settings, std::vector<PutReport>& reports);

Outcome GetFiles(MailStore& store, const std::vector<GetRequest>& requests, const TransferSettings& settings,
                 std::vector<GetReport>& reports);

}  // namespace catalog
