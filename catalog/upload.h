// Storing a file, in two steps: a plan (one pass over the local file for
// the digests of the whole and of every part, which every part's manifest
// carries), then one independent unit per part. PutFile runs the units in
// order; a pool of forked stores can run them side by side, and a resumed
// upload can skip the parts it finds already stored.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/manifest.h"

namespace catalog {

struct UploadPart {
    std::uint32_t number = 1;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::string sha256;
};

struct UploadPlan {
    std::filesystem::path source;
    std::string name;
    std::uint64_t size = 0;
    std::string sha256;
    std::string uploadId;
    std::int64_t stored = 0;
    std::filesystem::file_time_type modified;  // to notice a file changed meanwhile
    std::vector<UploadPart> parts;

    Manifest ManifestOf(const UploadPart& part) const;
};

// Checks the name and the part size, reads the file once for its digests
// and draws a fresh upload id. Progress reports the Hashing phase; a stop
// asked meanwhile ends it with Cancelled.
Outcome PlanUpload(const std::filesystem::path& source, std::uint64_t partSize, const ProgressCallback& progress,
                   const platform::StopToken& stop, UploadPlan& plan);

// Stores one part into folderId; `sent` gets the part's bytes sent so far,
// and a stop asked meanwhile ends the send with Cancelled.
Outcome StorePlannedPart(MailStore& store, const UploadPlan& plan, const UploadPart& part, const std::string& folderId,
                         const SendProgress& sent, const platform::StopToken& stop, std::string& mailId);

// Whether the source still looks as it did when it was planned.
bool SourceUnchanged(const UploadPlan& plan);

}  // namespace catalog
