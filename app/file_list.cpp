#include "app/file_list.h"

#include <algorithm>
#include <unordered_map>

namespace app {

void FileList::Show(FileListing listing) {
    listing_ = std::move(listing);
    Narrow();
}

void FileList::TakeSizes(const std::vector<FileRow>& sized) {
    std::unordered_map<std::string, const catalog::FileEntry*> byKey;
    for (const FileRow& row : sized) byKey.emplace(row.file.key, &row.file);
    for (FileRow& row : listing_.rows) {
        auto found = byKey.find(row.file.key);
        if (found == byKey.end() || !found->second->sizeKnown) continue;
        row.file.sizeKnown = true;
        row.file.size = found->second->size;
        row.file.storedAt = found->second->storedAt;
    }
}

void FileList::SetAttachmentsOnly(bool only) {
    attachmentsOnly_ = only;
    Narrow();
}

void FileList::Narrow() {
    shown_.clear();
    checked_.clear();
    for (std::size_t i = 0; i < listing_.rows.size(); ++i)
        if (!attachmentsOnly_ || listing_.rows[i].attached) shown_.push_back(i);
}

const FileRow* FileList::Row(std::size_t item) const {
    return item < shown_.size() ? &listing_.rows[shown_[item]] : nullptr;
}

void FileList::SetChecked(std::size_t item, bool checked) {
    if (item >= shown_.size()) return;
    if (checked)
        checked_.insert(item);
    else
        checked_.erase(item);
}

bool FileList::Checked(std::size_t item) const {
    return checked_.count(item) != 0;
}

std::vector<std::size_t> FileList::CheckedItems() const {
    return {checked_.begin(), checked_.end()};
}

std::size_t PageStepTop(std::size_t top, std::size_t count, std::size_t visible, int direction) {
    std::size_t lastTop = count > visible ? count - visible : 0;
    if (direction < 0) return top > kListPageRows ? std::min(top - kListPageRows, lastTop) : 0;
    return std::min(top + kListPageRows, lastTop);
}

std::vector<std::string> MailIdsOf(const FileList& list, const std::vector<std::size_t>& items) {
    std::vector<std::string> ids;
    for (std::size_t item : items)
        if (const FileRow* row = list.Row(item))
            for (const std::string& id : row->file.MailIds()) ids.push_back(id);
    return ids;
}

std::vector<std::string> NamesOf(const FileList& list, const std::vector<std::size_t>& items) {
    std::vector<std::string> names;
    for (std::size_t item : items)
        if (const FileRow* row = list.Row(item)) names.push_back(row->file.name);
    return names;
}

}  // namespace app
