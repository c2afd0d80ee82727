// What a mail is made of, from the server's BODYSTRUCTURE: the leaves with
// their section numbers, which one is the text body and which are
// attachments (with their names), so that each can be fetched alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imap/response_reader.h"

namespace imap {

struct BodyPart {
    std::string section;  // "1", "2", "1.2"...
    std::string type;     // lower case: "text", "application"...
    std::string subtype;
    std::string charset;
    std::string encoding;      // the Content-Transfer-Encoding, lower case
    std::uint64_t octets = 0;  // as sent, before decoding
    std::string name;          // the file name, decoded; empty when it has none
    bool attachment = false;
};

struct MailStructure {
    std::vector<BodyPart> leaves;
    int text = -1;                 // index of the plain text body, -1 when none
    std::vector<int> attachments;  // indexes, in order
};

Outcome ReadStructure(const Value& body, MailStructure& structure);

}  // namespace imap
