// The WebDAV server's readers of hostile bytes: XML request bodies (written
// back when they parse), request heads, If headers and request URIs.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dav/http.h"
#include "dav/locks.h"
#include "dav/paths.h"
#include "dav/xml.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    dav::XmlElement root;
    std::string error;
    if (dav::ParseXml(text, root, error)) {
        // What we write back from a parsed body must parse again.
        dav::XmlElement again;
        if (!dav::ParseXml(dav::XmlWrite(root), again, error)) __builtin_trap();
    }
    dav::Request request;
    dav::ParseHead(text, 100, request);
    std::vector<dav::IfList> lists;
    dav::ParseIfHeader(text, lists);
    std::string path;
    bool slash = false;
    if (dav::ResolveUri(text, "h", "tok", path, slash) == dav::UriResult::Ok) {
        // A resolved path never holds a dot segment or leaves the root.
        if (path[0] != '/' || path.find("/../") != std::string::npos || path.find("/./") != std::string::npos ||
            (path.size() >= 3 && path.compare(path.size() - 3, 3, "/..") == 0))
            __builtin_trap();
    }
    return 0;
}
