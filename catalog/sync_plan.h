// What a sync has to do, worked out before anything is sent: a local tree,
// the remote tree and the local record of what the last sync saw give a list
// of steps. Files are the same when size and SHA-256 agree; the record
// (path, size, modification time, SHA-256, key) spares hashing a local file
// that has not changed and reading the manifest of a remote file that is
// the one the record names (a stored file never changes under its key).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "catalog/tree_transfer.h"

namespace catalog {

struct SyncRecordEntry {
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::string sha256;
    std::string key;  // the remote file it matched or became; empty when none yet
};

// By relative path. Kept as one line per file; a record that does not read
// is empty (everything is hashed once more, nothing is lost).
using SyncRecord = std::map<std::string, SyncRecordEntry>;
SyncRecord LoadSyncRecord(const std::filesystem::path& file);
bool SaveSyncRecord(const std::filesystem::path& file, const SyncRecord& record);

enum class SyncAction {
    Send,         // a local file the remote side lacks, or holds otherwise: stored (then older copies trashed)
    Trash,        // a remote file to the trash
    Fetch,        // a remote file the local side lacks or holds otherwise
    DeleteLocal,  // a local file Vantlo wrote, unchanged since, gone remotely
    KeepLocal,    // a local file gone remotely that Vantlo did not write (or that changed): kept, said so
};

struct SyncStep {
    SyncAction action;
    std::string path;
    std::vector<std::string> replaced;  // Send: whole remote files of the name to trash once it is stored
    std::string key;                    // Trash, Fetch: the remote file
};

struct SyncSides {
    const std::vector<LocalFile>& local;
    const std::vector<RemoteFile>& remote;
    SyncRecord& record;  // updated with what was hashed or matched
    std::function<Outcome(const LocalFile&, std::string& sha256)> hashLocal;
    // The SHA-256 the file's manifest holds; "" when it has none.
    std::function<Outcome(const RemoteFile&, std::string& sha256)> remoteSha256;
};

// LOCAL -> REMOTE. With deleteExtra, remote files gone locally are trashed.
Outcome PlanSyncUp(SyncSides sides, bool deleteExtra, std::vector<SyncStep>& steps);
// REMOTE -> LOCAL. With deleteExtra, a local file gone remotely is deleted
// only when the record says it is as a sync left it (size and time); any
// other stays (KeepLocal).
Outcome PlanSyncDown(SyncSides sides, bool deleteExtra, std::vector<SyncStep>& steps);

// Every difference, "only here: PATH", "only there: PATH", "differs: PATH".
Outcome CompareTrees(SyncSides sides, std::vector<std::string>& differences);

}  // namespace catalog
