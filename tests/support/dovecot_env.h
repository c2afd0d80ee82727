// What tests/imap/dovecot_fixture.py hands the programs it runs: the
// directory of its Dovecot (VANTLO_DOVECOT, unset when not run under it),
// the account (VANTLO_DOVECOT_USER, VANTLO_DOVECOT_PASSWORD) and, in
// "ports", the port of each server it started ("imaps", "imap", "lean"...).
#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

namespace testsupport {

// The variable's text, empty when it is not set.
inline std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The port of the fixture's server of that name, empty when there is none.
inline std::string DovecotPort(const std::string& server) {
    std::ifstream in(Env("VANTLO_DOVECOT") + "/ports");
    std::string key, port;
    while (in >> key >> port)
        if (key == server) return port;
    return "";
}

}  // namespace testsupport
