#include <filesystem>
#include <ostream>
#include <system_error>

#include "cli/command.h"
#include "cli/mailbox.h"
#include "session/cells.h"
#include "session/provider_directory.h"

namespace cli {
namespace {

int RunDomains(Context& context, const std::vector<std::string>&) {
    for (int entry = 1; entry <= session::kEntryCount; ++entry)
        context.out << session::EntryByNumber(entry)->domain << "\n";
    return kExitOk;
}

int RunSignIn(Context& context, const std::vector<std::string>&) {
    if (context.account.empty()) return Fail(context, "signin needs --account");
    if (!context.imapUrl.empty()) {
        if (int signedIn = SignInAccount(context); signedIn != kExitOk) return signedIn;
        context.out << "signed in as " << context.account << " at " << context.imapUrl << "\n";
        return kExitOk;
    }
    if (int signedIn = SignInFresh(context); signedIn != kExitOk) return signedIn;
    context.out << "signed in as " << session::CellText(context.session.accountName) << " at "
                << session::CellText(context.session.host) << "\n";
    return kExitOk;
}

CommandRegistration domains({"domains", "", "list the supported account domains", 0, 0, false, RunDomains});
// Forgets the kept session; the next command signs in with the password.
int RunSignOut(Context& context, const std::vector<std::string>&) {
    if (context.account.empty()) return Fail(context, "signout needs --account");
    std::error_code error;
    const std::filesystem::path cache = SessionCachePath(context.account);
    if (!cache.empty() && !std::filesystem::remove(cache, error) && error)
        return Fail(context, "could not remove the kept session: " + error.message());
    return kExitOk;
}

CommandRegistration signin({"signin", "", "sign in, keep the session and show the account and webmail host", 0, 0,
                            false, RunSignIn});
CommandRegistration signout({"signout", "", "forget the session kept for the account", 0, 0, false, RunSignOut});

}  // namespace
}  // namespace cli
