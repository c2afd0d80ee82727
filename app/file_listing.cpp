#include "app/file_listing.h"

#include <algorithm>
#include <ctime>
#include <unordered_map>

#include "app/file_texts.h"
#include "catalog/catalog.h"

namespace app {

std::string DateCellOf(std::int64_t seconds) {
    std::tm local{};
    if (seconds == 0 || !LocalTimeOf(seconds, local)) return {};
    return std::to_string(local.tm_year + 1900) + "," + std::to_string(local.tm_mon + 1) + "," +
           std::to_string(local.tm_mday) + "," + std::to_string(local.tm_hour) + "," + std::to_string(local.tm_min) +
           "," + std::to_string(local.tm_sec);
}

catalog::Outcome ListFolderFiles(catalog::MailStore& store, const std::string& folderId, const std::string& searchText,
                                 FileListing& listing) {
    std::vector<catalog::MailInfo> mails;
    catalog::Outcome outcome =
        searchText.empty() ? store.ListMails(folderId, mails) : store.SearchMails(searchText, folderId, mails);
    if (!outcome.Ok()) return outcome;
    // Where each mail came in the listing: the provider lists newest first.
    std::unordered_map<std::string, std::size_t> placeOf;
    for (std::size_t i = 0; i < mails.size(); ++i) placeOf.emplace(mails[i].id, i);
    listing.folderId = folderId;
    listing.searchText = searchText;
    listing.rows.clear();
    for (catalog::FileEntry& file : catalog::GroupFiles(mails)) {
        // The search also matches the part marks of subjects; only names count.
        if (!searchText.empty() && !catalog::ContainsIgnoringAsciiCase(file.name, searchText)) continue;
        FileRow row;
        auto key = placeOf.find(file.key);
        if (key != placeOf.end()) {
            const catalog::MailInfo& mail = mails[key->second];
            row.receivedDate = DateCellOf(mail.receivedAt);
            row.sentDate = DateCellOf(mail.sentAt);
            row.from = mail.from;
            row.attached = mail.attached;
            row.read = mail.read;
            row.place = key->second;
        }
        row.file = std::move(file);
        listing.rows.push_back(std::move(row));
    }
    // In the provider's order of their key mails (newest first), as the
    // list has always shown a folder.
    std::stable_sort(listing.rows.begin(), listing.rows.end(),
                     [](const FileRow& a, const FileRow& b) { return a.place < b.place; });
    return outcome;
}

}  // namespace app
