// POST /a/s: the session check, the body, the function, the answer.
#include <utility>

#include "answer_shapes.h"
#include "roles.h"
#include "url_codec.h"
#include "webmail_functions.h"

namespace provider {

namespace {

struct NamedFunction {
    const char* name;
    WebmailFunction function;
};

const NamedFunction kFunctions[] = {
    {"mbox:getAllFolders", GetAllFolders},   {"mbox:createUserFolders", CreateUserFolders},
    {"mbox:updateFolders", UpdateFolders},   {"mbox:deleteFolders", DeleteFolders},
    {"mbox:listMessages", ListMessages},     {"mbox:updateMessageInfos", UpdateMessageInfos},
    {"mbox:deleteMessages", DeleteMessages}, {"mbox:compose", Compose},
    {"mbox:searchMessages", SearchMessages}, {"mbox:readMessage", ReadMessage},
};

}  // namespace

WebmailFunction FindWebmailFunction(std::string_view name) {
    for (const NamedFunction& entry : kFunctions)
        if (name == entry.name) return entry.function;
    return nullptr;
}

HttpAnswer WebmailAnswer(ServerContext& context, const HttpRequest& request, const std::string& body) {
    std::optional<std::string> account = WebSessionAccount(context, request);
    if (!account) return ScriptAnswer(FaultAnswer(context.style, Fault::InvalidSession));
    FieldList query = ParseQuery(request.query);
    const std::string* func = FindField(query, "func");
    WebmailFunction function = func != nullptr ? FindWebmailFunction(*func) : nullptr;
    if (function == nullptr) return ScriptAnswer(FaultAnswer(context.style, Fault::UnknownFunction));
    XmlElement root;
    if (ParseXml(body, root) != XmlFault::None) return ScriptAnswer(FaultAnswer(context.style, Fault::ParseError));
    if (root.tag != "object") return ScriptAnswer(FaultAnswer(context.style, Fault::InvalidParameter));
    ScriptWriter answer(context.style);
    Fault fault = function(FunctionCall{context, *account, root}, answer);
    if (fault != Fault::None) return ScriptAnswer(FaultAnswer(context.style, fault));
    return ScriptAnswer(answer.Result());
}

bool ArrayMember(const XmlElement& object, std::string_view name, const XmlElement*& array) {
    array = object.Member(name);
    return array != nullptr && array->tag == "array";
}

bool TextMember(const XmlElement& object, std::string_view name, std::string& value) {
    const XmlElement* member = object.Member(name);
    if (member == nullptr || !member->children.empty()) return false;
    value = member->text;
    return true;
}

bool IntMember(const XmlElement& object, std::string_view name, std::int64_t& value) {
    const XmlElement* member = object.Member(name);
    return member != nullptr && ReadInt(*member, value);
}

bool BoolMember(const XmlElement& object, std::string_view name, bool& value) {
    const XmlElement* member = object.Member(name);
    return member != nullptr && ReadBool(*member, value);
}

bool IntItems(const XmlElement& array, std::vector<std::int64_t>& values) {
    values.clear();
    for (const XmlElement& item : array.children) {
        std::int64_t value = 0;
        if (!ReadInt(item, value)) return false;
        values.push_back(value);
    }
    return true;
}

bool TextItems(const XmlElement& array, std::vector<std::string>& values) {
    values.clear();
    for (const XmlElement& item : array.children) {
        if (!item.children.empty()) return false;
        values.push_back(item.text);
    }
    return true;
}

}  // namespace provider
