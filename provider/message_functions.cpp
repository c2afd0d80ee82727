// mbox:listMessages, mbox:updateMessageInfos, mbox:deleteMessages.
#include <optional>

#include "answer_shapes.h"
#include "webmail_functions.h"

namespace provider {

namespace {

constexpr std::int64_t kDefaultPage = 50;
constexpr std::int64_t kLargestPage = 1000;

}  // namespace

// <object><int name="fid">1</int><string name="order">date</string>
// <boolean name="desc">true</boolean><int name="start">0</int><int name="limit">50</int></object>
Fault ListMessages(const FunctionCall& call, ScriptWriter& answer) {
    std::int64_t fid = 0;
    if (!IntMember(call.body, "fid", fid)) return Fault::InvalidParameter;
    std::string order = "date";
    bool desc = true;
    std::int64_t start = 0;
    std::int64_t limit = kDefaultPage;
    if (call.body.Member("order") != nullptr && !TextMember(call.body, "order", order)) return Fault::InvalidParameter;
    if (order != "date" && order != "receivedDate") return Fault::InvalidParameter;
    if (call.body.Member("desc") != nullptr && !BoolMember(call.body, "desc", desc)) return Fault::InvalidParameter;
    if (call.body.Member("start") != nullptr && !IntMember(call.body, "start", start)) return Fault::InvalidParameter;
    if (call.body.Member("limit") != nullptr && !IntMember(call.body, "limit", limit)) return Fault::InvalidParameter;
    if (start < 0 || limit < 0) return Fault::InvalidParameter;
    if (limit > kLargestPage) limit = kLargestPage;
    MessagePage page;
    Fault fault = call.context.store.ListMessages(call.account, fid, desc, start, limit, page);
    if (fault != Fault::None) return fault;
    BeginOkAnswer(answer);
    answer.Key("var").BeginArray();
    for (const MessageRecord& message : page.messages) WriteMessage(answer, message);
    answer.EndArray();
    if (answer.Style() == AnswerStyle::Field) answer.Member("total", page.total);
    EndAnswer(answer);
    return Fault::None;
}

// <object><array name="ids"><string>MID</string>...</array>
// <object name="attrs"><int name="fid">TARGET</int></object></object>
// attrs may also carry <object name="flags"><boolean name="read">..</boolean></object>.
Fault UpdateMessageInfos(const FunctionCall& call, ScriptWriter& answer) {
    const XmlElement* array = nullptr;
    std::vector<std::string> ids;
    if (!ArrayMember(call.body, "ids", array) || !TextItems(*array, ids)) return Fault::InvalidParameter;
    const XmlElement* attrs = call.body.Member("attrs");
    if (attrs == nullptr || attrs->tag != "object") return Fault::InvalidParameter;
    std::optional<std::int64_t> fid;
    std::optional<bool> read;
    if (attrs->Member("fid") != nullptr) {
        std::int64_t value = 0;
        if (!IntMember(*attrs, "fid", value)) return Fault::InvalidParameter;
        fid = value;
    }
    if (const XmlElement* flags = attrs->Member("flags")) {
        bool value = false;
        if (flags->Member("read") != nullptr) {
            if (!BoolMember(*flags, "read", value)) return Fault::InvalidParameter;
            read = value;
        }
    }
    Fault fault = call.context.store.UpdateMessages(call.account, ids, fid, read);
    if (fault != Fault::None) return fault;
    BeginOkAnswer(answer);
    EndAnswer(answer);
    return Fault::None;
}

// <object><array name="ids"><string>MID</string>...</array></object>: gone for good.
Fault DeleteMessages(const FunctionCall& call, ScriptWriter& answer) {
    const XmlElement* array = nullptr;
    std::vector<std::string> ids;
    if (!ArrayMember(call.body, "ids", array) || !TextItems(*array, ids)) return Fault::InvalidParameter;
    Fault fault = call.context.store.DeleteMessages(call.account, ids);
    if (fault != Fault::None) return fault;
    BeginOkAnswer(answer);
    EndAnswer(answer);
    return Fault::None;
}

}  // namespace provider
