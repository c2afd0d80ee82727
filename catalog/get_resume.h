// Resume of a get: the temporary file beside the target keeps the parts
// written so far, and a record beside it names the parts whose bytes
// matched their SHA-256. A later run hashes those parts again before it
// keeps them, and fetches the rest. The target is replaced only when the
// whole file matches its SHA-256. Both files are claimed as local_target.h
// says: nothing in their place that is not ours is written through.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "catalog/download.h"
#include "catalog/local_target.h"
#include "platform/local_file.h"

namespace catalog {

struct GetJob {
    DownloadPlan plan;
    LocalTarget local;
    platform::LocalFile data;    // the temporary file
    platform::LocalFile record;  // not open when it could not be made: the next run starts over
    std::uint64_t recordEnd = 0;
    std::vector<char> kept;  // by part number - 1: verified by an earlier run
    std::vector<std::filesystem::path> setAside;
    std::unique_ptr<OpenedForm> form;  // none: the stored bytes as they are
    bool ready = false;
};

// Opens the temporary file and its record as a resumed or a fresh run finds
// them, sized for the plan, with the parts still good marked in `kept`.
Outcome PrepareTemporary(GetJob& job);

// Adds a verified part to the record; calls for one job must not overlap.
void RecordVerified(GetJob& job, std::uint32_t number);

// Checks the whole file (through the form when there is one) and puts it
// in the target's place.
Outcome FinishDownload(GetJob& job);

// Removes the temporary file and its record (bytes that did not check out
// are not kept for a later run).
void DropTemporary(GetJob& job);

}  // namespace catalog
