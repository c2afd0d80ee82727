// From request URIs to paths of the served tree and back. Everything is
// served below /TOKEN/; a URI without the token, or one whose path would
// leave the tree (dot segments, encoded slashes, NULs), is refused.
#pragma once

#include <string>

namespace dav {

enum class UriResult { Ok, Malformed, NotOurs };

// `target` as it stands in a request line or Destination header: absolute
// path or absolute URI (whose authority must be `host`). `path` comes back
// decoded ("/" the root, "/a/b" below it; no trailing slash), `collection`
// whether the URI ended with a slash.
UriResult ResolveUri(const std::string& target, const std::string& host, const std::string& token, std::string& path,
                     bool& collection);

// The URI path of a tree path: "/TOKEN" + each segment percent-encoded,
// with a trailing slash for a collection.
std::string HrefOf(const std::string& token, const std::string& path, bool collection);

// Decodes %XX escapes in one segment; false on a bad escape, a NUL or an
// encoded slash or backslash.
bool DecodeSegment(const std::string& encoded, std::string& decoded);

// "/a/b" -> "/a"; "/a" -> "/".
std::string ParentOf(const std::string& path);
std::string JoinPath(const std::string& dir, const std::string& name);
// True when `path` is `ancestor` or lies below it.
bool IsWithin(const std::string& path, const std::string& ancestor);

}  // namespace dav
