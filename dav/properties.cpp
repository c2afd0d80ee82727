// PROPFIND and PROPPATCH: the live properties come from the backend's
// entries, the dead ones from DeadProperties.
#include <cstdlib>

#include "dav/handler.h"
#include "dav/paths.h"

namespace dav {
namespace {

const char kDav[] = "DAV:";
const char kMicrosoft[] = "urn:schemas-microsoft-com:";
const char kMultistatusOpen[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<D:multistatus xmlns:D=\"DAV:\">";

const char* const kLiveNames[] = {
    "displayname",    "getcontentlength", "getlastmodified", "creationdate",          "resourcetype",    "getetag",
    "getcontenttype", "supportedlock",    "lockdiscovery",   "quota-available-bytes", "quota-used-bytes"};

bool IsLive(const std::string& ns, const std::string& name) {
    if (ns != kDav) return false;
    for (const char* live : kLiveNames)
        if (name == live) return true;
    return false;
}

// An element with no content, in its own namespace.
std::string EmptyElement(const std::string& ns, const std::string& name) {
    if (ns == kDav) return "<D:" + name + "/>";
    XmlElement element;
    element.ns = ns;
    element.name = name;
    return XmlWrite(element);
}

std::string Propstat(const std::string& props, int code) {
    return "<D:propstat><D:prop>" + props + "</D:prop><D:status>HTTP/1.1 " + std::to_string(code) + ' ' +
           ReasonPhrase(code) + "</D:status></D:propstat>";
}

Response MultiStatus(const std::string& inner) {
    Response r;
    r.code = 207;
    r.Add("Content-Type", "application/xml; charset=utf-8");
    r.body.reserve(sizeof kMultistatusOpen + inner.size() + 32);
    r.body.append(kMultistatusOpen).append(inner).append("</D:multistatus>\n");
    return r;
}

}  // namespace

bool Handler::ReadXmlBody(Context& c, XmlElement& root, bool& present, Response& error) {
    present = false;
    if (c.http.BodyDone()) return true;
    std::uint64_t length = 0;
    HttpConnection::BodyKind kind = HttpConnection::FrameOf(c.request, length);
    if (kind == HttpConnection::BodyKind::Length && length > options_.maxXmlBody) {
        error.code = 413;  // refused before a byte of it is read
        error.close = true;
        return false;
    }
    std::string body;
    if (!AllowBody(c) || !c.http.ReadWholeBody(body, options_.maxXmlBody)) {
        error.code = kind == HttpConnection::BodyKind::Length ? 400 : 413;
        error.close = true;
        return false;
    }
    if (body.find_first_not_of(" \t\r\n") == std::string::npos) return true;
    std::string why;
    if (!ParseXml(body, root, why)) {
        error.code = 400;
        return false;
    }
    present = true;
    return true;
}

std::string Handler::PropertiesOf(const std::string& path, const Entry& entry, const XmlElement* wanted,
                                  bool namesOnly) {
    std::string found, missing;
    auto live = [&](const std::string& name, std::string& value) {
        std::int64_t seconds = entry.modifiedNs / 1000000000;
        if (name == "displayname")
            value = XmlEscape(entry.name);
        else if (name == "getcontentlength" && !entry.directory)
            value = std::to_string(entry.size);
        else if (name == "getlastmodified")
            value = HttpDate(seconds);
        else if (name == "creationdate")
            value = IsoDate(entry.createdNs ? entry.createdNs / 1000000000 : seconds);
        else if (name == "resourcetype")
            value = entry.directory ? "<D:collection/>" : "";
        else if (name == "getetag")
            value = XmlEscape(EtagOf(entry));
        else if (name == "getcontenttype" && !entry.directory)
            value = ContentTypeFor(entry.name);
        else if (name == "supportedlock")
            value =
                "<D:lockentry><D:lockscope><D:exclusive/></D:lockscope><D:locktype><D:write/></D:locktype>"
                "</D:lockentry><D:lockentry><D:lockscope><D:shared/></D:lockscope><D:locktype><D:write/>"
                "</D:locktype></D:lockentry>";
        else if (name == "lockdiscovery")
            value = LockDiscovery(path);
        else if (name == "quota-available-bytes" || name == "quota-used-bytes") {
            Quota quota = backend_.GetQuota();
            if (!quota.known) return false;
            value = std::to_string(name == "quota-used-bytes" ? quota.used : quota.available);
        } else
            return false;
        return true;
    };
    auto add = [&](const std::string& ns, const std::string& name, const std::string& value) {
        if (namesOnly || value.empty()) {
            found += EmptyElement(ns, name);
        } else {
            found += "<D:" + name + '>' + value + "</D:" + name + '>';
        }
    };
    if (wanted) {
        for (const XmlElement& property : wanted->children) {
            if (property.IsText()) continue;
            std::string value;
            XmlElement dead;
            if (IsLive(property.ns, property.name) && live(property.name, value)) {
                add(property.ns, property.name, value);
            } else if (dead_.Get(path, property.ns, property.name, dead)) {
                found += XmlWrite(dead);
            } else {
                missing += EmptyElement(property.ns, property.name);
            }
        }
    } else {
        // allprop and propname: every live property but the quota ones
        // (computed on request only) and every dead one.
        for (const char* name : kLiveNames) {
            std::string value;
            if (std::string(name).compare(0, 6, "quota-") == 0 || !live(name, value)) continue;
            add(kDav, name, value);
        }
        for (const XmlElement& dead : dead_.All(path))
            found += namesOnly ? EmptyElement(dead.ns, dead.name) : XmlWrite(dead);
    }
    std::string out = "<D:response><D:href>" + XmlEscape(Href(path, entry.directory)) + "</D:href>";
    if (!found.empty() || missing.empty()) out += Propstat(found, 200);
    if (!missing.empty()) out += Propstat(missing, 404);
    return out + "</D:response>";
}

Response Handler::PropFind(Context& c) {
    Response r;
    std::string depth = c.request.HeaderOr("depth", "infinity");
    if (depth != "0" && depth != "1") {
        r.code = depth == "infinity" ? 403 : 400;
        if (r.code == 403) {
            r.Add("Content-Type", "application/xml; charset=utf-8");
            r.body =
                "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                "<D:error xmlns:D=\"DAV:\"><D:propfind-finite-depth/></D:error>\n";
        }
        return r;
    }
    XmlElement root;
    bool present = false;
    if (!ReadXmlBody(c, root, present, r)) return r;
    const XmlElement* wanted = nullptr;
    bool namesOnly = false;
    if (present) {
        if (!root.Is(kDav, "propfind")) {
            r.code = 400;
            return r;
        }
        wanted = root.Child(kDav, "prop");
        namesOnly = root.Child(kDav, "propname") != nullptr;
        if (!wanted && !namesOnly && !root.Child(kDav, "allprop")) {
            r.code = 400;
            return r;
        }
    }
    Entry entry;
    Status status = backend_.GetAttr(c.path, entry);
    if (status != Status::Ok) {
        r.code = CodeOf(status);
        return r;
    }
    std::string inner = PropertiesOf(c.path, entry, wanted, namesOnly);
    if (depth == "1" && entry.directory) {
        std::vector<Entry> members;
        status = backend_.ReadDir(c.path, members);
        if (status != Status::Ok) {
            r.code = CodeOf(status);
            return r;
        }
        inner.reserve(inner.size() * (members.size() + 1));
        for (const Entry& member : members)
            if (!IsTransferName(member.name))
                inner += PropertiesOf(JoinPath(c.path, member.name), member, wanted, namesOnly);
    }
    return MultiStatus(inner);
}

Response Handler::PropPatch(Context& c) {
    Response r;
    XmlElement root;
    bool present = false;
    if (!ReadXmlBody(c, root, present, r)) return r;
    if (!present || !root.Is(kDav, "propertyupdate")) {
        r.code = 400;
        return r;
    }
    Entry entry;
    Status status = backend_.GetAttr(c.path, entry);
    if (status != Status::Ok) {
        r.code = CodeOf(status);
        return r;
    }
    if (int refused = CheckWrite(c, c.path, false, false)) {
        r.code = refused;
        return r;
    }
    struct Change {
        bool set;
        const XmlElement* property;
        int code;
    };
    std::vector<Change> changes;
    bool failed = false;
    for (const XmlElement& instruction : root.children) {
        bool set = instruction.Is(kDav, "set");
        if (!set && !instruction.Is(kDav, "remove")) continue;
        const XmlElement* prop = instruction.Child(kDav, "prop");
        if (!prop) {
            r.code = 400;
            return r;
        }
        for (const XmlElement& property : prop->children) {
            if (property.IsText()) continue;
            int code = IsLive(property.ns, property.name) ? 403 : 200;  // live ones are ours to keep
            failed |= code != 200;
            changes.push_back({set, &property, code});
        }
    }
    // All or nothing: with one refused, the rest fail by dependency.
    std::string ok, refused, dependent;
    for (Change& change : changes) {
        std::string name = EmptyElement(change.property->ns, change.property->name);
        if (failed) {
            (change.code == 200 ? dependent : refused) += name;
            continue;
        }
        const XmlElement& property = *change.property;
        if (!change.set) {
            dead_.Remove(c.path, property.ns, property.name);
        } else {
            // The Windows client's modification time is the file's own.
            std::int64_t seconds = 0;
            if (property.ns == kMicrosoft && property.name == "Win32LastModifiedTime" &&
                ParseHttpDate(property.Text(), seconds))
                backend_.SetModified(c.path, seconds * 1000000000);
            dead_.Set(c.path, property);
        }
        ok += name;
    }
    std::string inner = "<D:response><D:href>" + XmlEscape(Href(c.path, entry.directory)) + "</D:href>";
    if (!ok.empty()) inner += Propstat(ok, 200);
    if (!refused.empty()) inner += Propstat(refused, 403);
    if (!dependent.empty()) inner += Propstat(dependent, 424);
    return MultiStatus(inner + "</D:response>");
}

}  // namespace dav
