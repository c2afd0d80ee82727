// Storing a file, in two steps: a plan (one pass over the local file for
// the digests of the whole and of every part, which every part's manifest
// carries), then one independent unit per part. PutFile runs the units in
// order; a pool of forked stores can run them side by side, and a resumed
// upload can skip the parts it finds already stored.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/manifest.h"
#include "platform/byte_reader.h"

namespace catalog {

struct UploadPart {
    std::uint32_t number = 1;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::string sha256;
};

// What a put stores in place of a file's own bytes and name (a vault: the
// sealed name and the records sealed as they are read), so that nothing is
// copied to disk first: the stored size, and a reader of its own for each
// part (parts go side by side) that gives the same bytes every time.
struct StoredForm {
    std::string name;
    std::uint64_t size = 0;
    std::function<std::unique_ptr<platform::ByteReader>()> open;
};
// Gives the form `source` is stored in (the file's own when none is given).
using StoredFormOf = std::function<Outcome(const std::filesystem::path& source, StoredForm& form)>;

struct UploadPlan {
    std::filesystem::path source;
    std::string name;
    std::uint64_t size = 0;  // of the stored bytes
    std::uint64_t sourceSize = 0;
    std::function<std::unique_ptr<platform::ByteReader>()> open;  // none: the source's own bytes
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
                   const platform::StopToken& stop, UploadPlan& plan, const StoredFormOf& formOf = {});

// Stores one part into folderId; `sent` gets the part's bytes sent so far,
// and a stop asked meanwhile ends the send with Cancelled.
Outcome StorePlannedPart(MailStore& store, const UploadPlan& plan, const UploadPart& part, const std::string& folderId,
                         const SendProgress& sent, const platform::StopToken& stop, std::string& mailId);

// Whether the source still looks as it did when it was planned.
bool SourceUnchanged(const UploadPlan& plan);

}  // namespace catalog
