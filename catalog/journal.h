// The stores still to do, on disk, so that neither an unmount nor a crash
// loses a file written through a drive (the mount, the WebDAV server).
// Each pending store is an entry file ("ID.entry", key: value lines) and a data directory ("ID/NAME")
// holding the bytes under the file's own name, as the upload takes its
// name from there. An entry is written beside itself, synced and renamed
// into place, so a crash leaves the old entry or the new one, never half.
//
// Order of a store: the data is synced and the entry written when the file
// is closed; the upload id and digests are added to the entry before the
// first part leaves; the entry goes only after every part is in the
// mailbox. A drive that starts again finds the parts an earlier run stored
// by that upload id and stores only the rest.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace catalog {

struct PendingStore {
    std::string id;  // the entry's name in the journal
    std::string folderId;
    std::string name;                   // the file's name in its folder
    std::vector<std::string> replaces;  // mails that go to the trash once it is stored
    std::int64_t modifiedNs = 0;        // the file's modification time, as set through the drive
    // Known once the upload is planned, so that a later run recognises
    // the parts this one stored.
    std::uint64_t partSize = 0;
    std::string uploadId;
    std::string sha256;
    std::int64_t stored = 0;
};

// Values with '\\', LF or CR are escaped, so an entry is one value a line.
std::string WriteEntry(const PendingStore& store);
bool ReadEntry(const std::string& text, PendingStore& store);

class Journal {
public:
    explicit Journal(std::filesystem::path dir) : dir_(std::move(dir)) {}

    // Creates the directory; false when it cannot.
    bool Open();
    // Every readable entry whose data is there, oldest first. Entries
    // without data and data without entry (a file never closed) go.
    std::vector<PendingStore> Load();
    std::string NewId();
    std::filesystem::path DataPath(const PendingStore& store) const { return dir_ / store.id / store.name; }
    bool Save(const PendingStore& store);
    void Remove(const PendingStore& store);
    // Takes the entry back but leaves the data: a later run finds no store
    // to do (and clears the data away), while this one still reads it.
    void Withdraw(const PendingStore& store);

private:
    std::filesystem::path dir_;
    // Entries are saved by the file's calls and by the store under way at
    // once: one writer at a time, so no save trips over another's.
    std::mutex mutex_;
    std::uint64_t counter_ = 0;
};

}  // namespace catalog
