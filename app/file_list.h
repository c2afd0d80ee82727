// The files the list shows: the open folder's files (or those a search
// found), each one row however many parts it has, narrowed when only files
// with an attachment are wanted, with the check boxes of the rows. Portable:
// the list view reads its rows from here by index (it is virtual), so a
// folder of any length is one vector and no control holds a copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "catalog/file_grouping.h"

namespace app {
enum class FileColumn;
}

namespace app {

// The rows one step of "上一页"/"下一页" moves the list by.
constexpr std::size_t kListPageRows = 50;

struct FileRow {
    catalog::FileEntry file;
    std::string receivedDate;  // the key mail's "year,month,day,hour,minute,second", as listed
    std::string sentDate;      // the same form, as the sender dated it
    std::string from;          // the key mail's sender
    bool attached = false;     // the key mail carries an attachment
    bool read = false;         // the key mail has been read
    std::size_t place = 0;     // the key mail's place in the provider's listing
};

// A vault folder (vault/) shows nothing while locked; opened, its files by
// their own names and sizes.
enum class VaultState { None, Locked, Open };

struct FileListing {
    std::string folderId;
    std::string searchText;  // empty: the folder's files; else the files a search found in it
    std::vector<FileRow> rows;
    VaultState vault = VaultState::None;
};

class FileList {
public:
    FileList();
    // Replaces the files; the check boxes are cleared with them.
    void Show(FileListing listing);
    // Sets sizes that were read after the listing came (same keys).
    void TakeSizes(const std::vector<FileRow>& sized);

    // "只看附件": only rows whose key mail carries an attachment. Checks go.
    void SetAttachmentsOnly(bool only);
    bool AttachmentsOnly() const { return attachmentsOnly_; }

    const std::string& FolderId() const { return listing_.folderId; }
    const std::string& SearchText() const { return listing_.searchText; }
    std::size_t FileCount() const { return listing_.rows.size(); }
    // The folder is a vault: its files are sealed (vault/).
    bool IsVault() const { return listing_.vault != VaultState::None; }
    VaultState Vault() const { return listing_.vault; }

    // The rows shown now, by list item index.
    std::size_t Count() const { return shown_.size(); }
    // Null past the end.
    const FileRow* Row(std::size_t item) const;

    // The rows in the order of a column, ascending or not; kept for the
    // listings that follow. Names compare without case, then as bytes; ties
    // keep the listing's order. Checks stay with their files.
    void SortBy(FileColumn column, bool descending);
    FileColumn SortColumn() const { return sortColumn_; }
    bool SortDescending() const { return descending_; }
    // The bytes of all the folder's files (each file's exact size when known).
    std::uint64_t TotalBytes() const;

    void SetChecked(std::size_t item, bool checked);
    bool Checked(std::size_t item) const;
    std::vector<std::size_t> CheckedItems() const;

private:
    void Narrow();

    FileListing listing_;
    bool attachmentsOnly_ = false;
    FileColumn sortColumn_;
    bool descending_ = false;
    std::vector<std::size_t> shown_;  // indexes into listing_.rows
    std::set<std::size_t> checked_;   // indexes into listing_.rows
};

// The top row after one page step from `top` (direction -1 or +1) in a list
// of `count` rows of which `visible` fit: a whole page further, never past
// the last full screen nor before the first row.
std::size_t PageStepTop(std::size_t top, std::size_t count, std::size_t visible, int direction);

// The mail ids of every part of the files at those items, in item order.
std::vector<std::string> MailIdsOf(const FileList& list, const std::vector<std::size_t>& items);
// The names of the files at those items, in item order.
std::vector<std::string> NamesOf(const FileList& list, const std::vector<std::size_t>& items);

}  // namespace app
