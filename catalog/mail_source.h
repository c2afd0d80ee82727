// Saving one mail whole, as the mailbox keeps it (an .eml file), for the
// person who wants the mail itself rather than the file it carries.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "catalog/mail_store.h"

namespace catalog {

// Writes the mail's source beside `target` and puts it in the target's
// place only once all of it has arrived; nothing in the way is written
// through (see local_target.h). TooLarge past `limit` bytes.
Outcome SaveMailSource(MailStore& store, const std::string& mailId, const std::filesystem::path& target,
                       std::uint64_t limit);

}  // namespace catalog
