#include <ostream>

#include "cli/command.h"
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
    if (!context.imapUrl.empty()) {
        context.out << "signed in as " << context.account << " at " << context.imapUrl << "\n";
        return kExitOk;
    }
    context.out << "signed in as " << session::CellText(context.session.accountName) << " at "
                << session::CellText(context.session.host) << "\n";
    return kExitOk;
}

CommandRegistration domains({"domains", "", "list the supported account domains", 0, 0, false, RunDomains});
CommandRegistration signin({"signin", "", "sign in and show the account and webmail host", 0, 0, true, RunSignIn});

}  // namespace
}  // namespace cli
