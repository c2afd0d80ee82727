#include "dav/paths.h"

#include <cctype>

namespace dav {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Compares without leaking how long a prefix matched through the time taken.
bool SameSecret(const std::string& a, const std::string& b) {
    unsigned char difference = a.size() == b.size() ? 0 : 1;
    for (std::size_t i = 0; i < a.size(); ++i) difference |= a[i] ^ (i < b.size() ? b[i] : 0);
    return difference == 0;
}

}  // namespace

bool DecodeSegment(const std::string& encoded, std::string& decoded) {
    decoded.clear();
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        char c = encoded[i];
        if (c == '%') {
            if (i + 2 >= encoded.size()) return false;
            int high = HexValue(encoded[i + 1]), low = HexValue(encoded[i + 2]);
            if (high < 0 || low < 0) return false;
            c = static_cast<char>(high * 16 + low);
            if (c == '/' || c == '\\' || c == '\0') return false;
            i += 2;
        } else if (c == '\\') {
            return false;
        }
        decoded += c;
    }
    return true;
}

UriResult ResolveUri(const std::string& target, const std::string& host, const std::string& token, std::string& path,
                     bool& collection) {
    std::string rest = target;
    std::size_t scheme = rest.find("://");
    if (scheme != std::string::npos && rest[0] != '/') {
        std::string name = rest.substr(0, scheme);
        if (!SameText(name, "http") && !SameText(name, "https")) return UriResult::NotOurs;
        std::size_t slash = rest.find('/', scheme + 3);
        std::string authority =
            rest.substr(scheme + 3, slash == std::string::npos ? std::string::npos : slash - scheme - 3);
        if (!SameText(authority, host)) return UriResult::NotOurs;
        rest = slash == std::string::npos ? "/" : rest.substr(slash);
    }
    if (rest.empty() || rest[0] != '/') return UriResult::Malformed;
    if (rest.find('#') != std::string::npos) return UriResult::Malformed;
    std::size_t query = rest.find('?');
    if (query != std::string::npos) rest.erase(query);

    // The first segment is the token, compared as written.
    std::size_t tokenEnd = rest.find('/', 1);
    std::string first = rest.substr(1, tokenEnd == std::string::npos ? std::string::npos : tokenEnd - 1);
    if (!SameSecret(first, token)) return UriResult::NotOurs;
    rest = tokenEnd == std::string::npos ? "/" : rest.substr(tokenEnd);

    collection = rest.back() == '/';
    path.clear();
    std::size_t at = 1;
    while (at <= rest.size()) {
        std::size_t end = rest.find('/', at);
        if (end == std::string::npos) end = rest.size();
        std::string encoded = rest.substr(at, end - at), segment;
        at = end + 1;
        if (encoded.empty()) {
            if (end == rest.size()) break;  // the trailing slash
            continue;                       // "//" reads as "/"
        }
        if (!DecodeSegment(encoded, segment)) return UriResult::Malformed;
        if (segment == "." || segment == "..") return UriResult::Malformed;
        path += '/' + segment;
    }
    if (path.empty()) {
        path = "/";
        collection = true;
    }
    return UriResult::Ok;
}

std::string HrefOf(const std::string& token, const std::string& path, bool collection) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string href = "/" + token;
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~' || c == '!' || c == '$' ||
            c == '\'' || c == '(' || c == ')' || c == '*' || c == '+' || c == ',' || c == ';' || c == '=' || c == ':' ||
            c == '@') {
            href += static_cast<char>(c);
        } else {
            href += '%';
            href += kHex[c >> 4];
            href += kHex[c & 15];
        }
    }
    if (collection && href.back() != '/') href += '/';
    return href;
}

std::string ParentOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    return dir == "/" ? "/" + name : dir + "/" + name;
}

bool IsWithin(const std::string& path, const std::string& ancestor) {
    if (ancestor == "/") return true;
    return path == ancestor || (path.size() > ancestor.size() && path.compare(0, ancestor.size(), ancestor) == 0 &&
                                path[ancestor.size()] == '/');
}

}  // namespace dav
