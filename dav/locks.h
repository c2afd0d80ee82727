// WebDAV write locks (exclusive and shared, depth 0 or infinity, with
// timeouts) and the If header that submits their tokens. Locks live in
// memory: a restart of the server drops them, as clients expect of a lock
// whose server went away.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace dav {

struct LockInfo {
    std::string token;  // "opaquelocktoken:" + a random UUID
    std::string root;   // the locked path
    bool infinite = false;
    bool exclusive = true;
    std::string ownerXml;  // the client's DAV:owner element as it sent it
    int timeoutSeconds = 0;
    std::chrono::steady_clock::time_point expires;
};

class LockTable {
public:
    explicit LockTable(int longestSeconds = 3600) : longest_(longestSeconds) {}

    // Creates the lock unless it conflicts with one held; fills in the token
    // and the expiry (the timeout is cut to the longest we grant).
    bool Add(LockInfo& lock);
    bool Refresh(const std::string& token, int timeoutSeconds, LockInfo& lock);
    // Removes a lock that covers `path`; false when there is none such.
    bool Remove(const std::string& token, const std::string& path);
    // Locks that `path` is subject to: on it, or on an ancestor with depth
    // infinity, or (with `members`) on its parent with depth 0, which guards
    // the parent's membership.
    std::vector<LockInfo> Covering(const std::string& path, bool members = false);
    // Locks rooted at `path` or below it.
    std::vector<LockInfo> Within(const std::string& path);
    bool Find(const std::string& token, LockInfo& lock);
    // Drops the locks rooted at `path` or below it (the resources are gone).
    void DropWithin(const std::string& path);

    int ClampTimeout(int requested) const;

private:
    void Expire();  // mutex_ held

    int longest_;
    std::mutex mutex_;                       // guards locks_
    std::map<std::string, LockInfo> locks_;  // by token
};

// One condition of an If header list: a state token or an entity tag,
// possibly negated.
struct IfCondition {
    bool negated = false;
    bool isEtag = false;
    std::string value;  // the token without <>, or the etag with its quotes
};
struct IfList {
    std::string resource;  // the tag's URI; empty for an untagged list
    std::vector<IfCondition> conditions;
};
// False when the header is malformed.
bool ParseIfHeader(const std::string& header, std::vector<IfList>& lists);

// A fresh random token: 32 hex digits (128 bits) from the system's source.
std::string RandomHex(std::size_t bytes);

}  // namespace dav
