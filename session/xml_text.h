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

}  // namespace session
