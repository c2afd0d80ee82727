// What a command-line argument names in the mailbox: a folder (by path of
// names, or by its id), a file (by path, or by its key) or nothing yet.
// Paths separate levels with "/"; a name's own "/" is written "／"
// (catalog/folder_tree.h). An argument of digits is a folder's id, as it
// always was; "/2026" names a folder called 2026 at the top. A file in a
// folder is named as the drive shows it (catalog/drive_names.h).
#pragma once

#include <string>
#include <vector>

#include "catalog/file_grouping.h"
#include "catalog/folder_tree.h"
#include "cli/command.h"

namespace cli {

struct RemotePath {
    enum class Kind { Folder, File, Missing };
    Kind kind = Kind::Missing;
    std::string folderId;  // the folder; for a file or a missing path, the folder it is (would be) in
    std::string key;       // a file's key
    std::string name;      // the last level as written (a missing path's new name)
    bool parentFound = false;
};

// What a tree command given "/" says: the top holds folders, no files.
extern const char* const kTopHoldsFolders;

// Loads the tree once and answers for many arguments.
class RemotePaths {
public:
    RemotePaths(Context& context, catalog::MailStore& store) : context_(context), store_(store) {}

    // keys false: the argument is a place to put things, so a single level
    // that is no folder is a folder still to make, never a file's key.
    catalog::Outcome Resolve(const std::string& argument, RemotePath& path, bool keys = true);
    // For commands that want a file: a key (a single level, no "/") is
    // taken as it stands, with no listing, as it always was.
    catalog::Outcome ResolveFile(const std::string& argument, RemotePath& path);
    // For commands that want a folder: its id, or NotFound naming the argument.
    catalog::Outcome ResolveFolder(const std::string& argument, std::string& folderId);
    catalog::FolderTree& Tree();  // loaded on first use
    catalog::Outcome Loaded();
    // "工作文档/2026" for a folder id, for messages.
    std::string Shown(const std::string& folderId);

private:
    Context& context_;
    catalog::MailStore& store_;
    catalog::FolderTree tree_;
    bool loaded_ = false;
    catalog::Outcome loadOutcome_;
};

}  // namespace cli
