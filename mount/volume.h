// The mailbox as a tree: the root holds the account's top folders, a
// folder holds its files and the folders nested in it, to any depth. Paths
// come as the kernel gives them ("/", "/Folder", "/Folder/Sub/name"); a
// folder name's own "/" shows as "／". Every call returns 0 or a negative
// errno. Listings are cached for a while and read again after every change
// the mount makes. Files written here live in the journal until their
// store is done (write-back); they show at once under their names.
//
// Threads: the file system's calls arrive on several threads at once; one
// mutex guards the tables below, and no call to the mailbox is made while
// it is held. Stores run on worker threads of their own.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/download.h"
#include "catalog/drive_times.h"
#include "catalog/journal.h"
#include "catalog/manifest_cache.h"
#include "catalog/outcome.h"
#include "catalog/store_pool.h"
#include "catalog/writeback_queue.h"
#include "mount/file_cache.h"
#include "mount/vault_view.h"
#include "platform/local_file.h"

namespace mount {

using catalog::StorePool;

struct VolumeOptions {
    std::uint64_t partSize = catalog::kDefaultPartSize;
    int dirCacheMs = 10000;
    unsigned storeWorkers = 2;
    unsigned parallelParts = 3;   // parts of one file sent at once
    unsigned readAheadParts = 2;  // parts fetched ahead of a read
    // A closed file of a temporary name (an editor's, rsync's) waits this
    // long for its rename before it is stored; others are stored at once,
    // unless every store is held back by storeDelayMs (tests do).
    int settleMs = 300;
    int storeDelayMs = 0;
    int firstRetryMs = 1000;     // a failed store is tried again after this, doubling...
    int longestRetryMs = 60000;  // ...up to this
    int longestSyncWaitMs = 3600 * 1000;
    // Where what the manifests said is kept between runs (empty: in memory
    // only), so that a new mount lists a folder it knows without reading
    // its manifests again.
    std::filesystem::path manifestFile;
    // The vaults this drive may open (null: none), and where a vault's file
    // is opened for reading (its plain copy lives there while it is open).
    std::shared_ptr<VaultView> vaults;
    std::filesystem::path openedDir;
};

// What a path is, as every front end needs it: the FUSE glue makes a
// struct stat of it, the WebDAV server its properties.
struct Attr {
    bool directory = false;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;  // UTC; 0 for a folder (folders keep no times)
    bool readOnly = false;        // a vault, or a file in one
};

struct DirEntry {
    std::string name;
    Attr attr;
};

class Volume {
public:
    Volume(StorePool& pool, catalog::Journal& journal, FileCache& cache, catalog::Times& times, VolumeOptions options);
    ~Volume();

    // Queues the stores the journal holds (before anything else) and starts
    // the workers.
    void Start();
    // Ends the workers; a store in flight is cut short and stays in the journal.
    void Stop();

    int GetAttr(const std::string& path, Attr& attr);
    int ReadDir(const std::string& path, std::vector<DirEntry>& entries);
    int MakeDir(const std::string& path);
    int RemoveDir(const std::string& path);
    int Unlink(const std::string& path);
    int Rename(const std::string& from, const std::string& to, bool noReplace);
    int Create(const std::string& path, std::uint64_t& handle);
    int Open(const std::string& path, int flags, std::uint64_t& handle);
    int Read(std::uint64_t handle, char* buffer, std::size_t size, std::uint64_t offset);
    int Write(std::uint64_t handle, const char* buffer, std::size_t size, std::uint64_t offset);
    int Truncate(const std::string& path, std::uint64_t size);
    int TruncateOpen(std::uint64_t handle, std::uint64_t size);
    // The file's modification time (UTC nanoseconds); none: only whether it exists.
    int SetTimes(const std::string& path, std::optional<std::int64_t> modifiedNs);
    int Fsync(std::uint64_t handle);
    // Each close(): the file's entry is written to the journal before
    // close returns, so a file closed is kept whatever happens next.
    int Flush(std::uint64_t handle);
    int Release(std::uint64_t handle);
    // user.vantlo.state: pending, stored, "failed: WHY" (incomplete for a
    // group with parts missing, damaged for a file whose manifest does not
    // check out); user.vantlo.key: the file's key once stored;
    // user.vantlo.vault on a folder that is a vault: why it shows empty.
    int GetXattr(const std::string& path, const std::string& name, std::string& value);

private:
    // A file on its way to the mailbox: the write-back's entry, with the
    // local copy and the opens of this drive.
    struct Pending : catalog::WritebackEntry {
        platform::LocalFile file;  // the journal's copy
        unsigned opens = 0;
        bool finished = false;  // stored and out of the table: look the name up again
        // Opened for writing from a stored file, no byte changed yet: its
        // bytes are fetched into the copy only when a write or a cut needs them
        // (filled), and closing it untouched keeps the stored file.
        bool untouched = false;
        bool filled = true;
        bool timeSet = false;       // a time was set while untouched
        catalog::FileEntry source;  // the stored file it starts from
        std::mutex filling;         // one fetch into the copy at a time
    };
    struct Node {
        const catalog::FileEntry* file = nullptr;
        std::shared_ptr<Pending> pending;
    };
    struct Listing {
        bool loaded = false;
        std::chrono::steady_clock::time_point at;
        std::vector<catalog::FileEntry> files;
        bool vault = false;                                // the folder holds the vault file: read-only...
        bool unlocked = false;                             // ...and shown empty unless its vault opened here
        std::map<std::string, catalog::FileEntry> sealed;  // an opened vault's files as stored, by key
        bool Locked() const { return vault && !unlocked; }
        std::uint64_t viewEpoch = 0;  // the view below is good while this is viewEpoch_
        std::map<std::string, Node> view;
        // Refreshes may overlap (one per finished store): only a reading
        // begun after the one shown may replace it, or a file stored
        // meanwhile would vanish until the next refresh.
        std::uint64_t readingsBegun = 0;
        std::uint64_t shownReading = 0;
    };
    struct Handle {
        std::shared_ptr<Pending> pending;             // writable
        std::unique_ptr<platform::LocalFile> opened;  // a vault's file: its plain copy
        std::filesystem::path openedPath;
        std::string key;  // read-only: a stored file
        catalog::DownloadPlan plan;
        bool planned = false;
        catalog::FileEntry file;
    };
    // A path's levels: `full` may name a folder, or a file `name` in the
    // folder `dir` ("" is the root, which holds folders only).
    struct Path {
        int depth = 0;  // levels; 0 the root, -1 not a usable path
        std::string dir, name, full;
    };

    static Path Split(const std::string& path);
    int LogFailure(const char* what, const std::string& path, const catalog::Outcome& outcome);

    // Folders by their shown paths ("a/b"); read again when older than the bound.
    int Folders(std::map<std::string, catalog::FolderInfo>& folders, bool fresh = false);
    // The folder at a path's `dir`: "" for the root.
    int ParentId(const Path& path, std::string& id);
    int RenameFolder(const Path& source, const Path& target, bool noReplace);
    int FolderId(const std::string& shown, std::string& id);
    int RefreshListing(const std::string& folderId);
    int EnsureListing(const std::string& folderId);
    // The folder's files and pending stores by name. mutex_ held.
    const std::map<std::string, Node>& View(const std::string& folderId);
    // Moves mails to the trash, hidden from the listings meanwhile.
    // `relist` false: the listing drops their files itself instead of reading
    // the folder again (the caller then adds what replaces them).
    int Trash(const std::string& folderId, const std::vector<std::string>& ids, bool relist = true);
    // A file just stored joins the folder's listing without a reading of the
    // folder (a folder of 10,000 files is 50 pages): its mails as a listing
    // would show them, grouped as a listing groups them. mutex_ held. False
    // when there is no listing to join, or it is a vault's (names sealed).
    bool ListStored(const std::string& folderId, const catalog::StoredFile& stored, std::int64_t modifiedNs);
    // Guard held: whether the folder's listing holds the file of these mails.
    bool Listed(const std::string& folderId, const std::vector<std::string>& mailIds) const;
    // How long a file just closed or renamed to `name` waits before its store.
    int SettleMs(const std::string& name) const;
    int Lookup(const Path& path, std::string& folderId, Node& node, catalog::FileEntry& file);
    // -EACCES when the folder is a vault (its files would land unsealed),
    // unless `filesOfAnOpenedOne` and this drive opened it: files written
    // there are sealed before they are stored.
    int RefuseInVault(const std::string& folderId, bool filesOfAnOpenedOne = false);
    // One attempt of the write-back: a file in an opened vault is sealed
    // first, and stored through the vault's neutral store.
    catalog::Outcome StoreAttempt(catalog::PendingStore& record, const std::function<bool()>& keepGoing,
                                  catalog::StoredFile& stored);
    // A listing's files as shown: an opened vault's by their plain names
    // and sizes (`sealed` keeps them as stored); none of a locked one.
    void ShowVault(catalog::MailStore& store, const std::string& folderId, std::vector<catalog::FileEntry>& files,
                   bool& vault, bool& unlocked, std::map<std::string, catalog::FileEntry>& sealed);
    // Fetches the vault's file, opens it into a plain copy for `handle`.
    int OpenVaultFile(const std::string& folderId, const catalog::FileEntry& file, Handle& handle);
    void FillAttr(const Node& node, Attr& attr);

    std::shared_ptr<Pending> NewPending(const std::string& folderId, const std::string& name,
                                        std::vector<std::string> replaces);
    int FetchWhole(const catalog::FileEntry& file, platform::LocalFile& into);
    // Fetches the stored bytes of a pending file opened untouched, once.
    int Fill(const std::shared_ptr<Pending>& pending);
    // A write into the local copy failed: the file is never stored.
    void Damage(const std::shared_ptr<Pending>& pending, int error);
    int PlanFor(Handle& handle);
    void DropPending(const std::shared_ptr<Pending>& pending);
    // The write-back stored `generation` of a pending file: the mails it
    // replaces go, and it leaves the table unless it changed meanwhile.
    void Stored(catalog::WritebackQueue::Lock& lock, const std::shared_ptr<Pending>& pending, std::uint64_t generation,
                const catalog::StoredFile& stored);

    StorePool& pool_;
    catalog::Journal& journal_;
    FileCache& cache_;
    catalog::Times& times_;
    VolumeOptions options_;

    std::mutex mutex_;  // guards the tables below and the write-back's entries
    std::map<std::string, catalog::FolderInfo> folders_;
    std::chrono::steady_clock::time_point foldersAt_;
    bool foldersLoaded_ = false;
    std::map<std::string, Listing> listings_;
    std::vector<std::shared_ptr<Pending>> pending_;
    std::set<std::string> hidden_;  // mails on their way to the trash
    std::map<std::string, catalog::DownloadPlan> plans_;
    std::map<std::uint64_t, std::unique_ptr<Handle>> handles_;
    std::uint64_t nextHandle_ = 1;
    std::uint64_t viewEpoch_ = 1;  // grows with every change to pending_ or hidden_
    catalog::ManifestCache manifests_;
    std::mutex manifestsMutex_;
    catalog::WritebackQueue queue_;  // last: its workers stop before the tables go
};

}  // namespace mount
