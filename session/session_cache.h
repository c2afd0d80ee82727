// A signed-in session kept between runs, so that many commands share one
// sign-in: the cookies, the session id and the webmail host (with its
// scheme), in a private file of the user (platform/private_file.h). The
// file names the account and the provider it belongs to; it is taken only
// for the same two. The password is never in it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "session/session.h"

namespace session {

// The cache's text for a signed-in session of `account`.
std::string WriteSessionCache(const Session& session, const std::string& account);

// Fills the sign-in fields of `session` from the text when it is a cache of
// `account` at the provider `session` is set to reach, with every value
// fitting its field; false (and `session` untouched) otherwise.
bool ReadSessionCache(std::string_view text, const std::string& account, Session& session);

bool SaveSessionCache(const std::filesystem::path& file, const Session& session, const std::string& account);
bool LoadSessionCache(const std::filesystem::path& file, const std::string& account, Session& session);

}  // namespace session
