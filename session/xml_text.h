// Values placed inside the XML bodies of the script interface (folder names,
// subjects, ids) go through here, so a "&" or "<" in a name stays text
// instead of breaking or rewriting the request.
#pragma once

#include <string>
#include <string_view>

namespace session {

// Replaces & < > " ' by their entity references; every other byte, UTF-8
// sequences included, is kept as it stands.
std::string XmlEscape(std::string_view text);

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or
// code points past U+10FFFF) and holds no control characters (below 0x20,
// 0x7F): what a name may be to travel in a body and be shown back whole.
bool IsCleanText(std::string_view text);

}  // namespace session
