// mbox:listMessages, mbox:searchMessages, mbox:readMessage,
// mbox:updateMessageInfos, mbox:deleteMessages.
#include <algorithm>
#include <optional>

#include "answer_shapes.h"
#include "webmail_functions.h"

namespace provider {

namespace {

constexpr std::int64_t kDefaultPage = 50;
// A larger limit is answered with a page of this size; 'total' tells how
// many there are.
constexpr std::int64_t kLargestPage = 200;
// A larger summary window is answered with summaries of this many characters.
constexpr std::int64_t kLargestSummaryWindow = 4096;

// order, desc, start, limit and returnTotal: the members listings and
// searches share. False when one of them is not of its kind.
bool ReadPaging(const XmlElement& body, MessageQuery& query, bool& returnTotal) {
    std::string order = "date";
    query.start = 0;
    query.limit = kDefaultPage;
    returnTotal = false;
    if (body.Member("order") != nullptr && !TextMember(body, "order", order)) return false;
    if (order != "date" && order != "receivedDate") return false;
    if (body.Member("desc") != nullptr && !BoolMember(body, "desc", query.newestFirst)) return false;
    if (body.Member("start") != nullptr && !IntMember(body, "start", query.start)) return false;
    if (body.Member("limit") != nullptr && !IntMember(body, "limit", query.limit)) return false;
    if (body.Member("returnTotal") != nullptr && !BoolMember(body, "returnTotal", returnTotal)) return false;
    if (query.start < 0 || query.limit < 0) return false;
    if (query.limit > kLargestPage) query.limit = kLargestPage;
    return true;
}

Fault AnswerPage(const FunctionCall& call, const MessageQuery& query, bool returnTotal, ScriptWriter& answer,
                 std::int64_t summaryWindow = 0) {
    MessagePage page;
    Fault fault = call.context.store.FindMessages(call.account, query, page);
    if (fault != Fault::None) return fault;
    WriteMessagePage(answer, page, returnTotal, static_cast<std::size_t>(summaryWindow));
    return Fault::None;
}

}  // namespace

// <object><int name="fid">1</int><string name="order">date</string>
// <boolean name="desc">true</boolean><int name="start">0</int><int name="limit">50</int>
// [<boolean name="returnTotal">true</boolean>] [<int name="summaryWindowSize">N</int>]</object>
// With a summary window each message carries 'summary': the first N
// characters of its text.
Fault ListMessages(const FunctionCall& call, ScriptWriter& answer) {
    std::int64_t fid = 0, summaryWindow = 0;
    MessageQuery query;
    bool returnTotal = false;
    if (!IntMember(call.body, "fid", fid) || !ReadPaging(call.body, query, returnTotal)) return Fault::InvalidParameter;
    if (call.body.Member("summaryWindowSize") != nullptr &&
        (!IntMember(call.body, "summaryWindowSize", summaryWindow) || summaryWindow < 0))
        return Fault::InvalidParameter;
    query.folderIds = std::vector<std::int64_t>{fid};
    return AnswerPage(call, query, returnTotal, answer, std::min(summaryWindow, kLargestSummaryWindow));
}

// <object><array name="conditions"><object><string name="field">subject</string>
// <string name="operator">contains</string><string name="operand">TEXT</string>
// <boolean name="ignoreCase">true</boolean></object>...</array>
// [<array name="fids"><int>FID</int>...</array>] and the paging of listMessages.
// Conditions must all hold; without fids (or with none in them) every folder
// is searched.
Fault SearchMessages(const FunctionCall& call, ScriptWriter& answer) {
    MessageQuery query;
    bool returnTotal = false;
    const XmlElement* conditions = nullptr;
    if (!ArrayMember(call.body, "conditions", conditions) || !ReadPaging(call.body, query, returnTotal))
        return Fault::InvalidParameter;
    for (const XmlElement& condition : conditions->children) {
        std::string field, op;
        MessageQuery::Contains contains;
        if (condition.tag != "object" || !TextMember(condition, "field", field) ||
            !TextMember(condition, "operator", op) || !TextMember(condition, "operand", contains.text) ||
            field != "subject" || op != "contains" ||
            (condition.Member("ignoreCase") != nullptr && !BoolMember(condition, "ignoreCase", contains.ignoreCase)))
            return Fault::InvalidParameter;
        query.subjectContains.push_back(std::move(contains));
    }
    if (call.body.Member("fids") != nullptr) {
        const XmlElement* fids = nullptr;
        std::vector<std::int64_t> ids;
        if (!ArrayMember(call.body, "fids", fids) || !IntItems(*fids, ids)) return Fault::InvalidParameter;
        if (!ids.empty()) query.folderIds = std::move(ids);  // an empty list limits nothing
    }
    return AnswerPage(call, query, returnTotal, answer);
}

// <object><string name="id">MID</string><string name="mode">text</string></object>
Fault ReadMessage(const FunctionCall& call, ScriptWriter& answer) {
    std::string id, mode = "text";
    if (!TextMember(call.body, "id", id)) return Fault::InvalidParameter;
    if (call.body.Member("mode") != nullptr && !TextMember(call.body, "mode", mode)) return Fault::InvalidParameter;
    if (mode != "text") return Fault::InvalidParameter;
    MessageRecord message;
    Fault fault = call.context.store.ReadMessage(call.account, id, message);
    if (fault != Fault::None) return fault;
    BeginOkAnswer(answer);
    answer.Key("var");
    WriteReadMessage(answer, message);
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
