#include "dav/handler.h"

#include <algorithm>
#include <memory>

#include "dav/open_handle.h"
#include "dav/paths.h"

namespace dav {
namespace {

// Files a PUT is writing before they take their name; not listed.
const char kTransferPrefix[] = ".~vantlo-put-";

std::string Hex(std::uint64_t value) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    do out.insert(out.begin(), kHex[value & 15]);
    while (value >>= 4);
    return out;
}

// Parses "bytes=first-last", "bytes=first-" and "bytes=-suffix" against
// `size`. Returns 0 to serve the whole entity (no or an unusable range),
// 206 with the range, or 416.
int ParseRange(const std::string& header, std::uint64_t size, std::uint64_t& firstOut, std::uint64_t& lastOut) {
    std::uint64_t first = 0, last = 0;
    if (header.compare(0, 6, "bytes=") != 0 || header.find(',') != std::string::npos) return 0;
    std::string spec = header.substr(6);
    std::size_t dash = spec.find('-');
    if (dash == std::string::npos) return 0;
    auto number = [](const std::string& text, std::uint64_t& value) {
        if (text.empty() || text.size() > 19) return false;
        value = 0;
        for (char c : text) {
            if (c < '0' || c > '9') return false;
            value = value * 10 + static_cast<std::uint64_t>(c - '0');
        }
        return true;
    };
    std::string from = spec.substr(0, dash), to = spec.substr(dash + 1);
    if (from.empty()) {
        std::uint64_t suffix;
        if (!number(to, suffix)) return 0;
        if (suffix == 0 || size == 0) return 416;
        firstOut = suffix >= size ? 0 : size - suffix;
        lastOut = size - 1;
        return 206;
    }
    if (!number(from, first)) return 0;
    if (to.empty()) {
        last = size ? size - 1 : 0;
    } else if (!number(to, last) || last < first) {
        return 0;
    }
    if (first >= size) return 416;
    firstOut = first;
    lastOut = std::min(last, size - 1);
    return 206;
}

std::string ContentTypeOf(const std::string& name) {
    static const std::pair<const char*, const char*> kTypes[] = {
        {".txt", "text/plain"},
        {".html", "text/html"},
        {".htm", "text/html"},
        {".css", "text/css"},
        {".js", "text/javascript"},
        {".json", "application/json"},
        {".xml", "application/xml"},
        {".pdf", "application/pdf"},
        {".zip", "application/zip"},
        {".png", "image/png"},
        {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"},
        {".gif", "image/gif"},
        {".svg", "image/svg+xml"},
        {".mp3", "audio/mpeg"},
        {".mp4", "video/mp4"},
        {".doc", "application/msword"},
        {".docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
        {".xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
    };
    std::string lower = LowerAscii(name);
    for (const auto& type : kTypes) {
        std::size_t length = std::char_traits<char>::length(type.first);
        if (lower.size() > length && lower.compare(lower.size() - length, length, type.first) == 0) return type.second;
    }
    return "application/octet-stream";
}

}  // namespace

std::string ContentTypeFor(const std::string& name) {
    return ContentTypeOf(name);
}

bool IsTransferName(const std::string& name) {
    return name.compare(0, sizeof kTransferPrefix - 1, kTransferPrefix) == 0;
}

int CodeOf(Status status) {
    switch (status) {
    case Status::Ok: return 200;
    case Status::NotFound: return 404;
    case Status::Exists: return 412;
    case Status::NotDirectory: return 409;
    case Status::IsDirectory: return 405;
    case Status::NotEmpty: return 409;
    case Status::NoSpace: return 507;
    case Status::Denied: return 403;
    case Status::Failed: return 500;
    }
    return 500;
}

std::string ResponseHead(int code, const std::vector<std::pair<std::string, std::string>>& headers) {
    std::string head = "HTTP/1.1 " + std::to_string(code) + ' ' + ReasonPhrase(code) + "\r\n";
    for (const auto& header : headers) head += header.first + ": " + header.second + "\r\n";
    return head + "\r\n";
}

Handler::Handler(Backend& backend, const HandlerOptions& options) : backend_(backend), options_(options) {}

std::string Handler::Href(const std::string& path, bool collection) const {
    return HrefOf(options_.token, path, collection);
}

std::string Handler::EtagOf(const Entry& entry) const {
    // 128 bits of the content's SHA-256: as good as all 256 for telling
    // versions apart, and short enough for clients that keep an If header
    // with two tags in a fixed buffer.
    if (!entry.sha256.empty()) return '"' + entry.sha256.substr(0, 32) + '"';
    return '"' + std::string(entry.directory ? "d" : "") + Hex(entry.size) + '-' +
           Hex(static_cast<std::uint64_t>(entry.modifiedNs)) + '"';
}

bool Handler::AllowBody(Context& c) {
    if (c.continueSent) return true;
    const std::string* expect = c.request.Header("expect");
    if (expect && LowerAscii(*expect) == "100-continue" && c.request.minorVersion == 1) {
        c.continueSent = true;
        return c.http.Send("HTTP/1.1 100 Continue\r\n\r\n");
    }
    return true;
}

bool Handler::Send(HttpConnection& http, const Request& request, Response& response) {
    std::string connection = LowerAscii(request.HeaderOr("connection"));
    if (request.minorVersion == 0 && connection.find("keep-alive") == std::string::npos) response.close = true;
    if (connection.find("close") != std::string::npos) response.close = true;
    bool hasLength = false;
    for (const auto& header : response.headers) hasLength |= header.first == "Content-Length";
    if (!hasLength) response.Add("Content-Length", std::to_string(response.body.size()));
    if (response.close) response.Add("Connection", "close");
    response.Add(
        "Date",
        HttpDate(std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
                     .count()));
    std::string bytes = ResponseHead(response.code, response.headers);
    bool withBody = request.method != "HEAD" && !response.body.empty();
    // A large body goes out as it stands rather than copied behind the head.
    if (withBody && response.body.size() <= 64 * 1024) bytes += response.body;
    bool sent = http.Send(bytes);
    if (sent && withBody && response.body.size() > 64 * 1024) sent = http.Send(response.body);
    if (sent) return true;
    response.close = true;
    return false;
}

bool Handler::Handle(const Request& request, HttpConnection& http) {
    std::uint64_t length = 0;
    HttpConnection::BodyKind kind = HttpConnection::FrameOf(request, length);
    Context c{request, http, "", false, request.HeaderOr("host"), false, false};
    Response response;
    if (kind == HttpConnection::BodyKind::Invalid) {
        response.code = 400;
        response.close = true;
        Send(http, request, response);
        return false;
    }
    http.BeginBody(kind, length);
    UriResult where = ResolveUri(request.target, c.host, options_.token, c.path, c.slash);
    const std::string& m = request.method;
    if (where == UriResult::NotOurs) {
        response.code = 404;  // the same answer as for a path that does not exist
    } else if (where == UriResult::Malformed) {
        response.code = 400;
    } else if (m == "OPTIONS") {
        response = Options(c);
    } else if (m == "GET" || m == "HEAD") {
        response = Get(c, m == "GET");
    } else if (m == "PUT") {
        response = Put(c);
    } else if (m == "DELETE") {
        response = Delete(c);
    } else if (m == "MKCOL") {
        response = MakeCollection(c);
    } else if (m == "COPY" || m == "MOVE") {
        response = CopyOrMove(c, m == "MOVE");
    } else if (m == "PROPFIND") {
        response = PropFind(c);
    } else if (m == "PROPPATCH") {
        response = PropPatch(c);
    } else if (m == "LOCK") {
        response = Lock(c);
    } else if (m == "UNLOCK") {
        response = Unlock(c);
    } else {
        response.code = 405;
        response.Add("Allow", "OPTIONS, GET, HEAD, PUT, DELETE, MKCOL, COPY, MOVE, PROPFIND, PROPPATCH, LOCK, UNLOCK");
    }
    if (response.code == 0) return !response.close;  // sent while streaming
    // A body the answer did not read: drop a small one, else close rather
    // than read what the client was told it need not send.
    if (!http.BodyDone()) {
        bool waiting = request.Header("expect") && !c.continueSent;
        if (waiting || kind == HttpConnection::BodyKind::Chunked || length > 64 * 1024 || !http.Discard(64 * 1024))
            response.close = true;
    }
    Send(http, request, response);
    return !response.close;
}

Response Handler::Options(Context&) {
    Response r;
    r.Add("DAV", "1, 2");
    r.Add("MS-Author-Via", "DAV");
    r.Add("Allow", "OPTIONS, GET, HEAD, PUT, DELETE, MKCOL, COPY, MOVE, PROPFIND, PROPPATCH, LOCK, UNLOCK");
    r.Add("Accept-Ranges", "bytes");
    return r;
}

Response Handler::Get(Context& c, bool withBody) {
    Response r;
    Entry entry;
    Status status = backend_.GetAttr(c.path, entry);
    if (status != Status::Ok) {
        r.code = CodeOf(status);
        return r;
    }
    r.Add("ETag", EtagOf(entry));
    r.Add("Last-Modified", HttpDate(entry.modifiedNs / 1000000000));
    if (entry.directory) {
        // A plain listing for a browser; WebDAV clients use PROPFIND.
        std::vector<Entry> entries;
        status = backend_.ReadDir(c.path, entries);
        if (status != Status::Ok) {
            r.code = CodeOf(status);
            return r;
        }
        r.Add("Content-Type", "text/html; charset=utf-8");
        r.body = "<!DOCTYPE html>\n<html><body><ul>\n";
        for (const Entry& member : entries) {
            if (IsTransferName(member.name)) continue;
            std::string href = Href(JoinPath(c.path, member.name), member.directory);
            r.body += "<li><a href=\"" + XmlEscape(href) + "\">" + XmlEscape(member.name) +
                      (member.directory ? "/" : "") + "</a></li>\n";
        }
        r.body += "</ul></body></html>\n";
        return r;
    }
    std::uint64_t first = 0, last = entry.size ? entry.size - 1 : 0;
    int range = 0;
    const std::string* rangeHeader = c.request.Header("range");
    const std::string* ifRange = c.request.Header("if-range");
    if (rangeHeader && (!ifRange || *ifRange == EtagOf(entry)))
        range = ParseRange(*rangeHeader, entry.size, first, last);
    if (range == 416) {
        r.code = 416;
        r.Add("Content-Range", "bytes */" + std::to_string(entry.size));
        return r;
    }
    std::uint64_t length = entry.size == 0 ? 0 : last - first + 1;
    OpenHandle handle(backend_);
    if (withBody && length) {
        status = backend_.Open(c.path, handle.Set());
        if (status != Status::Ok) {
            handle.Abandon();
            r.code = CodeOf(status);
            return r;
        }
    }
    r.code = range == 206 ? 206 : 200;
    r.Add("Content-Type", ContentTypeFor(entry.name));
    r.Add("Accept-Ranges", "bytes");
    if (range == 206)
        r.Add("Content-Range",
              "bytes " + std::to_string(first) + '-' + std::to_string(last) + '/' + std::to_string(entry.size));
    r.Add("Content-Length", std::to_string(length));
    if (!c.http.BodyDone() && !c.http.Discard(64 * 1024)) r.close = true;
    if (!Send(c.http, c.request, r) || !withBody || !length) {
        r.code = 0;
        return r;
    }
    std::unique_ptr<char[]> buffer(new char[options_.copyBuffer]);
    std::uint64_t offset = first, end = last + 1;
    while (offset < end) {
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(options_.copyBuffer, end - offset));
        std::size_t got = 0;
        // A failed or short read cannot change the status already sent:
        // the connection is closed so the client sees the body cut short.
        if (backend_.Read(handle.Get(), buffer.get(), want, offset, got) != Status::Ok || got == 0 ||
            !c.http.Send(buffer.get(), got)) {
            r.close = true;
            break;
        }
        offset += got;
    }
    r.code = 0;
    return r;
}

Response Handler::Put(Context& c) {
    Response r;
    Entry entry, parent;
    if (c.path == "/" || c.slash) {
        r.code = 405;
        return r;
    }
    Status status = backend_.GetAttr(ParentOf(c.path), parent);
    if (status != Status::Ok || !parent.directory) {
        r.code = 409;
        return r;
    }
    bool exists = backend_.GetAttr(c.path, entry) == Status::Ok;
    if (exists && entry.directory) {
        r.code = 405;
        return r;
    }
    if (int refused = CheckWrite(c, c.path, false, !exists)) {
        r.code = refused;
        return r;
    }
    if (!AllowBody(c)) {
        r.close = true;
        r.code = 500;
        return r;
    }
    // The bytes go to a file of their own and take the name only when all
    // of them arrived, so a torn upload never replaces a file with a part.
    std::string transfer = JoinPath(ParentOf(c.path), kTransferPrefix + RandomHex(8));
    OpenHandle handle(backend_);
    status = backend_.Create(transfer, handle.Set());
    if (status != Status::Ok) {
        handle.Abandon();
        r.code = CodeOf(status);
        return r;
    }
    std::unique_ptr<char[]> buffer(new char[options_.copyBuffer]);
    std::uint64_t offset = 0;
    for (;;) {
        long got = c.http.ReadBody(buffer.get(), options_.copyBuffer);
        if (got < 0) {
            r.code = 400;
            r.close = true;
            status = Status::Failed;
            break;
        }
        if (got == 0) break;
        status = backend_.Write(handle.Get(), buffer.get(), static_cast<std::size_t>(got), offset);
        if (status != Status::Ok) {
            r.code = CodeOf(status);
            r.close = true;
            break;
        }
        offset += static_cast<std::uint64_t>(got);
    }
    if (status == Status::Ok) status = handle.Release();
    if (status == Status::Ok) status = backend_.Rename(transfer, c.path, true);
    if (status != Status::Ok) {
        handle.Release();
        backend_.Unlink(transfer);
        if (!r.close) r.code = CodeOf(status);
        return r;
    }
    r.code = exists ? 204 : 201;
    if (backend_.GetAttr(c.path, entry) == Status::Ok) r.Add("ETag", EtagOf(entry));
    return r;
}

}  // namespace dav
