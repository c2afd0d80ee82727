// LOCK, UNLOCK and the checks every changing method makes: the If header
// must hold, and every lock on what changes must have its token submitted.
#include <algorithm>

#include "dav/handler.h"
#include "dav/paths.h"

namespace dav {
namespace {

const char kDav[] = "DAV:";

std::string StripWeak(const std::string& etag) {
    return etag.compare(0, 2, "W/") == 0 ? etag.substr(2) : etag;
}

// "Second-600, Infinite" -> 600; Infinite or nothing usable -> 0 (the longest).
int ParseTimeout(const std::string& header) {
    std::size_t at = header.find("Second-");
    if (at == std::string::npos) return 0;
    long long seconds = 0;
    for (at += 7; at < header.size() && header[at] >= '0' && header[at] <= '9'; ++at) {
        seconds = seconds * 10 + (header[at] - '0');
        if (seconds > 1000000000) return 0;
    }
    return static_cast<int>(seconds);
}

}  // namespace

int Handler::IfHolds(Context& c, std::vector<std::string>& submitted) {
    submitted.clear();
    const std::string* header = c.request.Header("if");
    if (!header) return 0;
    std::vector<IfList> lists;
    if (!ParseIfHeader(*header, lists)) return 400;
    for (const IfList& list : lists)
        for (const IfCondition& condition : list.conditions)
            if (!condition.isEtag && !condition.negated) submitted.push_back(condition.value);
    for (const IfList& list : lists) {
        std::string path = c.path;
        bool slash = false;
        if (!list.resource.empty() && ResolveUri(list.resource, c.host, options_.token, path, slash) != UriResult::Ok)
            continue;
        Entry entry;
        bool exists = backend_.GetAttr(path, entry) == Status::Ok;
        bool holds = true;
        for (const IfCondition& condition : list.conditions) {
            bool match;
            if (condition.isEtag) {
                match = exists && StripWeak(condition.value) == StripWeak(EtagOf(entry));
            } else {
                LockInfo lock;
                match = locks_.Find(condition.value, lock) &&
                        (lock.root == path || (lock.infinite && IsWithin(path, lock.root)));
            }
            if (match == condition.negated) {
                holds = false;
                break;
            }
        }
        if (holds) return 0;
    }
    return 412;
}

int Handler::CheckWrite(Context& c, const std::string& path, bool tree, bool members) {
    std::vector<std::string> submitted;
    if (int refused = IfHolds(c, submitted)) return refused;
    std::vector<LockInfo> held = locks_.Covering(path, members);
    if (tree) {
        std::vector<LockInfo> below = locks_.Within(path);
        held.insert(held.end(), below.begin(), below.end());
    }
    for (const LockInfo& lock : held)
        if (std::find(submitted.begin(), submitted.end(), lock.token) == submitted.end()) return 423;
    return 0;
}

std::string Handler::ActiveLock(const LockInfo& lock) {
    Entry root;
    bool collection = backend_.GetAttr(lock.root, root) == Status::Ok && root.directory;
    return std::string("<D:activelock><D:locktype><D:write/></D:locktype><D:lockscope>") +
           (lock.exclusive ? "<D:exclusive/>" : "<D:shared/>") + "</D:lockscope><D:depth>" +
           (lock.infinite ? "infinity" : "0") + "</D:depth>" + lock.ownerXml + "<D:timeout>Second-" +
           std::to_string(lock.timeoutSeconds) + "</D:timeout><D:locktoken><D:href>" + XmlEscape(lock.token) +
           "</D:href></D:locktoken><D:lockroot><D:href>" + XmlEscape(Href(lock.root, collection)) +
           "</D:href></D:lockroot></D:activelock>";
}

std::string Handler::LockDiscovery(const std::string& path) {
    std::string out;
    for (const LockInfo& lock : locks_.Covering(path)) out += ActiveLock(lock);
    return out;
}

Response Handler::Lock(Context& c) {
    Response r;
    XmlElement root;
    bool present = false;
    if (!ReadXmlBody(c, root, present, r)) return r;
    int timeout = ParseTimeout(c.request.HeaderOr("timeout"));
    LockInfo lock;
    if (!present) {
        // A refresh: the If header names the lock.
        std::vector<std::string> submitted;
        if (int refused = IfHolds(c, submitted)) {
            r.code = refused;
            return r;
        }
        std::vector<LockInfo> covering = locks_.Covering(c.path);
        bool refreshed = false;
        for (const std::string& token : submitted) {
            auto held =
                std::find_if(covering.begin(), covering.end(), [&](const LockInfo& l) { return l.token == token; });
            if (held != covering.end() && locks_.Refresh(token, timeout, lock)) {
                refreshed = true;
                break;
            }
        }
        if (!refreshed) {
            r.code = c.request.Header("if") ? 412 : 400;
            return r;
        }
    } else {
        if (!root.Is(kDav, "lockinfo")) {
            r.code = 400;
            return r;
        }
        const XmlElement* scope = root.Child(kDav, "lockscope");
        const XmlElement* type = root.Child(kDav, "locktype");
        if (!scope || !type || !type->Child(kDav, "write") ||
            !(scope->Child(kDav, "exclusive") || scope->Child(kDav, "shared"))) {
            r.code = 400;
            return r;
        }
        std::string depth = c.request.HeaderOr("depth", "infinity");
        if (depth != "0" && depth != "infinity") {
            r.code = 400;
            return r;
        }
        lock.root = c.path;
        lock.infinite = depth == "infinity";
        lock.exclusive = scope->Child(kDav, "exclusive") != nullptr;
        lock.timeoutSeconds = timeout;
        if (const XmlElement* owner = root.Child(kDav, "owner")) lock.ownerXml = XmlWrite(*owner);
        Entry entry;
        bool exists = backend_.GetAttr(c.path, entry) == Status::Ok;
        std::vector<std::string> submitted;
        if (int refused = exists ? IfHolds(c, submitted) : CheckWrite(c, c.path, false, true)) {
            r.code = refused;
            return r;
        }
        if (!exists) {
            Entry parent;
            if (backend_.GetAttr(ParentOf(c.path), parent) != Status::Ok || !parent.directory) {
                r.code = 409;
                return r;
            }
        }
        if (!locks_.Add(lock)) {
            r.code = 423;
            return r;
        }
        if (!exists) {
            // Locking an unmapped URL makes an empty file there.
            std::uint64_t handle = 0;
            Status status = backend_.Create(c.path, handle);
            if (status == Status::Ok) status = backend_.Release(handle);
            if (status != Status::Ok) {
                locks_.Remove(lock.token, c.path);
                r.code = CodeOf(status);
                return r;
            }
            r.code = 201;
        }
        r.Add("Lock-Token", '<' + lock.token + '>');
    }
    r.Add("Content-Type", "application/xml; charset=utf-8");
    r.body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<D:prop xmlns:D=\"DAV:\"><D:lockdiscovery>" +
             ActiveLock(lock) + "</D:lockdiscovery></D:prop>\n";
    return r;
}

Response Handler::Unlock(Context& c) {
    Response r;
    std::string token = c.request.HeaderOr("lock-token");
    if (token.size() < 3 || token.front() != '<' || token.back() != '>') {
        r.code = 400;
        return r;
    }
    token = token.substr(1, token.size() - 2);
    r.code = locks_.Remove(token, c.path) ? 204 : 409;
    return r;
}

}  // namespace dav
