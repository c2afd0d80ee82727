// Listing, finding and locating files, and the operations that act on all
// of a file's mails at once.
#include <algorithm>

#include "catalog/catalog.h"
#include "catalog/manifest.h"
#include "catalog/part_mark.h"

namespace catalog {
namespace {

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool HasMail(const std::vector<MailInfo>& mails, const std::string& id) {
    return std::any_of(mails.begin(), mails.end(), [&](const MailInfo& mail) { return mail.id == id; });
}

// The listing of the folder that holds `key`, when no search found it.
Outcome ScanFoldersFor(MailStore& store, const std::string& key, std::vector<MailInfo>& mails) {
    std::vector<FolderInfo> folders;
    Outcome outcome = store.ListFolders(folders);
    if (!outcome.Ok()) return outcome;
    for (const FolderInfo& folder : folders) {
        outcome = store.ListMails(folder.id, mails);
        if (!outcome.Ok()) return outcome;
        if (HasMail(mails, key)) return Success();
    }
    return Failure(StoreCode::NotFound, "no folder holds mail " + key);
}

}  // namespace

bool ContainsIgnoringAsciiCase(const std::string& text, const std::string& part) {
    auto same = [](char a, char b) { return AsciiLower(a) == AsciiLower(b); };
    return std::search(text.begin(), text.end(), part.begin(), part.end(), same) != text.end();
}

Outcome ListFiles(MailStore& store, const std::string& folderId, std::vector<FileEntry>& files) {
    std::vector<MailInfo> mails;
    Outcome outcome = store.ListMails(folderId, mails);
    if (outcome.Ok()) files = GroupFiles(mails);
    return outcome;
}

Outcome FindFiles(MailStore& store, const std::string& text, const std::string& folderId,
                  std::vector<FileEntry>& files) {
    std::vector<MailInfo> mails;
    Outcome outcome = store.SearchMails(text, folderId, mails);
    if (!outcome.Ok()) return outcome;
    // The search also matches the part marks; only names count.
    files = GroupFiles(mails);
    files.erase(std::remove_if(files.begin(), files.end(),
                               [&](const FileEntry& file) { return !ContainsIgnoringAsciiCase(file.name, text); }),
                files.end());
    return Success();
}

Outcome LocateFile(MailStore& store, const std::string& key, FileEntry& entry, MailText& keyMail) {
    Outcome outcome = store.ReadMailText(key, keyMail);
    if (!outcome.Ok())
        return Failure(outcome.code, "key " + key + (outcome.detail.empty() ? "" : ": " + outcome.detail));
    SubjectMark mark = ReadSubject(keyMail.subject);
    if (mark.kind != SubjectKind::Part) {
        entry = FileEntry();
        entry.key = key;
        entry.name = mark.name;
        entry.badMark = mark.kind == SubjectKind::BadMark;
        entry.present.push_back({1, key, 0});
        return Success();
    }

    std::vector<MailInfo> mails;
    outcome = store.SearchMails(mark.name, {}, mails);
    if (outcome.Ok() && !HasMail(mails, key)) outcome = ScanFoldersFor(store, key, mails);
    if (!outcome.Ok()) return outcome;
    // Groups never span folders: the one that holds the key lies in the key's folder.
    for (FileEntry& file : GroupFiles(mails)) {
        for (const FilePart& part : file.present) {
            if (part.mailId != key) continue;
            entry = std::move(file);
            return Success();
        }
    }
    return Failure(StoreCode::NotFound, "mail " + key + " is not in its folder's listing");
}

Outcome StatFile(MailStore& store, const std::string& key, FileDetails& details) {
    details = FileDetails();
    MailText keyMail;
    Outcome outcome = LocateFile(store, key, details.entry, keyMail);
    if (!outcome.Ok()) return outcome;
    Manifest manifest;
    std::string problem;
    ManifestRead read = ReadManifest(keyMail.text, manifest, problem);
    if (read == ManifestRead::Malformed) {
        details.damaged = problem;
        return Failure(StoreCode::Corrupt, "the manifest of mail " + key + " is damaged: " + problem);
    }
    details.hasManifest = read == ManifestRead::Ok;
    if (details.hasManifest) {
        details.size = manifest.size;
        details.sha256 = manifest.sha256;
        details.uploadId = manifest.uploadId;
        details.stored = manifest.stored;
    } else {
        details.size = keyMail.attachments.empty() ? 0 : keyMail.attachments.front().length;
        details.stored = details.entry.storedAt;
    }
    return Success();
}

Outcome RemoveFile(MailStore& store, const std::string& key) {
    FileEntry entry;
    MailText keyMail;
    Outcome outcome = LocateFile(store, key, entry, keyMail);
    return outcome.Ok() ? store.DeleteMails(entry.MailIds()) : outcome;
}

Outcome MoveFile(MailStore& store, const std::string& key, const std::string& folderId) {
    FileEntry entry;
    MailText keyMail;
    Outcome outcome = LocateFile(store, key, entry, keyMail);
    return outcome.Ok() ? store.MoveMails(entry.MailIds(), folderId) : outcome;
}

}  // namespace catalog
