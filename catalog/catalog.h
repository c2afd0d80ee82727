// Files, not mails: what the command-line client, the desktop program and
// the mount call. A file's key is the mail id of its part 1 (of its lowest
// part present when part 1 is missing). Every operation runs on the calling
// thread against one store and returns an Outcome.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "catalog/file_grouping.h"
#include "catalog/mail_store.h"
#include "platform/stop_token.h"

namespace catalog {

constexpr std::uint64_t kDefaultPartSize = 32 * 1024 * 1024;

struct TransferProgress {
    enum class Phase {
        Hashing,    // reading the local file for its digests
        Sending,    // parts on their way into the mailbox
        Receiving,  // parts on their way out, each checked as it ends
    };
    Phase phase = Phase::Hashing;
    std::uint64_t done = 0;  // bytes of the whole file
    std::uint64_t total = 0;
};
// Told how far a transfer got; a stop is asked through a StopToken.
using ProgressCallback = std::function<void(const TransferProgress&)>;

struct PutOptions {
    std::uint64_t partSize = kDefaultPartSize;
    ProgressCallback progress;
    platform::StopToken stop;  // once asked, the transfer ends with Cancelled
};

struct PutResult {
    std::string key;  // empty until part 1 is stored
    std::uint32_t parts = 0;
    std::vector<std::string> storedMailIds;  // by part number, as far as they got
};

struct GetOptions {
    ProgressCallback progress;
    platform::StopToken stop;  // once asked, the transfer ends with Cancelled
};

// What a key's manifest says, beside the group the listing shows.
struct FileDetails {
    FileEntry entry;
    bool hasManifest = false;
    std::string damaged;     // what is wrong with the key mail's manifest; empty when it reads
    std::uint64_t size = 0;  // exact: from the manifest, else the attachment's length
    std::string sha256;      // empty without a manifest
    std::string uploadId;
    std::int64_t stored = 0;  // from the manifest; else when the mail arrived, 0 when unknown
};

// Every file of the folder, in FileOrder; incomplete groups included.
Outcome ListFiles(MailStore& store, const std::string& folderId, std::vector<FileEntry>& files);
// True when `part` stands in `text`, ASCII letters in any case: how a name
// matches a search text.
bool ContainsIgnoringAsciiCase(const std::string& text, const std::string& part);
// Files whose name contains `text` (ASCII letters in any case), through the
// store's search; folderId empty searches every folder.
Outcome FindFiles(MailStore& store, const std::string& text, const std::string& folderId,
                  std::vector<FileEntry>& files);

// The group a key belongs to, and the key's mail. A key without a part mark
// is a file of one mail (its folder is not looked up: entry.folderId stays
// empty); a marked key's group is found with a search for its name (a scan
// of the folders when the search misses the key) and taken from the key's
// folder only. Any part's id locates the whole group.
Outcome LocateFile(MailStore& store, const std::string& key, FileEntry& entry, MailText& keyMail);
// A damaged manifest ends in Corrupt with details.entry and details.damaged filled.
Outcome StatFile(MailStore& store, const std::string& key, FileDetails& details);

// Stores `source` in folderId, split into parts of options.partSize.
// Parts already stored stay when a later one fails (result says which).
Outcome PutFile(MailStore& store, const std::filesystem::path& source, const std::string& folderId,
                const PutOptions& options, PutResult& result);
// Puts the file together beside `target`, checks every part and the whole,
// and only then replaces `target`. On any failure `target` is untouched.
Outcome GetFile(MailStore& store, const std::string& key, const std::filesystem::path& target,
                const GetOptions& options = {});

// Both act on every part of the key's group (incomplete groups included).
Outcome RemoveFile(MailStore& store, const std::string& key);
Outcome MoveFile(MailStore& store, const std::string& key, const std::string& folderId);

}  // namespace catalog
