#include "vault/neutral_store.h"

namespace vault {

std::string NeutralAttachmentName(const std::string& attachmentName) {
    const std::size_t dot = attachmentName.rfind('.');
    const bool numbered = dot != std::string::npos && dot + 1 < attachmentName.size() &&
                          attachmentName.find_first_not_of("0123456789", dot + 1) == std::string::npos;
    return std::string(kNeutralAttachmentName) + (numbered ? attachmentName.substr(dot) : "");
}

catalog::Outcome NeutralStore::StorePart(const catalog::PartUpload& part, std::string& newMailId) {
    catalog::PartUpload neutral = part;
    neutral.attachmentName = NeutralAttachmentName(part.attachmentName);
    return inner_.StorePart(neutral, newMailId);
}

catalog::Outcome NeutralStore::Fork(std::unique_ptr<catalog::MailStore>& fork) {
    std::unique_ptr<catalog::MailStore> inner;
    catalog::Outcome outcome = inner_.Fork(inner);
    if (outcome.Ok()) fork = std::make_unique<NeutralStore>(std::move(inner));
    return outcome;
}

}  // namespace vault
