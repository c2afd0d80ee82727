// Messages as values, for the readers above the seed's fixed tables: pages
// of any length with full subjects (a table cell would cut a long name),
// and one message's text and attachments. Text values are decoded from
// their script escapes; members are matched by key in any order, and
// unknown members are skipped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "session/status.h"

namespace session {

struct MessageSummary {
    std::string id;
    std::string folderId;
    std::uint64_t size = 0;    // the whole mail, as the provider counts it
    std::string subject;       // decoded UTF-8
    std::string receivedDate;  // "year,month,day,hour,minute,second", month from 1; empty when absent
    std::string sentDate;      // the same form
    std::string from;          // as the provider gives it
    bool attached = false;
    bool read = false;        // a flag left out is false
    bool hasSummary = false;  // the answer carried 'summary' (asked for with a summary window)
    std::string summary;      // the first characters of the text, decoded
};

struct MessagePage {
    std::vector<MessageSummary> messages;  // in the answer's order
    bool hasTotal = false;
    std::uint64_t total = 0;  // messages on every page together, when hasTotal
};

struct AttachmentSummary {
    std::string id;
    std::string filename;
    std::uint64_t contentLength = 0;  // decoded bytes
};

struct MessageContent {
    std::string id;
    std::string subject;
    std::string text;  // the plain text body
    std::vector<AttachmentSummary> attachments;
};

// Read from the body of an accepted answer (ScriptVerdict Ok). Unreadable
// when its 'var' is not what the function answers (an array of messages;
// an object with the message's id), or a message of the page has no id.
Status ReadMessagePageAnswer(std::string_view body, MessagePage& page);
Status ReadMessageAnswer(std::string_view body, MessageContent& content);

// A decimal number of at most 19 digits; false for anything else.
bool ReadCount(std::string_view text, std::uint64_t& value);

}  // namespace session
