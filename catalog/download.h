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
#include <functional>
#include <memory>
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

// What a get keeps in place of the stored bytes (a vault: the records
// opened as each part brings them), written into the temporary file by the
// form itself, so that nothing is copied to disk first. Parts call it side
// by side, each in its own order. The parts are not hashed as they come:
// the form checks what it keeps (and what a resumed run kept: Kept).
class OpenedForm {
public:
    virtual ~OpenedForm() = default;
    // The temporary file's size while the parts come in.
    virtual std::uint64_t TemporarySize() const = 0;
    // Whether a part an earlier run recorded is still whole in the
    // temporary file (called for each such part before any part is fetched).
    virtual bool Kept(const DownloadPart& part) = 0;
    virtual Outcome Write(const DownloadPart& part, std::uint64_t at, const char* data, std::size_t size) = 0;
    // A part's fetch ended with `outcome`; `whole` gets the parts whose form
    // is now all in the temporary file (a resumed run may keep them).
    virtual void Ended(const DownloadPart& part, const Outcome& outcome, std::vector<std::uint32_t>& whole) = 0;
    // Checks the file as a whole and leaves the temporary file at its size.
    virtual Outcome Finish() = 0;
};
// The form for a planned file, over its (not yet opened) temporary file.
using OpenedFormOf =
    std::function<Outcome(const DownloadPlan& plan, platform::LocalFile& temporary, std::unique_ptr<OpenedForm>& form)>;

// Refuses incomplete groups, and parts whose manifests disagree with the
// subjects or with each other.
Outcome PlanDownload(MailStore& store, const FileEntry& entry, DownloadPlan& plan);

// Where GetFile assembles `target` before it replaces it: beside the file
// the target names once its symbolic links are followed (that file is
// replaced, and a link stays a link).
std::filesystem::path TemporaryPathFor(const std::filesystem::path& target);

// Gets a part's bytes in order, `at` counted from the part's start; a
// failure ends the fetch with it (labelled with the part).
using PartWriter = std::function<Outcome(std::uint64_t at, const char* data, std::size_t size)>;

// Fetches one part through `write` and checks it against its digest. The
// bytes reach `write` before the digest is known: what `write` keeps must
// stand on its own (a vault's records authenticate themselves).
Outcome FetchPlannedPart(MailStore& store, const DownloadPart& part, const PartWriter& write, Sha256* inOrder,
                         const std::function<void(std::uint64_t received)>& received,
                         const platform::StopToken& stop = {});
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
