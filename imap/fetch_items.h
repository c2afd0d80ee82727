// The small formats around FETCH and SEARCH: a FETCH response's items (a
// message part's literal streamed rather than held), UID sets, internal
// dates, and the mail ids the store hands out.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "imap/response_reader.h"

namespace imap {

// Called with the literal (or quoted text, or nothing for NIL) of a
// BODY[...] or BINARY[...] item; it must read exactly `token`'s content.
using SectionReader = std::function<Outcome(ResponseReader&, const Token& token)>;

// Reads "(KEY value ...)" through the line end into `items` (keys in upper
// case). Section items go to `section` when it is given.
Outcome ReadFetch(ResponseReader& reader, std::map<std::string, Value>& items, const SectionReader& section);

// Reads the rest of a line as values (LIST, STATUS).
Outcome ReadLine(ResponseReader& reader, std::vector<Value>& values);
// Reads "n n n ..." through the line end (SEARCH).
Outcome ReadNumbers(ResponseReader& reader, std::vector<std::uint32_t>& numbers);

// "1:3,7,9:10" for sorted, distinct UIDs.
std::string UidSet(const std::vector<std::uint32_t>& uids);

// "17-Jul-1996 02:44:25 -0700" as UTC seconds; false when malformed.
bool ParseInternalDate(const std::string& text, std::int64_t& utcSeconds);

struct MailRef {
    std::string folder;
    std::uint32_t validity = 0;
    std::uint32_t uid = 0;
};
std::string MailIdOf(const MailRef& ref);
bool ParseMailId(const std::string& id, MailRef& ref);

}  // namespace imap
