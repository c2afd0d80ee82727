// mbox:compose: an empty object opens a compose session; the action
// "deliver" sends it.
#include "answer_shapes.h"
#include "send_limits.h"
#include "text_rules.h"
#include "webmail_functions.h"

namespace provider {

namespace {

// to, cc and bcc: arrays of addresses ("addr" or "Name <addr>").
bool CollectRecipients(const XmlElement& attrs, std::vector<std::string>& recipients) {
    for (const char* name : {"to", "cc", "bcc"}) {
        const XmlElement* member = attrs.Member(name);
        if (member == nullptr) continue;
        std::vector<std::string> items;
        if (member->tag == "array") {
            if (!TextItems(*member, items)) return false;
        } else if (member->children.empty()) {
            items.push_back(member->text);
        } else {
            return false;
        }
        for (const std::string& item : items) {
            std::string address = AddressOfRecipient(item);
            if (!IsValidAddress(address)) return false;
            recipients.push_back(address);
        }
    }
    return !recipients.empty();
}

Fault Deliver(const FunctionCall& call, ScriptWriter& answer) {
    const XmlElement* attrs = call.body.Member("attrs");
    if (attrs == nullptr || attrs->tag != "object") return Fault::InvalidParameter;
    Delivery delivery;
    if (!TextMember(call.body, "id", delivery.composeId) && !TextMember(*attrs, "id", delivery.composeId))
        return Fault::InvalidParameter;
    if (!CollectRecipients(*attrs, delivery.recipients)) return Fault::InvalidParameter;
    if (attrs->Member("subject") != nullptr && !TextMember(*attrs, "subject", delivery.subject))
        return Fault::InvalidParameter;
    if (attrs->Member("saveSentCopy") != nullptr && !BoolMember(*attrs, "saveSentCopy", delivery.saveSentCopy))
        return Fault::InvalidParameter;
    if (attrs->Member("content") != nullptr && !TextMember(*attrs, "content", delivery.content))
        return Fault::InvalidParameter;
    // The first attachment's name: what webmail shows for the file.
    const XmlElement* attachments = attrs->Member("attachments");
    const XmlElement* first =
        attachments != nullptr && !attachments->children.empty() ? &attachments->children[0] : nullptr;
    if (first != nullptr && first->Member("name") != nullptr && !TextMember(*first, "name", delivery.attachmentName))
        return Fault::InvalidParameter;
    delivery.attachmentLimit = call.context.attachmentLimit;
    if (call.context.sendLimiter != nullptr) {
        SendLimiter& limiter = *call.context.sendLimiter;
        const std::string& account = call.account;
        delivery.admit = [&limiter, &account] { return limiter.Take(account, SteadyNowMs()); };
    }
    DeliveryResult result;
    Fault fault = call.context.store.Deliver(call.account, delivery, result);
    if (fault != Fault::None) return fault;
    BeginOkAnswer(answer);
    answer.Member("var", result.inboxIds.front());
    EndAnswer(answer);
    return Fault::None;
}

}  // namespace

Fault Compose(const FunctionCall& call, ScriptWriter& answer) {
    if (call.body.children.empty()) {
        std::string composeId;
        Fault fault = call.context.store.OpenCompose(call.account, composeId);
        if (fault != Fault::None) return fault;
        BeginOkAnswer(answer);
        answer.Member("var", composeId);
        EndAnswer(answer);
        return Fault::None;
    }
    std::string action;
    if (!TextMember(call.body, "action", action)) return Fault::InvalidParameter;
    if (action == "deliver") return Deliver(call, answer);
    return Fault::InvalidParameter;
}

}  // namespace provider
