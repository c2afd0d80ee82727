// Folder ids as the windows know them: decimal numbers, as the webmail
// provider numbers its folders (1 the inbox, 2 to 10 the fixed folders,
// 65550 on the user's own). The tree keeps them as item data and decides by
// them what a folder offers.
//
// A webmail store's ids are these numbers already and pass through as they
// are. Any other store (IMAP names its folders by their full names) gets a
// number per folder: its inbox 1, its other fixed folders 2, 3, 5, ... 10 (4
// stays the webmail trash's), the rest 65550 on, in the order first seen.
// A folder keeps its number for the life of the map, so a tree item never
// comes to name another folder; a name that looks like a number is never
// taken for one.
//
// User-interface thread only.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/model.h"
#include "catalog/mail_store.h"

namespace app {

// The trash, where deletes put files: the webmail's number 4, or a folder
// named as IMAP servers name theirs. Nothing a store offers empties it for
// good, so the windows never claim to.
bool IsTrashFolder(const std::string& viewId, const std::string& name);

class FolderIds {
public:
    // `inboxId` is the store's InboxId(); a decimal one means the store's
    // ids are numbers already, an empty one (IMAP) that INBOX is the inbox.
    explicit FolderIds(const std::string& inboxId);

    // The folders as the windows show them, each under its number.
    FolderList Show(const std::vector<catalog::FolderInfo>& folders);
    // The number of a folder the store named (one just made); given one if new.
    std::string ViewId(const std::string& storeId, bool system = false);
    // The store's id behind a number; empty when no folder has it.
    std::string StoreId(const std::string& viewId) const;

private:
    bool passThrough_;
    std::string inboxId_;
    std::map<std::string, std::uint64_t> byStore_;
    std::map<std::uint64_t, std::string> byView_;
    std::uint64_t nextFixed_ = 2;
    std::uint64_t nextOwn_;
};

}  // namespace app
