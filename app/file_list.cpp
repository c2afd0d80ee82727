#include "app/file_list.h"

#include <algorithm>
#include <tuple>
#include <unordered_map>

#include "app/file_texts.h"

namespace app {

namespace {
std::string Folded(const std::string& text) {
    std::string folded = text;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

std::uint64_t BytesOf(const FileRow& row) {
    return row.file.sizeKnown ? row.file.size : row.file.listedSize;
}

bool NameLess(const FileRow& a, const FileRow& b) {
    return std::forward_as_tuple(Folded(a.file.name), a.file.name) <
           std::forward_as_tuple(Folded(b.file.name), b.file.name);
}

// Strictly before in the column's ascending order; equal keys fall back to
// the name, so the order never depends on how the listing came.
bool ColumnLess(FileColumn column, const FileRow& a, const FileRow& b) {
    switch (column) {
    case FileColumn::Name: break;
    case FileColumn::Size:
        if (BytesOf(a) != BytesOf(b)) return BytesOf(a) < BytesOf(b);
        break;
    case FileColumn::Modified:
        if (a.file.storedAt != b.file.storedAt) return a.file.storedAt < b.file.storedAt;
        break;
    case FileColumn::Type: {
        std::string ta = Folded(ExtensionOf(a.file.name)), tb = Folded(ExtensionOf(b.file.name));
        if (ta != tb) return ta < tb;
        break;
    }
    }
    return NameLess(a, b);
}
}  // namespace

FileList::FileList() : sortColumn_(FileColumn::Name) {}

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
    SortBy(sortColumn_, descending_);
}

void FileList::SortBy(FileColumn column, bool descending) {
    sortColumn_ = column;
    descending_ = descending;
    const std::vector<FileRow>& rows = listing_.rows;
    std::stable_sort(shown_.begin(), shown_.end(), [&](std::size_t a, std::size_t b) {
        return descending ? ColumnLess(column, rows[b], rows[a]) : ColumnLess(column, rows[a], rows[b]);
    });
}

std::uint64_t FileList::TotalBytes() const {
    std::uint64_t total = 0;
    for (const FileRow& row : listing_.rows) total += BytesOf(row);
    return total;
}

const FileRow* FileList::Row(std::size_t item) const {
    return item < shown_.size() ? &listing_.rows[shown_[item]] : nullptr;
}

void FileList::SetChecked(std::size_t item, bool checked) {
    if (item >= shown_.size()) return;
    if (checked)
        checked_.insert(shown_[item]);
    else
        checked_.erase(shown_[item]);
}

bool FileList::Checked(std::size_t item) const {
    return item < shown_.size() && checked_.count(shown_[item]) != 0;
}

std::vector<std::size_t> FileList::CheckedItems() const {
    std::vector<std::size_t> items;
    for (std::size_t item = 0; item < shown_.size(); ++item)
        if (checked_.count(shown_[item])) items.push_back(item);
    return items;
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
