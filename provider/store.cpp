#include "store.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>

#include "account_file.h"
#include "atomic_file.h"
#include "random_text.h"
#include "text_rules.h"

namespace provider {

namespace fs = std::filesystem;

namespace {

// Loaded indexes are only ever written by this program; anything odd in
// one means it was edited or damaged, and starting on it could lose data.
bool CheckConsistent(const AccountData& account, std::string& error) {
    std::set<std::int64_t> folderIds;
    for (const FolderRecord& folder : account.userFolders) {
        if (folder.id < kFirstUserFolderId || folder.id >= account.nextFolderId ||
            !folderIds.insert(folder.id).second) {
            error = "bad or repeated folder id " + std::to_string(folder.id);
            return false;
        }
    }
    for (const FolderRecord& folder : account.userFolders) {
        // Every parent exists and every chain of parents ends at the top.
        if ((folder.parent != 0 && !account.HasFolder(folder.parent)) ||
            account.DepthOf(folder.id) > account.userFolders.size() + 1) {
            error = "folder " + std::to_string(folder.id) + " hangs from a missing parent or from itself";
            return false;
        }
    }
    std::set<std::string> messageIds;
    for (const MessageRecord& message : account.messages) {
        if (message.id.empty() || !messageIds.insert(message.id).second) {
            error = "empty or repeated message id '" + message.id + "'";
            return false;
        }
        if (!account.HasFolder(message.fid)) {
            error = "message " + message.id + " lies in unknown folder " + std::to_string(message.fid);
            return false;
        }
    }
    return true;
}

}  // namespace

bool Store::Open(const std::string& root, std::string& error) {
    root_ = root;
    if (!MakeDirectories(root_ + "/accounts")) {
        error = "cannot create the data directory " + root_;
        return false;
    }
    lock_.Reset(::open((root_ + "/lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if (!lock_ || ::fcntl(lock_.Get(), F_SETLK, &whole) != 0) {
        error = "another vantlo-provider is using the data directory " + root_;
        return false;
    }
    std::error_code failure;
    for (const fs::directory_entry& entry : fs::directory_iterator(root_ + "/accounts", failure)) {
        if (!entry.is_directory(failure)) continue;
        if (!fs::exists(entry.path() / "index.txt", failure)) continue;  // an account whose creation broke off
        if (!LoadAccount(entry.path().string(), error)) return false;
    }
    if (failure) {
        error = "cannot read " + root_ + "/accounts: " + failure.message();
        return false;
    }
    for (const auto& [address, account] : accounts_) Sweep(account);
    return true;
}

bool Store::LoadAccount(const std::string& directory, std::string& error) {
    std::string text;
    AccountData account;
    std::string why;
    const std::string index = directory + "/index.txt";
    if (!ReadWholeFile(index, text)) {
        error = "cannot read " + index;
        return false;
    }
    if (!ParseAccount(text, account, why) || !CheckConsistent(account, why)) {
        error = index + ": " + why;
        return false;
    }
    if (fs::path(directory).filename().string() != account.address || !IsValidAddress(account.address)) {
        error = index + ": the address does not match the directory";
        return false;
    }
    accounts_[account.address] = std::move(account);
    return true;
}

void Store::Sweep(const AccountData& account) const {
    std::error_code ignored;
    const std::string directory = AccountDir(account.address);
    std::set<std::string> attachments;
    for (const MessageRecord& message : account.messages)
        if (message.Attached()) attachments.insert(message.id);
    for (const fs::directory_entry& entry : fs::directory_iterator(directory + "/attachments", ignored))
        if (attachments.count(entry.path().filename().string()) == 0) fs::remove(entry.path(), ignored);
    std::set<std::string> uploads;
    for (const ComposeRecord& compose : account.composes) uploads.insert(compose.id + ".upload");
    for (const fs::directory_entry& entry : fs::directory_iterator(directory + "/compose", ignored))
        if (uploads.count(entry.path().filename().string()) == 0) fs::remove(entry.path(), ignored);
    for (const fs::directory_entry& entry : fs::directory_iterator(directory, ignored))
        if (entry.path().filename().string().rfind("index.txt.tmp-", 0) == 0) fs::remove(entry.path(), ignored);
}

std::string Store::AccountDir(const std::string& account) const {
    return root_ + "/accounts/" + account;
}

std::string Store::AttachmentPath(const std::string& account, const std::string& messageId) const {
    return AccountDir(account) + "/attachments/" + messageId;
}

std::string Store::ComposeUploadPath(const std::string& account, const std::string& composeId) const {
    return AccountDir(account) + "/compose/" + composeId + ".upload";
}

bool Store::Persist(const AccountData& account) const {
    return WriteFileAtomically(AccountDir(account.address) + "/index.txt", SerializeAccount(account));
}

bool Store::AddAccount(const std::string& address, const std::string& password, bool& created, std::string& error) {
    created = false;
    if (!IsValidAddress(address)) {
        error = "not a usable account address: " + address;
        return false;
    }
    const std::string canonical = ToLowerAscii(address);
    std::lock_guard<std::mutex> hold(mutex_);
    auto found = accounts_.find(canonical);
    if (found != accounts_.end()) {
        if (found->second.password == password) return true;
        AccountData changed = found->second;
        changed.password = password;
        if (!Persist(changed)) {
            error = "cannot write the account " + canonical;
            return false;
        }
        found->second = std::move(changed);
        return true;
    }
    AccountData account;
    account.address = canonical;
    account.password = password;
    const std::string directory = AccountDir(canonical);
    if (!MakeDirectories(directory + "/attachments") || !MakeDirectories(directory + "/compose") || !Persist(account)) {
        error = "cannot create the account " + canonical + " under " + root_;
        return false;
    }
    accounts_[canonical] = std::move(account);
    created = true;
    return true;
}

std::optional<std::string> Store::Authenticate(std::string_view address, std::string_view password) const {
    std::lock_guard<std::mutex> hold(mutex_);
    const AccountData* account = FindLocked(ToLowerAscii(address));
    if (account == nullptr || account->password != password) return std::nullopt;
    return account->address;
}

bool Store::HasAccount(std::string_view address) const {
    std::lock_guard<std::mutex> hold(mutex_);
    return FindLocked(ToLowerAscii(address)) != nullptr;
}

const AccountData* Store::FindLocked(const std::string& account) const {
    auto found = accounts_.find(account);
    return found == accounts_.end() ? nullptr : &found->second;
}

Fault Store::ChangeLocked(const std::string& account, const std::function<Fault(AccountData&)>& change) {
    auto found = accounts_.find(account);
    if (found == accounts_.end()) return Fault::InvalidSession;
    AccountData copy = found->second;
    Fault fault = change(copy);
    if (fault != Fault::None) return fault;
    if (!Persist(copy)) return Fault::StorageFailed;
    found->second = std::move(copy);
    return Fault::None;
}

Fault Store::Change(const std::string& account, const std::function<Fault(AccountData&)>& change) {
    std::lock_guard<std::mutex> hold(mutex_);
    return ChangeLocked(account, change);
}

MessageRecord Store::NewMessage(AccountData& account) {
    // Ids are "1tbi", the storing order in ten digits and six random
    // letters or digits: 20 characters, unique within the account and
    // never reused.
    MessageRecord message;
    message.seq = account.nextMessageSeq++;
    char sequence[24];
    std::snprintf(sequence, sizeof sequence, "%010lld", static_cast<long long>(message.seq));
    message.id = "1tbi" + std::string(sequence) + RandomAlnum(6);
    return message;
}

}  // namespace provider
