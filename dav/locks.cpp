#include "dav/locks.h"

#include <random>

#include "dav/paths.h"

namespace dav {
namespace {

using Clock = std::chrono::steady_clock;
using Guard = std::lock_guard<std::mutex>;

std::string UuidToken() {
    std::string hex = RandomHex(16);
    return "opaquelocktoken:" + hex.substr(0, 8) + '-' + hex.substr(8, 4) + '-' + hex.substr(12, 4) + '-' +
           hex.substr(16, 4) + '-' + hex.substr(20);
}

bool Overlap(const LockInfo& held, const std::string& root, bool infinite) {
    return held.root == root || (held.infinite && IsWithin(root, held.root)) || (infinite && IsWithin(held.root, root));
}

}  // namespace

std::string RandomHex(std::size_t bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::random_device source;
    std::string hex;
    for (std::size_t i = 0; i < bytes; i += 4) {
        std::uint32_t word = source();
        for (int k = 0; k < 4 && i + k < bytes; ++k, word >>= 8) {
            hex += kHex[(word >> 4) & 15];
            hex += kHex[word & 15];
        }
    }
    return hex;
}

int LockTable::ClampTimeout(int requested) const {
    return requested <= 0 || requested > longest_ ? longest_ : requested;
}

void LockTable::Expire() {
    Clock::time_point now = Clock::now();
    for (auto it = locks_.begin(); it != locks_.end();) it = it->second.expires <= now ? locks_.erase(it) : ++it;
}

bool LockTable::Add(LockInfo& lock) {
    Guard guard(mutex_);
    Expire();
    for (const auto& held : locks_)
        if (Overlap(held.second, lock.root, lock.infinite) && (held.second.exclusive || lock.exclusive)) return false;
    lock.token = UuidToken();
    lock.timeoutSeconds = ClampTimeout(lock.timeoutSeconds);
    lock.expires = Clock::now() + std::chrono::seconds(lock.timeoutSeconds);
    locks_[lock.token] = lock;
    return true;
}

bool LockTable::Refresh(const std::string& token, int timeoutSeconds, LockInfo& lock) {
    Guard guard(mutex_);
    Expire();
    auto it = locks_.find(token);
    if (it == locks_.end()) return false;
    it->second.timeoutSeconds = ClampTimeout(timeoutSeconds);
    it->second.expires = Clock::now() + std::chrono::seconds(it->second.timeoutSeconds);
    lock = it->second;
    return true;
}

bool LockTable::Remove(const std::string& token, const std::string& path) {
    Guard guard(mutex_);
    Expire();
    auto it = locks_.find(token);
    if (it == locks_.end()) return false;
    const LockInfo& lock = it->second;
    if (!(lock.root == path || (lock.infinite && IsWithin(path, lock.root)))) return false;
    locks_.erase(it);
    return true;
}

std::vector<LockInfo> LockTable::Covering(const std::string& path, bool members) {
    Guard guard(mutex_);
    Expire();
    std::vector<LockInfo> found;
    std::string parent = ParentOf(path);
    for (const auto& held : locks_) {
        const LockInfo& lock = held.second;
        if (lock.root == path || (lock.infinite && IsWithin(path, lock.root)) ||
            (members && path != "/" && lock.root == parent))
            found.push_back(lock);
    }
    return found;
}

std::vector<LockInfo> LockTable::Within(const std::string& path) {
    Guard guard(mutex_);
    Expire();
    std::vector<LockInfo> found;
    for (const auto& held : locks_)
        if (IsWithin(held.second.root, path)) found.push_back(held.second);
    return found;
}

bool LockTable::Find(const std::string& token, LockInfo& lock) {
    Guard guard(mutex_);
    Expire();
    auto it = locks_.find(token);
    if (it == locks_.end()) return false;
    lock = it->second;
    return true;
}

void LockTable::DropWithin(const std::string& path) {
    Guard guard(mutex_);
    for (auto it = locks_.begin(); it != locks_.end();) it = IsWithin(it->second.root, path) ? locks_.erase(it) : ++it;
}

bool ParseIfHeader(const std::string& header, std::vector<IfList>& lists) {
    lists.clear();
    std::size_t at = 0;
    auto skip = [&] {
        while (at < header.size() && (header[at] == ' ' || header[at] == '\t')) ++at;
    };
    std::string resource;
    for (;;) {
        skip();
        if (at >= header.size()) break;
        if (header[at] == '<') {
            std::size_t end = header.find('>', at);
            if (end == std::string::npos) return false;
            resource = header.substr(at + 1, end - at - 1);
            at = end + 1;
            skip();
            if (at >= header.size() || header[at] != '(') return false;
        }
        if (header[at] != '(') return false;
        ++at;
        IfList list;
        list.resource = resource;
        for (;;) {
            skip();
            if (at >= header.size()) return false;
            if (header[at] == ')') {
                ++at;
                break;
            }
            IfCondition condition;
            if (header.compare(at, 3, "Not") == 0 || header.compare(at, 3, "not") == 0) {
                condition.negated = true;
                at += 3;
                skip();
            }
            if (at >= header.size()) return false;
            char open = header[at];
            char close = open == '<' ? '>' : open == '[' ? ']' : 0;
            if (!close) return false;
            std::size_t end = header.find(close, at + 1);
            if (end == std::string::npos) return false;
            condition.isEtag = open == '[';
            condition.value = header.substr(at + 1, end - at - 1);
            at = end + 1;
            list.conditions.push_back(condition);
        }
        if (list.conditions.empty()) return false;
        lists.push_back(list);
    }
    return !lists.empty();
}

}  // namespace dav
