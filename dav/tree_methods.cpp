// DELETE, MKCOL, COPY and MOVE: the methods that change the tree's shape.
#include <memory>

#include "dav/handler.h"
#include "dav/open_handle.h"
#include "dav/paths.h"

namespace dav {

Status Handler::RemoveTree(const std::string& path) {
    Entry entry;
    Status status = backend_.GetAttr(path, entry);
    if (status != Status::Ok) return status;
    if (!entry.directory) return backend_.Unlink(path);
    std::vector<Entry> members;
    status = backend_.ReadDir(path, members);
    if (status != Status::Ok) return status;
    for (const Entry& member : members) {
        status = RemoveTree(JoinPath(path, member.name));
        if (status != Status::Ok && status != Status::NotFound) return status;
    }
    return backend_.RemoveDir(path);
}

Response Handler::Delete(Context& c) {
    Response r;
    Entry entry;
    Status status = backend_.GetAttr(c.path, entry);
    if (status != Status::Ok) {
        r.code = CodeOf(status);
        return r;
    }
    std::string depth = c.request.HeaderOr("depth", "infinity");
    if (c.path == "/" || (entry.directory && LowerAscii(depth) != "infinity")) {
        r.code = c.path == "/" ? 403 : 400;
        return r;
    }
    if (int refused = CheckWrite(c, c.path, true, true)) {
        r.code = refused;
        return r;
    }
    status = RemoveTree(c.path);
    dead_.Drop(c.path);
    locks_.DropWithin(c.path);
    r.code = status == Status::Ok ? 204 : CodeOf(status);
    return r;
}

Response Handler::MakeCollection(Context& c) {
    Response r;
    Entry entry;
    if (!c.http.BodyDone()) {
        r.code = 415;  // we know no MKCOL body format
        return r;
    }
    if (backend_.GetAttr(c.path, entry) == Status::Ok) {
        r.code = 405;
        return r;
    }
    if (backend_.GetAttr(ParentOf(c.path), entry) != Status::Ok || !entry.directory) {
        r.code = 409;
        return r;
    }
    if (int refused = CheckWrite(c, c.path, false, true)) {
        r.code = refused;
        return r;
    }
    Status status = backend_.MakeDir(c.path);
    r.code = status == Status::Ok ? 201 : status == Status::NotFound ? 409 : CodeOf(status);
    return r;
}

Status Handler::CopyFile(const std::string& from, const std::string& to) {
    OpenHandle source(backend_), target(backend_);
    Status status = backend_.Open(from, source.Set());
    if (status != Status::Ok) {
        source.Abandon();
        return status;
    }
    status = backend_.Create(to, target.Set());
    if (status != Status::Ok) {
        target.Abandon();
        return status;
    }
    std::unique_ptr<char[]> buffer(new char[options_.copyBuffer]);
    for (std::uint64_t offset = 0;;) {
        std::size_t got = 0;
        status = backend_.Read(source.Get(), buffer.get(), options_.copyBuffer, offset, got);
        if (status != Status::Ok) return status;
        if (got == 0) break;
        status = backend_.Write(target.Get(), buffer.get(), got, offset);
        if (status != Status::Ok) return status;
        offset += got;
    }
    source.Release();
    return target.Release();
}

Status Handler::CopyTree(const std::string& from, const std::string& to, bool deep) {
    Entry entry;
    Status status = backend_.GetAttr(from, entry);
    if (status != Status::Ok) return status;
    if (!entry.directory) {
        status = CopyFile(from, to);
        if (status == Status::Ok) backend_.SetModified(to, entry.modifiedNs);
        return status;
    }
    status = backend_.MakeDir(to);
    if (status != Status::Ok || !deep) return status;
    std::vector<Entry> members;
    status = backend_.ReadDir(from, members);
    if (status != Status::Ok) return status;
    for (const Entry& member : members) {
        if (IsTransferName(member.name)) continue;
        status = CopyTree(JoinPath(from, member.name), JoinPath(to, member.name), true);
        if (status != Status::Ok) return status;
    }
    return Status::Ok;
}

Response Handler::CopyOrMove(Context& c, bool move) {
    Response r;
    const std::string* destination = c.request.Header("destination");
    std::string to;
    bool toSlash = false;
    if (!destination) {
        r.code = 400;
        return r;
    }
    UriResult where = ResolveUri(*destination, c.host, options_.token, to, toSlash);
    if (where != UriResult::Ok) {
        // Another server, or a path outside the served tree.
        r.code = where == UriResult::NotOurs ? 502 : 400;
        return r;
    }
    Entry source, entry;
    Status status = backend_.GetAttr(c.path, source);
    if (status != Status::Ok) {
        r.code = CodeOf(status);
        return r;
    }
    std::string depth = LowerAscii(c.request.HeaderOr("depth", "infinity"));
    std::string overwrite = c.request.HeaderOr("overwrite", "T");
    if ((depth != "infinity" && (move || depth != "0")) || (overwrite != "T" && overwrite != "F")) {
        r.code = 400;
        return r;
    }
    if (c.path == "/" || to == "/" || to == c.path || IsWithin(to, c.path) || IsWithin(c.path, to)) {
        r.code = 403;
        return r;
    }
    if (backend_.GetAttr(ParentOf(to), entry) != Status::Ok || !entry.directory) {
        r.code = 409;
        return r;
    }
    bool exists = backend_.GetAttr(to, entry) == Status::Ok;
    if (exists && overwrite == "F") {
        r.code = 412;
        return r;
    }
    int refused = move ? CheckWrite(c, c.path, true, true) : 0;
    if (!refused) refused = CheckWrite(c, to, true, true);
    if (refused) {
        r.code = refused;
        return r;
    }
    if (exists) {
        status = RemoveTree(to);
        dead_.Drop(to);
        locks_.DropWithin(to);
        if (status != Status::Ok) {
            r.code = CodeOf(status);
            return r;
        }
    }
    if (move) {
        status = backend_.Rename(c.path, to, false);
        if (status == Status::Ok) {
            dead_.Move(c.path, to);
            locks_.DropWithin(c.path);
        }
    } else {
        status = CopyTree(c.path, to, depth != "0");
        dead_.Copy(c.path, to, depth != "0");
    }
    r.code = status == Status::Ok ? (exists ? 204 : 201) : CodeOf(status);
    return r;
}

}  // namespace dav
