// Checks of the arguments the folder and message commands pass to the
// provider, and the one error line a failed operation prints.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/command.h"

namespace cli {

// A folder id: 1 to 14 decimal digits (what the folder table's id cell holds).
bool IsFolderId(std::string_view text);

// The same for the mailbox the context signs in to: over IMAP a folder id
// is the folder's full name.
bool IsFolderId(const Context& context, std::string_view text);
// A message id as the listing prints it: 1 to 255 bytes, none of them a
// space or a control character.
bool IsMessageId(std::string_view text);

// A part size: decimal bytes, or with K, M or G (1024, 1024^2, 1024^3)
// after the digits ("32M"); from 1 byte to below 2 GiB.
bool ParsePartSize(std::string_view text, std::uint64_t& bytes);

// "" when the folder name can be sent and shown back whole; else why not.
std::string FolderNameProblem(std::string_view name);

// A table cell made safe for one tab-separated output line: tabs, line
// breaks and other control characters become spaces.
std::string OutputField(std::string_view text);

// Prints the message as one error line and returns kExitUsage.
int UsageError(Context& context, const std::string& message);

// The commands here check their arguments first and then sign in, so that
// wrong usage sends nothing. Returns kExitOk once signed in.
int SignInChecked(Context& context);

}  // namespace cli
