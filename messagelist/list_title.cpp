#include "messagelist/list_title.h"

#include <cstring>

#include "session/cells.h"

namespace messagelist {

const char* AttachmentMark(const char* attached) {
    return std::strcmp(attached, "true") == 0 ? "@  " : "   ";
}

std::string CutUtf8(const std::string& text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t end = limit;
    // Step back over continuation bytes to the start of the cut character.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

std::string ComposeTitle(const session::MessageRow& row) {
    std::string title = AttachmentMark(row.attached);
    title.append(session::CellText(row.subject));
    return CutUtf8(title, kTitleBytes);
}

}  // namespace messagelist
