// Several files at once through one pool of parallel parts, with resume.
//
// A pool of N workers moves parts side by side, each worker on a store of
// its own (Fork(): its own connection and compose session); the first
// worker uses the caller's store. Parts are streamed from and to disk, so
// memory stays bounded whatever the file sizes.
//
// Resume of a put: parts an earlier, interrupted run stored are found by
// their manifests (same name, same whole-file SHA-256, same part layout)
// in the target folder, or in the inbox when their mail arrived but was
// never moved; those are kept (inbox ones moved) and only the rest is
// sent, under the earlier run's upload id so that all parts group as one
// file. A file already stored whole in the folder is not stored again.
//
// Resume of a get: the temporary file beside the target keeps the parts
// written so far, and a record beside it (TEMPORARY.verified) names the
// parts whose bytes matched their SHA-256. A later run hashes those parts
// again before it keeps them, and fetches the rest. The target is replaced
// only when the whole file matches its SHA-256.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "catalog/catalog.h"

namespace catalog {

struct TransferSettings {
    unsigned transfers = 4;  // parts moving at once (1: one after another, in order)
    std::uint64_t partSize = kDefaultPartSize;
    ProgressCallback progress;  // bytes of all the files together; false cancels
};

struct PutReport {
    std::filesystem::path source;
    Outcome outcome;
    std::string key;  // part 1's mail id once the file is whole in the folder
    std::uint32_t parts = 0;
    std::uint32_t alreadyStored = 0;  // parts an earlier run had stored
};

struct GetRequest {
    std::string key;
    std::filesystem::path target;
};

struct GetReport {
    Outcome outcome;
    std::uint32_t parts = 0;
    std::uint32_t alreadyVerified = 0;  // parts kept from an earlier run
};

// One report per source, in order. Returns the first failure (or Success):
// a failing file stops its own parts only; the daily sending limit, an
// unreachable mailbox or a cancel stop everything.
Outcome PutFiles(MailStore& store, const std::vector<std::filesystem::path>& sources, const std::string& folderId,
                 const TransferSettings& settings, std::vector<PutReport>& reports);

Outcome GetFiles(MailStore& store, const std::vector<GetRequest>& requests, const TransferSettings& settings,
                 std::vector<GetReport>& reports);

// The record of verified parts kept beside a temporary file.
std::filesystem::path VerifiedRecordPath(const std::filesystem::path& temporary);

}  // namespace catalog
