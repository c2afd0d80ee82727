// The first column's text: the attachment mark and the subject.
#pragma once

#include <cstddef>
#include <string>

#include "session/tables.h"

namespace messagelist {

// "@  " when the attached cell is exactly "true", three spaces otherwise.
const char* AttachmentMark(const char* attached);

// Bytes of UTF-8 the title may hold (its buffer of 260 less the terminator).
constexpr std::size_t kTitleBytes = 259;

// The mark and the subject, cut to kTitleBytes at a character boundary.
std::string ComposeTitle(const session::MessageRow& row);

// The first `limit` bytes of a UTF-8 text, shortened so that no character
// is split.
std::string CutUtf8(const std::string& text, std::size_t limit);

}  // namespace messagelist
