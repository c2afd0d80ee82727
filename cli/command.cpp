#include "cli/command.h"

#include <ostream>

#include "mailbox/open.h"
#include "platform/net.h"
#include "platform/password_input.h"
#include "session/exchange.h"
#include "session/provider_directory.h"
#include "session/session_cache.h"
#include "session/signin.h"

namespace cli {

namespace {
std::vector<Command>& Registry() {
    static std::vector<Command> commands;
    return commands;
}

}  // namespace

CommandRegistration::CommandRegistration(const Command& command) {
    Registry().push_back(command);
}

const std::vector<Command>& Commands() {
    return Registry();
}

int Fail(Context& context, const std::string& message) {
    context.err << "vantlo-cli: " << message << "\n";
    return kExitFailure;
}

namespace {
int SignInImap(Context& context) {
    const std::string password = platform::ReadPasswordInput();
    if (password.empty()) return Fail(context, "the password is empty");
    // The one opener every front end uses; the options were applied to the session.
    mailbox::MailboxOptions options;
    options.imapUrl = context.imapUrl;
    options.account = context.account;
    options.caFile = session::CaFile(context.session);
    options.timeoutMs = context.session.limits.idleTimeoutMs;
    catalog::Outcome outcome = mailbox::OpenMailbox(options, password, context.imapStore);
    if (!outcome.Ok()) return Fail(context, "could not sign in at " + context.imapUrl + ": " + outcome.Text());
    context.password = password;
    return kExitOk;
}
}  // namespace

int SignInAccount(Context& context) {
    if (!context.imapUrl.empty()) return SignInImap(context);
    if (session::EntryForAccount(context.account) == 0)
        return Fail(context, "unsupported account domain in '" + context.account + "'");
    if (!context.sessionCache.empty() &&
        session::LoadSessionCache(context.sessionCache, context.account, context.session)) {
        return kExitOk;
    }
    return SignInFresh(context);
}

int SignInFresh(Context& context) {
    int entry = session::EntryForAccount(context.account);
    if (entry == 0) return Fail(context, "unsupported account domain in '" + context.account + "'");
    std::string password = context.password.empty() ? platform::ReadPasswordInput() : context.password;
    const session::Status status = session::SignIn(context.session, context.account, entry, password);
    if (status == session::Status::Ok) {
        context.password = password;
        // A cache that cannot be written costs the next command a sign-in, nothing more.
        if (!context.sessionCache.empty())
            session::SaveSessionCache(context.sessionCache, context.session, context.account);
        return kExitOk;
    }
    const std::string text = session::StatusText(status);
    switch (status) {
    case session::Status::CertificateRefused:
    case session::Status::SecureChannelFailed: return Fail(context, "sign-in failed: " + session::LastTlsProblem());
    case session::Status::SignInRefused: return Fail(context, "sign-in refused: wrong password or unknown user");
    case session::Status::ConnectFailed:
    case session::Status::ConnectWaitFailed:
    case session::Status::ConnectIndeterminate:
    case session::Status::HostUnresolved: {
        // The system's own reason (refused, no route, no answer) with the address it tried.
        const std::string reason = net::LastConnectProblem();
        return Fail(context, "provider unreachable: " + (reason.empty() ? text : reason));
    }
    case session::Status::TimedOut:
    case session::Status::TooSlow:
    case session::Status::SendFailed:
    case session::Status::SendWaitFailed:
    case session::Status::ReceiveWaitFailed:
    case session::Status::Incomplete: return Fail(context, "time-out or broken connection: " + text);
    default: return Fail(context, "sign-in failed: " + text);
    }
}

}  // namespace cli
