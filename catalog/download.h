// Fetching a file, in two steps: a plan (every part's manifest read and
// checked against the others, so the parts tile the file exactly), then one
// independent unit per part that writes its bytes at its offset in the
// temporary file and checks them against the part's digest. GetFile runs
// the units in order and checks the whole file on the way; a pool of forked
// stores can run them side by side, and a resumed download can skip the
// parts it has recorded as verified.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/sha256.h"
#include "platform/local_file.h"

namespace catalog {

struct DownloadPart {
    std::uint32_t number = 1;
    std::uint32_t parts = 1;
    std::string mailId;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::string sha256;  // empty for a mail without manifest: checked by length only
};

struct DownloadPlan {
    std::string name;
    std::uint64_t size = 0;
    std::string sha256;         // empty without manifest
    std::int64_t modified = 0;  // the file's time as stored (UTC seconds); 0 when unknown
    std::vector<DownloadPart> parts;
};

// Refuses incomplete groups, and parts whose manifests disagree with the
// subjects or with each other.
Outcome PlanDownload(MailStore& store, const FileEntry& entry, DownloadPlan& plan);

// Where GetFile assembles `target` before it replaces it: beside the file
// the target names once its symbolic links are followed (that file is
// replaced, and a link stays a link).
std::filesystem::path TemporaryPathFor(const std::filesystem::path& target);

// Writes one part into the open file `temporary` at the part's offset.
// When inOrder is given it also gets the part's bytes (for the whole-file
// digest); `received` gets the part's bytes so far, and a stop asked
// meanwhile ends the fetch with Cancelled.
Outcome FetchPlannedPart(MailStore& store, const DownloadPart& part, platform::LocalFile& temporary, Sha256* inOrder,
                         const std::function<void(std::uint64_t received)>& received,
                         const platform::StopToken& stop = {});
// The same into an existing regular file of this user, opened without
// following a link (the mount's cache copies).
Outcome FetchPlannedPart(MailStore& store, const DownloadPart& part, const std::filesystem::path& temporary,
                         Sha256* inOrder, const std::function<void(std::uint64_t received)>& received,
                         const platform::StopToken& stop = {});

}  // namespace catalog
