#include "catalog/mail_store.h"

namespace catalog {

Outcome MailStore::SearchMailsIn(const std::string& text, const std::vector<std::string>& folderIds,
                                 std::vector<MailInfo>& mails) {
    mails.clear();
    if (folderIds.empty()) return SearchMails(text, {}, mails);
    for (const std::string& folderId : folderIds) {
        std::vector<MailInfo> found;
        Outcome outcome = SearchMails(text, folderId, found);
        if (!outcome.Ok()) return outcome;
        mails.insert(mails.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
    }
    return Success();
}

}  // namespace catalog
