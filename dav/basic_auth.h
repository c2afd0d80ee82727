// HTTP Basic authentication (RFC 7617) for a server that listens beyond
// this machine, always over TLS: one user name and password, given at
// start. The expected credentials are kept encoded and compared in time
// that does not depend on where they differ.
#pragma once

#include <string>

namespace dav {

class BasicAuth {
public:
    BasicAuth() = default;  // no user: every request passes
    BasicAuth(const std::string& user, const std::string& password);

    bool Required() const { return !expected_.empty(); }
    // Whether an Authorization header (null when absent) carries the
    // credentials.
    bool Accepts(const std::string* authorization) const;
    // The challenge of a 401 answer.
    static const char* Challenge() { return "Basic realm=\"vantlo\", charset=\"UTF-8\""; }

private:
    std::string expected_;  // base64 of "user:password"
};

}  // namespace dav
