// mbox:getAllFolders, mbox:createUserFolders, mbox:updateFolders, mbox:deleteFolders.
#include <optional>

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

namespace {

// An optional <int name="parent">P</int> of an item: absent is fine, a
// member that is not a number is not.
bool ParentMember(const XmlElement& item, std::optional<std::int64_t>& parent) {
    parent.reset();
    if (item.Member("parent") == nullptr) return true;
    std::int64_t value = 0;
    if (!IntMember(item, "parent", value) || value < 0) return false;
    parent = value;
    return true;
}

}  // namespace

// <object><array name="items"><object><string name="name">N</string>[<int name="parent">P</int>]</object>...
// </array></object> answers 'var':[NEWID,...]; parent 0 or none is the top.
Fault CreateUserFolders(const FunctionCall& call, ScriptWriter& answer) {
    const XmlElement* items = nullptr;
    if (!ArrayMember(call.body, "items", items)) return Fault::InvalidParameter;
    std::vector<NewFolder> folders;
    for (const XmlElement& item : items->children) {
        std::string name;
        std::optional<std::int64_t> parent;
        if (item.tag != "object" || !TextMember(item, "name", name) || !ParentMember(item, parent))
            return Fault::InvalidParameter;
        folders.emplace_back(std::move(name), parent.value_or(0));
    }
    std::vector<std::int64_t> ids;
    Fault fault = call.context.store.CreateFolders(call.account, folders, ids);
    if (fault != Fault::None) return fault;
    BeginOkAnswer(answer);
    answer.Key("var").BeginArray();
    for (std::int64_t id : ids) answer.Number(id);
    answer.EndArray();
    EndAnswer(answer);
    return Fault::None;
}

// <object><array name="items"><object><int name="id">ID</int>[<string name="name">N</string>]
// [<int name="parent">P</int>]</object></array></object>: a rename, a move, or both.
Fault UpdateFolders(const FunctionCall& call, ScriptWriter& answer) {
    const XmlElement* items = nullptr;
    if (!ArrayMember(call.body, "items", items)) return Fault::InvalidParameter;
    std::vector<FolderUpdate> updates;
    for (const XmlElement& item : items->children) {
        FolderUpdate update;
        std::string name;
        if (item.tag != "object" || !IntMember(item, "id", update.id) || !ParentMember(item, update.parent))
            return Fault::InvalidParameter;
        if (item.Member("name") != nullptr) {
            if (!TextMember(item, "name", name)) return Fault::InvalidParameter;
            update.name = std::move(name);
        }
        if (!update.name && !update.parent) return Fault::InvalidParameter;
        updates.push_back(std::move(update));
    }
    Fault fault = call.context.store.UpdateFolders(call.account, updates);
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
