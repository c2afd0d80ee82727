// The script functions of the webmail host (POST /a/s?sid=...&func=NAME).
// Each reads its XML body, asks the store, and either writes a whole
// success answer or returns the fault, in which case nothing it wrote is
// used and the answer is the fault's code alone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fault.h"
#include "script_writer.h"
#include "server_context.h"
#include "xml_reader.h"

namespace provider {

struct FunctionCall {
    ServerContext& context;
    const std::string& account;
    const XmlElement& body;  // the root <object>
};

using WebmailFunction = Fault (*)(const FunctionCall& call, ScriptWriter& answer);

// nullptr when there is no function of that name.
WebmailFunction FindWebmailFunction(std::string_view name);

Fault GetAllFolders(const FunctionCall& call, ScriptWriter& answer);
Fault CreateUserFolders(const FunctionCall& call, ScriptWriter& answer);
Fault UpdateFolders(const FunctionCall& call, ScriptWriter& answer);
Fault DeleteFolders(const FunctionCall& call, ScriptWriter& answer);
Fault ListMessages(const FunctionCall& call, ScriptWriter& answer);
Fault SearchMessages(const FunctionCall& call, ScriptWriter& answer);
Fault ReadMessage(const FunctionCall& call, ScriptWriter& answer);
Fault UpdateMessageInfos(const FunctionCall& call, ScriptWriter& answer);
Fault DeleteMessages(const FunctionCall& call, ScriptWriter& answer);
Fault Compose(const FunctionCall& call, ScriptWriter& answer);

// Readings of request members shared by the functions. Each is false when
// the member is missing or is not of its kind.
bool ArrayMember(const XmlElement& object, std::string_view name, const XmlElement*& array);
bool TextMember(const XmlElement& object, std::string_view name, std::string& value);
bool IntMember(const XmlElement& object, std::string_view name, std::int64_t& value);
bool BoolMember(const XmlElement& object, std::string_view name, bool& value);
// Every item of an array as an integer, or as a text.
bool IntItems(const XmlElement& array, std::vector<std::int64_t>& values);
bool TextItems(const XmlElement& array, std::vector<std::string>& values);

}  // namespace provider
