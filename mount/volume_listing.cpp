// What the volume shows: listings (cached for a while), the names a
// directory shows, attributes and states.
#include "mount/volume.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "catalog/drive_file.h"
#include "catalog/drive_names.h"
#include "catalog/file_sizes.h"
#include "catalog/format_values.h"
#include "catalog/part_mark.h"
#include "catalog/writeback_store.h"
#include "mount/errno_map.h"
#include "mount/log.h"
#include "mount/volume_detail.h"

namespace mount {

int Volume::RefreshListing(const std::string& folderId) {
    std::uint64_t reading = 0;
    {
        Lock lock(mutex_);
        reading = ++listings_[folderId].readingsBegun;
    }
    std::vector<catalog::FileEntry> files;
    bool vault = false, unlocked = false;
    std::map<std::string, catalog::FileEntry> sealed;
    Outcome outcome = pool_.Run([&](catalog::MailStore& store) {
        Outcome listed = catalog::ListFiles(store, folderId, files);
        if (!listed.Ok()) return listed;
        std::lock_guard<std::mutex> lock(manifestsMutex_);
        const std::size_t known = manifests_.Size();
        // Its readers fork within the pool's budget: as many as are free.
        Outcome filled = catalog::FillFileSizes(store, manifests_, files, catalog::kDefaultReaders);
        // Kept at once: a mount killed later still lists this folder quickly next time.
        if (manifests_.Size() != known && !options_.manifestFile.empty()) manifests_.Save(options_.manifestFile);
        if (filled.Ok()) ShowVault(store, folderId, files, vault, unlocked, sealed);
        return filled;
    });
    if (!outcome.Ok()) return LogFailure("listing folder", folderId, outcome);
    Lock lock(mutex_);
    Listing& listing = listings_[folderId];
    if (reading < listing.shownReading) return 0;  // a later reading is shown already
    listing.shownReading = reading;
    listing.loaded = true;
    listing.vault = vault;
    listing.unlocked = unlocked;
    listing.sealed = std::move(sealed);
    listing.at = Clock::now();
    listing.files = std::move(files);
    listing.viewEpoch = 0;
    listing.view.clear();
    return 0;
}

bool Volume::ListStored(const std::string& folderId, const catalog::StoredFile& stored, std::int64_t modifiedNs) {
    auto found = listings_.find(folderId);
    if (found == listings_.end() || !found->second.loaded || found->second.vault) return false;
    const auto parts = static_cast<std::uint32_t>(stored.plan.parts.size());
    std::vector<catalog::MailInfo> mails;
    for (std::size_t i = 0; i < stored.plan.parts.size() && i < stored.mailIds.size(); ++i) {
        const catalog::UploadPart& part = stored.plan.parts[i];
        catalog::MailInfo mail;
        mail.id = stored.mailIds[i];
        mail.folderId = folderId;
        mail.subject =
            catalog::PartSubject(stored.plan.name, part.number, parts, catalog::UploadTag(stored.plan.uploadId));
        mail.size = part.size;
        mail.receivedAt = stored.plan.stored;
        mail.attached = true;
        mails.push_back(std::move(mail));
    }
    std::vector<catalog::FileEntry> grouped = catalog::GroupFiles(mails);
    if (grouped.size() != 1 || !grouped.front().Whole()) return false;
    catalog::FileEntry& entry = grouped.front();
    entry.sizeKnown = true;
    entry.size = stored.plan.size;
    entry.storedAt = stored.plan.stored;
    entry.modifiedAt = modifiedNs / 1000000000;
    std::vector<catalog::FileEntry>& files = found->second.files;
    files.erase(std::remove_if(files.begin(), files.end(),
                               [&](const catalog::FileEntry& file) { return file.key == entry.key; }),
                files.end());
    files.insert(std::upper_bound(files.begin(), files.end(), entry, catalog::FileOrder), entry);
    found->second.viewEpoch = 0;
    return true;
}

bool Volume::Listed(const std::string& folderId, const std::vector<std::string>& mailIds) const {
    auto found = listings_.find(folderId);
    if (found == listings_.end() || mailIds.empty()) return false;
    const std::vector<catalog::FileEntry>& files = found->second.files;
    return std::any_of(files.begin(), files.end(),
                       [&](const catalog::FileEntry& file) { return file.key == mailIds.front(); });
}

int Volume::EnsureListing(const std::string& folderId) {
    {
        Lock lock(mutex_);
        auto found = listings_.find(folderId);
        if (found != listings_.end() && found->second.loaded &&
            Clock::now() - found->second.at < std::chrono::milliseconds(options_.dirCacheMs))
            return 0;
    }
    return RefreshListing(folderId);
}

const std::map<std::string, Volume::Node>& Volume::View(const std::string& folderId) {
    Listing& listing = listings_[folderId];
    if (listing.viewEpoch == viewEpoch_) return listing.view;
    if (listing.Locked()) {  // sealed names and bytes: nothing to show without the key
        listing.view.clear();
        listing.viewEpoch = viewEpoch_;
        return listing.view;
    }
    std::set<std::string> hidden = hidden_;
    // A pending store that rewrites a stored file in place takes that
    // file's place among its namesakes, so it keeps the name it was opened
    // by (a duplicate's mark included).
    std::map<std::string, std::shared_ptr<Pending>> inPlaceOf;
    std::vector<std::shared_ptr<Pending>> here;
    for (const auto& pending : pending_) {
        hidden.insert(pending->record.replaces.begin(), pending->record.replaces.end());
        if (pending->record.folderId != folderId || pending->removed) continue;
        here.push_back(pending);
        if (!pending->record.replaces.empty()) inPlaceOf.emplace(pending->record.replaces.front(), pending);
    }
    std::set<const Pending*> placed;
    for (const catalog::FileEntry& file : listing.files) {
        auto rewritten = inPlaceOf.find(file.key);
        if (rewritten != inPlaceOf.end()) placed.insert(rewritten->second.get());
    }
    // A new file under way shows under its name, over what is listed under
    // the same name (its own parts stored so far, for one).
    std::vector<Node> nodes;
    std::vector<catalog::Named> names;
    std::set<std::string> underWay;
    for (const auto& pending : here) {
        if (placed.count(pending.get())) continue;
        nodes.push_back({nullptr, pending});
        names.push_back({pending->record.name,
                         pending->record.replaces.empty() ? pending->record.id : pending->record.replaces.front()});
        underWay.insert(pending->record.name);
    }
    for (const catalog::FileEntry& file : listing.files) {
        auto rewritten = inPlaceOf.find(file.key);
        if (rewritten != inPlaceOf.end() && placed.count(rewritten->second.get())) {
            nodes.push_back({nullptr, rewritten->second});
            names.push_back({rewritten->second->record.name, file.key});
            placed.erase(rewritten->second.get());  // once
            continue;
        }
        std::vector<std::string> ids = file.MailIds();
        if (underWay.count(file.name) ||
            std::any_of(ids.begin(), ids.end(), [&](const std::string& id) { return hidden.count(id) > 0; }))
            continue;
        nodes.push_back({&file, nullptr});
        names.push_back({file.name, file.key});
    }
    std::vector<std::string> shown = catalog::UniqueNames(names);
    listing.view.clear();
    for (std::size_t i = 0; i < shown.size(); ++i) listing.view[shown[i]] = nodes[i];
    listing.viewEpoch = viewEpoch_;
    return listing.view;
}

int Volume::Lookup(const Path& path, std::string& folderId, Node& node, catalog::FileEntry& file) {
    if (path.depth < 2) return -ENOENT;
    int error = FolderId(path.dir, folderId);
    if (!error) error = EnsureListing(folderId);
    if (error) return error;
    Lock lock(mutex_);
    const auto& view = View(folderId);
    auto found = view.find(path.name);
    if (found == view.end()) return -ENOENT;
    node = found->second;
    if (node.file) file = *node.file;
    node.file = node.file ? &file : nullptr;
    return 0;
}

void Volume::FillAttr(const Node& node, Attr& attr) {
    attr = {};
    if (node.pending) {
        node.pending->file.Size(attr.size);
        if (!node.pending->filled) attr.size = ShownSize(node.pending->source);
        attr.modifiedNs = node.pending->record.modifiedNs
                              ? node.pending->record.modifiedNs
                              : ModifiedNanoseconds(journal_.DataPath(node.pending->record));
    } else if (node.file) {
        attr.size = ShownSize(*node.file);
        std::int64_t ns = times_.Find(node.file->key, attr.size);
        // The file's own time from its manifest, so that a tree copied in
        // keeps its times on any machine and after the cache is wiped.
        if (!ns) ns = (node.file->modifiedAt > 0 ? node.file->modifiedAt : node.file->storedAt) * 1000000000;
        attr.modifiedNs = ns;
    }
}

int Volume::GetAttr(const std::string& path, Attr& attr) {
    Path split = Split(path);
    if (split.depth < 0) return -ENOENT;
    std::string id;
    const int folderError = split.depth == 0 ? 0 : FolderId(split.full, id);
    if (folderError && folderError != -ENOENT) return folderError;
    if (!folderError) {
        attr = {};
        attr.directory = true;
        Lock lock(mutex_);
        auto known = listings_.find(id);
        attr.readOnly = known != listings_.end() && known->second.Locked();
        return 0;
    }
    std::string folderId;
    Node node;
    catalog::FileEntry file;
    int error = Lookup(split, folderId, node, file);
    if (!error) {
        Lock lock(mutex_);
        FillAttr(node, attr);
        attr.readOnly = listings_[folderId].Locked();
    }
    return error;
}

int Volume::ReadDir(const std::string& path, std::vector<DirEntry>& entries) {
    Path split = Split(path);
    entries.clear();
    if (split.depth < 0) return -ENOENT;
    std::map<std::string, catalog::FolderInfo> folders;
    int error = Folders(folders);
    if (error) return error;
    std::set<std::string> subfolders;
    const std::string prefix = split.depth == 0 ? "" : split.full + "/";
    for (auto& [shown, info] : folders) {
        if (shown.compare(0, prefix.size(), prefix) != 0 || shown.find('/', prefix.size()) != std::string::npos)
            continue;
        DirEntry entry{shown.substr(prefix.size()), {}};
        entry.attr.directory = true;
        entries.push_back(entry);
        subfolders.insert(entry.name);
    }
    if (split.depth == 0) return 0;
    auto found = folders.find(split.full);
    if (found == folders.end()) return -ENOTDIR;
    const std::string folderId = found->second.id;
    error = EnsureListing(folderId);
    if (error) return error;
    Lock lock(mutex_);
    // Its folders too: all below a vault is its.
    if (listings_[folderId].Locked()) entries.clear();
    for (auto& [name, node] : View(folderId)) {
        if (subfolders.count(name)) continue;  // a folder's name wins over a file's
        DirEntry entry{name, {}};
        FillAttr(node, entry.attr);
        entry.attr.readOnly = listings_[folderId].Locked();
        entries.push_back(entry);
    }
    return 0;
}

int Volume::Trash(const std::string& folderId, const std::vector<std::string>& ids, bool relist) {
    if (ids.empty()) return relist ? RefreshListing(folderId) : 0;
    {
        Lock lock(mutex_);
        hidden_.insert(ids.begin(), ids.end());
        ++viewEpoch_;
    }
    Outcome outcome = pool_.Run([&](catalog::MailStore& store) { return store.DeleteMails(ids); });
    if (outcome.code == catalog::StoreCode::NotFound) outcome = {};  // gone already
    if (relist || !outcome.Ok()) RefreshListing(folderId);
    Lock lock(mutex_);
    if (!relist && outcome.Ok()) {
        const std::set<std::string> gone(ids.begin(), ids.end());
        std::vector<catalog::FileEntry>& files = listings_[folderId].files;
        files.erase(std::remove_if(files.begin(), files.end(),
                                   [&](const catalog::FileEntry& file) {
                                       const std::vector<std::string> mails = file.MailIds();
                                       return std::any_of(mails.begin(), mails.end(),
                                                          [&](const std::string& id) { return gone.count(id) > 0; });
                                   }),
                    files.end());
        listings_[folderId].viewEpoch = 0;
    }
    for (const std::string& id : ids) hidden_.erase(id);
    ++viewEpoch_;
    lock.unlock();
    return outcome.Ok() ? 0 : LogFailure("removing", folderId, outcome);
}

int Volume::GetXattr(const std::string& path, const std::string& name, std::string& value) {
    Path split = Split(path);
    std::string vaultId;
    if (split.depth >= 1 && FolderId(split.full, vaultId) == 0) {
        if (name != "user.vantlo.vault" || RefuseInVault(vaultId) != -EACCES) return -ENODATA;
        Lock lock(mutex_);
        value = listings_[vaultId].unlocked
                    ? "open: its files show by their own names; what is written here is sealed before it is stored"
                    : "locked: a vault; its files are sealed and show only where the vault's passphrase was given";
        return 0;
    }
    if (split.depth < 2) return split.depth < 0 ? -ENOENT : -ENODATA;
    std::string folderId;
    Node node;
    catalog::FileEntry file;
    int error = Lookup(split, folderId, node, file);
    if (error) return error;
    Lock lock(mutex_);
    if (name == "user.vantlo.state") {
        if (node.pending && !node.pending->damage.empty())
            value = "failed: " + node.pending->damage;
        else if (node.pending && node.pending->untouched)
            value = "stored";
        else if (node.pending)
            value = !node.pending->lastFailure.Ok() && !node.pending->storing ? "failed" : "pending";
        else
            value = !file.Whole() ? "incomplete" : Damaged(file) ? "damaged" : "stored";
        return 0;
    }
    if (name == "user.vantlo.key" && (!node.pending || node.pending->untouched)) {
        value = node.pending ? node.pending->source.key : file.key;
        return 0;
    }
    return -ENODATA;
}

}  // namespace mount
