// Files from a listing of mails, by the subjects alone (no mail is read):
// parts of one upload form one file; a mail without a mark is a file of its
// own. A group with a part missing or stored twice, or a subject whose mark
// is impossible, is an incomplete file: listed, never put together.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalog/mail_store.h"

namespace catalog {

struct FilePart {
    std::uint32_t number = 1;
    std::string mailId;
    std::uint64_t listedSize = 0;
};

struct PartRange {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
};

struct FileEntry {
    std::string key;  // the mail id of part 1, else of the lowest part present
    std::string folderId;
    std::string name;
    std::uint32_t parts = 1;        // as the marks say
    std::string tag;                // empty for a file in one part
    std::vector<FilePart> present;  // by number, then by mail id
    std::vector<PartRange> missing;
    std::vector<std::uint32_t> duplicated;  // numbers present more than once
    bool badMark = false;                   // the subject's mark is impossible
    std::uint64_t listedSize = 0;           // the parts' mails as listed (not the file's bytes)
    std::int64_t storedAt = 0;              // when the key's mail arrived (UTC seconds)
    // The file's exact size, and storedAt from its manifest: filled by
    // FillFileSizes (file_sizes.h) from the key's mail, not by the grouping.
    bool sizeKnown = false;
    std::uint64_t size = 0;
    bool damaged = false;  // the key mail's manifest does not read: no size, cannot be fetched
    // The key mail's whole text when the listing brought it (MailInfo::text):
    // FillFileSizes reads the manifest from it instead of from the mailbox.
    bool keyTextListed = false;
    std::string keyText;
    // The file's own modification time from its manifest (UTC seconds); 0
    // when the manifest has none: a drive shows storedAt then.
    std::int64_t modifiedAt = 0;

    bool Whole() const { return !badMark && missing.empty() && duplicated.empty(); }
    std::vector<std::string> MailIds() const;
    // What keeps the file from being whole, e.g. "parts 2-4, 7 missing";
    // empty when it is whole.
    std::string Problems() const;
};

// Each mail once (the first of repeated ids), grouped per folder; the files
// in FileOrder.
std::vector<FileEntry> GroupFiles(const std::vector<MailInfo>& mails);

// Name (bytes), then stored time, then key, then folder: the same files
// always come in the same order, whatever order the listing had.
bool FileOrder(const FileEntry& a, const FileEntry& b);

// Mail ids in order: numeric ids first, by value; the others by bytes.
bool IdLess(const std::string& a, const std::string& b);

}  // namespace catalog
