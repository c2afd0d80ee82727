// mbox:getAllFolders, mbox:createUserFolders, mbox:updateFolders, mbox:deleteFolders.
#include "answer_shapes.h"
#include "webmail_functions.h"

namespace provider {

// <object><boolean name="stats">true</boolean>...</object>: the counters
// are always written, whatever the flags ask.
Fault GetAllFolders(const FunctionCall& call, ScriptWriter& answer) {
    std::vector<FolderListing> folders;
    Fault fault = call.context.store.Folders(call.account, folders);
    if (fault != Fault::None) return fault;
    BeginOkAnswer(answer);
    answer.Key("var").BeginArray();
    for (const FolderListing& folder : folders) WriteFolder(answer, folder);
    answer.EndArray();
    EndAnswer(answer);
    return Fault::None;
}

// <object><array name="items"><object><string name="name">N</string></object>...</array></object>
// answers 'var':[NEWID,...].
Fault CreateUserFolders(const FunctionCall& call, ScriptWriter& answer) {
    const XmlElement* items = nullptr;
    if (!ArrayMember(call.body, "items", items)) return Fault::InvalidParameter;
    std::vector<std::string> names;
    for (const XmlElement& item : items->children) {
        std::string name;
        if (item.tag != "object" || !TextMember(item, "name", name)) return Fault::InvalidParameter;
        names.push_back(std::move(name));
    }
    std::vector<std::int64_t> ids;
    Fault fault = call.context.store.CreateFolders(call.account, names, ids);
    if (fault != Fault::None) return fault;
    BeginOkAnswer(answer);
    answer.Key("var").BeginArray();
    for (std::int64_t id : ids) answer.Number(id);
    answer.EndArray();
    EndAnswer(answer);
    return Fault::None;
}

// <object><array name="items"><object><int name="id">ID</int><string name="name">N</string></object></array></object>
Fault UpdateFolders(const FunctionCall& call, ScriptWriter& answer) {
    const XmlElement* items = nullptr;
    if (!ArrayMember(call.body, "items", items)) return Fault::InvalidParameter;
    std::vector<std::pair<std::int64_t, std::string>> renames;
    for (const XmlElement& item : items->children) {
        std::int64_t id = 0;
        std::string name;
        if (item.tag != "object" || !IntMember(item, "id", id) || !TextMember(item, "name", name))
            return Fault::InvalidParameter;
        renames.emplace_back(id, std::move(name));
    }
    Fault fault = call.context.store.RenameFolders(call.account, renames);
    if (fault != Fault::None) return fault;
    BeginOkAnswer(answer);
    EndAnswer(answer);
    return Fault::None;
}

// <object><array name="ids"><int>ID</int>...</array></object>
Fault DeleteFolders(const FunctionCall& call, ScriptWriter& answer) {
    const XmlElement* array = nullptr;
    std::vector<std::int64_t> ids;
    if (!ArrayMember(call.body, "ids", array) || !IntItems(*array, ids)) return Fault::InvalidParameter;
    Fault fault = call.context.store.DeleteFolders(call.account, ids);
    if (fault != Fault::None) return fault;
    BeginOkAnswer(answer);
    EndAnswer(answer);
    return Fault::None;
}

}  // namespace provider
