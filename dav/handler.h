// WebDAV class 1 and 2 over a Backend: one request in, one response out.
// handler.cpp holds the dispatch, OPTIONS, GET, HEAD and PUT;
// tree_methods.cpp DELETE, MKCOL, COPY and MOVE; properties.cpp PROPFIND and
// PROPPATCH; lock_methods.cpp LOCK, UNLOCK and the If header.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "dav/backend.h"
#include "dav/dead_properties.h"
#include "dav/http.h"
#include "dav/locks.h"
#include "dav/xml.h"

namespace dav {

struct HandlerOptions {
    std::string token;                    // the first path segment of every URI we serve
    std::size_t maxXmlBody = 1 << 20;     // PROPFIND, PROPPATCH and LOCK bodies
    std::size_t copyBuffer = 256 * 1024;  // GET, PUT and COPY move bytes in pieces of this size
};

struct Response {
    int code = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    bool close = false;  // the connection cannot carry another request
    void Add(const std::string& name, const std::string& value) { headers.emplace_back(name, value); }
};

class Handler {
public:
    Handler(Backend& backend, const HandlerOptions& options);

    // Answers one request whose head was read; reads its body from `http`
    // and sends the answer there. False when the connection must close.
    bool Handle(const Request& request, HttpConnection& http);

    LockTable& Locks() { return locks_; }

private:
    struct Context {
        const Request& request;
        HttpConnection& http;
        std::string path;    // decoded request path
        bool slash = false;  // the URI ended with '/'
        std::string host;
        bool bodyRead = false;  // the handler consumed the request body
        bool continueSent = false;
    };

    // Resource methods (handler.cpp).
    Response Options(Context& c);
    Response Get(Context& c, bool withBody);
    Response Put(Context& c);
    Response Delete(Context& c);
    Response MakeCollection(Context& c);
    Response CopyOrMove(Context& c, bool move);
    // Properties (properties.cpp).
    Response PropFind(Context& c);
    Response PropPatch(Context& c);
    // Locks (lock_methods.cpp).
    Response Lock(Context& c);
    Response Unlock(Context& c);

    // Sends 100 Continue if the client waits for it, once.
    bool AllowBody(Context& c);
    // The XML body of a request, bounded; an error response when it is too
    // large (413), torn or malformed (400). `present` false for no body.
    bool ReadXmlBody(Context& c, XmlElement& root, bool& present, Response& error);
    // The If header and the locks: 0 when the request may change `path`
    // (with `tree` also everything below it; with `members` the membership
    // of its parent), else 400, 412 or 423.
    int CheckWrite(Context& c, const std::string& path, bool tree, bool members);
    // 0 when there is no If header or one of its lists holds, else 400 or
    // 412; `submitted` gets the lock tokens the header names.
    int IfHolds(Context& c, std::vector<std::string>& submitted);
    std::string ActiveLock(const LockInfo& lock);
    std::string EtagOf(const Entry& entry) const;
    std::string Href(const std::string& path, bool collection) const;

    Status RemoveTree(const std::string& path);
    Status CopyTree(const std::string& from, const std::string& to, bool deep);
    Status CopyFile(const std::string& from, const std::string& to);

    // Live and dead properties of one resource into a DAV:response element.
    std::string PropertiesOf(const std::string& path, const Entry& entry, const XmlElement* wanted, bool namesOnly);
    std::string LockDiscovery(const std::string& path);

    // Sends the head and the body; false when the client did not take it.
    bool Send(HttpConnection& http, const Request& request, Response& response);

    Backend& backend_;
    HandlerOptions options_;
    LockTable locks_;
    DeadProperties dead_;
};

// True for the names of files a PUT is still writing (never listed).
bool IsTransferName(const std::string& name);
// The media type a file's name suggests.
std::string ContentTypeFor(const std::string& name);
// The status line code for a backend failure.
int CodeOf(Status status);
// Builds a whole response head.
std::string ResponseHead(int code, const std::vector<std::pair<std::string, std::string>>& headers);

}  // namespace dav
