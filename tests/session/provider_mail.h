// Helpers for tests against a real vantlo-provider: sign a Session in, and
// put mails into the account's inbox the way the provider stores them (a
// compose session delivered to the account's own address).
#pragma once

#include <string>

#include "provider_process.h"
#include "session/cells.h"
#include "session/exchange.h"
#include "session/folders.h"
#include "session/keyword_scanner.h"
#include "session/provider_directory.h"
#include "session/script_request.h"
#include "session/signin.h"

namespace testsupport {

inline bool SignInTo(session::Session& s, const ProviderProcess& provider, const std::string& account,
                     const std::string& password) {
    s.providerOverride = provider.HostPort();
    s.limits.idleTimeoutMs = 10000;
    return session::SignIn(s, account, session::EntryForAccount(account), password) == session::SignInResult::Ok;
}

// Delivers a mail without attachment to the account itself; returns the id
// of the mail in the inbox, empty when the provider refused.
inline std::string DeliverToSelf(session::Session& s, const std::string& subject) {
    const session::ExchangeStyle style{session::Style::Guarded, 6, session::Style::Guarded,  15,
                                       session::Style::Guarded, 9, session::AppendMode::Text};
    session::Answer answer;
    session::Request open = session::ScriptRequest(s, "mbox:compose", session::HeaderOrder::Long,
                                                   "<?xml version=\"1.0\"?><object/>", 4096, 4096);
    if (session::Exchange(session::WebmailEndpoint(s), open, style, s.limits, answer) != session::Status::Ok) return "";
    std::string composeId = session::FindVarValue(answer.Body());
    std::string account(session::CellText(s.accountName));
    std::string body = "<?xml version=\"1.0\"?><object><string name=\"action\">deliver</string><string name=\"id\">" +
                       session::XmlEscape(composeId) + "</string><object name=\"attrs\"><string name=\"account\">" +
                       account + "</string><array name=\"to\"><string>" + account +
                       "</string></array><string name=\"subject\">" + session::XmlEscape(subject) +
                       "</string><boolean name=\"saveSentCopy\">false</boolean></object></object>";
    session::Request deliver = session::ScriptRequest(s, "mbox:compose", session::HeaderOrder::Long, body, 4096, 4096);
    if (session::Exchange(session::WebmailEndpoint(s), deliver, style, s.limits, answer) != session::Status::Ok)
        return "";
    return session::FindVarValue(answer.Body());
}

// The folder table's row of a folder id, or nullptr.
inline const session::FolderRow* FolderById(const session::Session& s, const std::string& id) {
    for (std::size_t i = 0; i < session::UsedFolderRows(s.folderTable); ++i)
        if (session::CellText(s.folderTable.rows[i].id) == id) return &s.folderTable.rows[i];
    return nullptr;
}

// Reloads the folder table; false when the provider did not answer.
inline bool ReloadFolders(session::Session& s) {
    session::ClearFolderTable(s.folderTable);
    return session::GetAllFolders(s) == session::Status::Ok;
}

}  // namespace testsupport
