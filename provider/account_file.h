// The text form of one account on disk (its index file): one record a
// line, fields separated by tabs, with backslash escapes for the
// characters that would break a line or a field. Indexes written before
// messages kept their attachment name and text lack the last two fields.
//
//   vantlo-account 1
//   address <address>
//   password <password>
//   next-folder <id>
//   next-message <seq>
//   folder <id> <name>
//   message <id> <fid> <size> <attachment size or -1> <sent> <received> <read 0|1> <seq> <from> <to> <subject>
//           <attachment name> <text>
//   compose <id> <created>
#pragma once

#include <string>
#include <string_view>

#include "account_data.h"

namespace provider {

// "\\" "\t" "\n" "\r" for backslash, tab, line feed and carriage return.
std::string EscapeField(std::string_view text);
bool UnescapeField(std::string_view text, std::string& out);

std::string SerializeAccount(const AccountData& account);
// False with a reason (line number and what is wrong) when the text is not
// an account index.
bool ParseAccount(std::string_view text, AccountData& account, std::string& error);

}  // namespace provider
