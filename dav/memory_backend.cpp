#include "dav/memory_backend.h"

#include <chrono>
#include <cstring>

#include "catalog/sha256.h"

namespace dav {
namespace {

using Lock = std::lock_guard<std::mutex>;

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string Digest(const std::string& bytes) {
    catalog::Sha256 sha;
    sha.Update(bytes.data(), bytes.size());
    return sha.FinishHex();
}

std::string BaseName(const std::string& path) {
    return path == "/" ? "" : path.substr(path.rfind('/') + 1);
}

// True when `path` lies below `dir` (not `dir` itself).
bool Below(const std::string& path, const std::string& dir) {
    std::string prefix = dir == "/" ? "/" : dir + "/";
    return path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

MemoryBackend::MemoryBackend() {
    Node root;
    root.directory = true;
    root.modifiedNs = root.createdNs = NowNs();
    nodes_["/"] = root;
}

std::string MemoryBackend::Parent(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool MemoryBackend::HasChildren(const std::string& path) const {
    auto it = nodes_.upper_bound(path == "/" ? "/" : path + "/");
    return it != nodes_.end() && Below(it->first, path);
}

std::uint64_t MemoryBackend::UsedLocked() const {
    std::uint64_t used = 0;
    for (const auto& node : nodes_) used += node.second.content->size();
    return used;
}

Status MemoryBackend::GetAttr(const std::string& path, Entry& entry) {
    Lock lock(mutex_);
    auto it = nodes_.find(path);
    if (it == nodes_.end()) return Status::NotFound;
    entry.name = BaseName(path);
    entry.directory = it->second.directory;
    entry.size = it->second.directory ? 0 : it->second.content->size();
    entry.modifiedNs = it->second.modifiedNs;
    entry.createdNs = it->second.createdNs;
    entry.sha256 = it->second.sha256;
    return Status::Ok;
}

Status MemoryBackend::ReadDir(const std::string& path, std::vector<Entry>& entries) {
    Lock lock(mutex_);
    auto dir = nodes_.find(path);
    if (dir == nodes_.end()) return Status::NotFound;
    if (!dir->second.directory) return Status::NotDirectory;
    entries.clear();
    for (auto it = nodes_.upper_bound(path); it != nodes_.end() && Below(it->first, path); ++it) {
        if (Parent(it->first) != path) continue;
        Entry entry;
        entry.name = BaseName(it->first);
        entry.directory = it->second.directory;
        entry.size = entry.directory ? 0 : it->second.content->size();
        entry.modifiedNs = it->second.modifiedNs;
        entry.createdNs = it->second.createdNs;
        entry.sha256 = it->second.sha256;
        entries.push_back(entry);
    }
    return Status::Ok;
}

Status MemoryBackend::MakeDir(const std::string& path) {
    Lock lock(mutex_);
    if (nodes_.count(path)) return Status::Exists;
    auto parent = nodes_.find(Parent(path));
    if (parent == nodes_.end()) return Status::NotFound;
    if (!parent->second.directory) return Status::NotDirectory;
    Node node;
    node.directory = true;
    node.modifiedNs = node.createdNs = NowNs();
    nodes_[path] = node;
    return Status::Ok;
}

Status MemoryBackend::RemoveDir(const std::string& path) {
    Lock lock(mutex_);
    auto it = nodes_.find(path);
    if (it == nodes_.end()) return Status::NotFound;
    if (!it->second.directory) return Status::NotDirectory;
    if (path == "/") return Status::Denied;
    if (HasChildren(path)) return Status::NotEmpty;
    nodes_.erase(it);
    return Status::Ok;
}

Status MemoryBackend::Unlink(const std::string& path) {
    Lock lock(mutex_);
    auto it = nodes_.find(path);
    if (it == nodes_.end()) return Status::NotFound;
    if (it->second.directory) return Status::IsDirectory;
    nodes_.erase(it);
    return Status::Ok;
}

Status MemoryBackend::Rename(const std::string& from, const std::string& to, bool replace) {
    Lock lock(mutex_);
    auto source = nodes_.find(from);
    if (source == nodes_.end()) return Status::NotFound;
    if (from == "/" || to == "/" || Below(to, from)) return Status::Denied;
    if (from == to) return Status::Ok;
    auto target = nodes_.find(to);
    if (target != nodes_.end()) {
        if (!replace) return Status::Exists;
        if (target->second.directory != source->second.directory)
            return target->second.directory ? Status::IsDirectory : Status::NotDirectory;
        if (target->second.directory && HasChildren(to)) return Status::NotEmpty;
        nodes_.erase(target);
    }
    std::map<std::string, Node> moved;
    for (auto it = nodes_.lower_bound(from); it != nodes_.end() && (it->first == from || Below(it->first, from));) {
        moved[to + it->first.substr(from.size())] = it->second;
        it = nodes_.erase(it);
    }
    nodes_.insert(moved.begin(), moved.end());
    return Status::Ok;
}

Status MemoryBackend::Create(const std::string& path, std::uint64_t& handle) {
    Lock lock(mutex_);
    auto parent = nodes_.find(Parent(path));
    if (parent == nodes_.end()) return Status::NotFound;
    if (!parent->second.directory) return Status::NotDirectory;
    auto it = nodes_.find(path);
    if (it != nodes_.end() && it->second.directory) return Status::IsDirectory;
    Node& node = nodes_[path];
    // A fresh buffer: readers that opened the old content keep reading it.
    node.content = std::make_shared<std::string>();
    node.modifiedNs = NowNs();
    if (!node.createdNs) node.createdNs = node.modifiedNs;
    node.sha256 = Digest("");
    handle = nextHandle_++;
    open_[handle] = OpenFile{path, node.content, true};
    return Status::Ok;
}

Status MemoryBackend::Open(const std::string& path, std::uint64_t& handle) {
    Lock lock(mutex_);
    auto it = nodes_.find(path);
    if (it == nodes_.end()) return Status::NotFound;
    if (it->second.directory) return Status::IsDirectory;
    handle = nextHandle_++;
    open_[handle] = OpenFile{path, it->second.content, false};
    return Status::Ok;
}

Status MemoryBackend::Read(std::uint64_t handle, char* buffer, std::size_t size, std::uint64_t offset,
                           std::size_t& got) {
    Lock lock(mutex_);
    auto it = open_.find(handle);
    if (it == open_.end()) return Status::Failed;
    const std::string& content = *it->second.content;
    got = offset >= content.size() ? 0 : std::min<std::uint64_t>(size, content.size() - offset);
    if (got) std::memcpy(buffer, content.data() + offset, got);
    return Status::Ok;
}

Status MemoryBackend::Write(std::uint64_t handle, const char* buffer, std::size_t size, std::uint64_t offset) {
    Lock lock(mutex_);
    auto it = open_.find(handle);
    if (it == open_.end() || !it->second.writing) return Status::Failed;
    std::string& content = *it->second.content;
    std::uint64_t end = offset + size;
    if (end > content.size() && UsedLocked() + (end - content.size()) > capacity_) return Status::NoSpace;
    if (end > content.size()) content.resize(end);
    std::memcpy(&content[offset], buffer, size);
    return Status::Ok;
}

Status MemoryBackend::Release(std::uint64_t handle) {
    Lock lock(mutex_);
    auto it = open_.find(handle);
    if (it == open_.end()) return Status::Failed;
    if (it->second.writing) {
        auto node = nodes_.find(it->second.path);
        if (node != nodes_.end() && node->second.content == it->second.content) {
            node->second.sha256 = Digest(*node->second.content);
            node->second.modifiedNs = NowNs();
        }
    }
    open_.erase(it);
    return Status::Ok;
}

Status MemoryBackend::SetModified(const std::string& path, std::int64_t modifiedNs) {
    Lock lock(mutex_);
    auto it = nodes_.find(path);
    if (it == nodes_.end()) return Status::NotFound;
    it->second.modifiedNs = modifiedNs;
    return Status::Ok;
}

Quota MemoryBackend::GetQuota() {
    Lock lock(mutex_);
    Quota quota;
    quota.known = true;
    quota.used = UsedLocked();
    quota.available = quota.used < capacity_ ? capacity_ - quota.used : 0;
    return quota;
}

void MemoryBackend::SetCapacity(std::uint64_t bytes) {
    Lock lock(mutex_);
    capacity_ = bytes;
}

}  // namespace dav
