// ls, find, stat, mv, rm: a folder's files (each file all of its parts),
// and the raw per-mail view of a folder.
#include <ctime>
#include <ostream>

#include "catalog/catalog.h"
#include "catalog/format_values.h"
#include "cli/command.h"
#include "cli/mailbox.h"
#include "cli/operation_arguments.h"

namespace cli {
namespace {

// "year,month,day,hour,minute,second" in local time, as the listing of
// messages has always shown it; empty when unknown.
std::string LocalDate(std::int64_t seconds) {
    if (seconds <= 0) return {};
    std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &time) != 0) return {};
#else
    if (!localtime_r(&time, &local)) return {};
#endif
    return std::to_string(local.tm_year + 1900) + "," + std::to_string(local.tm_mon + 1) + "," +
           std::to_string(local.tm_mday) + "," + std::to_string(local.tm_hour) + "," + std::to_string(local.tm_min) +
           "," + std::to_string(local.tm_sec);
}

int ListMessages(Context& context, catalog::MailStore& store, const std::string& folderId) {
    std::vector<catalog::MailInfo> mails;
    catalog::Outcome outcome = store.ListMails(folderId, mails);
    if (!outcome.Ok()) return OutcomeFailed(context, outcome, "list folder " + folderId);
    for (const catalog::MailInfo& mail : mails)
        context.out << OutputField(mail.id) << '\t' << mail.size << '\t' << (mail.attached ? "true" : "false") << '\t'
                    << LocalDate(mail.receivedAt) << '\t' << OutputField(mail.subject) << '\n';
    return kExitOk;
}

int RunLs(Context& context, const std::vector<std::string>& args) {
    const bool messages = args[0] == "--messages";
    if (messages != (args.size() == 2)) return UsageError(context, "usage: ls [--messages] FOLDER_ID");
    const std::string& folderId = args.back();
    if (!IsFolderId(context, folderId)) return UsageError(context, "not a folder id: '" + OutputField(folderId) + "'");
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    auto store = OpenStore(context);
    if (messages) return ListMessages(context, *store, folderId);
    std::vector<catalog::FileEntry> files;
    catalog::Outcome outcome = catalog::ListFiles(*store, folderId, files);
    if (outcome.Ok()) outcome = FillSizes(context, *store, files);
    if (!outcome.Ok()) return OutcomeFailed(context, outcome, "list folder " + folderId);
    for (const catalog::FileEntry& file : files) context.out << FileLine(file) << '\n';
    return kExitOk;
}

int RunFind(Context& context, const std::vector<std::string>& args) {
    const std::string& text = args[0];
    const std::string folderId = args.size() > 1 ? args[1] : "";
    if (text.empty()) return UsageError(context, "the text to find is empty");
    if (args.size() > 1 && !IsFolderId(context, folderId))
        return UsageError(context, "not a folder id: '" + OutputField(folderId) + "'");
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    auto store = OpenStore(context);
    std::vector<catalog::FileEntry> files;
    catalog::Outcome outcome = catalog::FindFiles(*store, text, folderId, files);
    if (outcome.Ok()) outcome = FillSizes(context, *store, files);
    if (!outcome.Ok()) return OutcomeFailed(context, outcome, "search for '" + OutputField(text) + "'");
    for (const catalog::FileEntry& file : files) context.out << FileLine(file) << '\t' << file.folderId << '\n';
    return kExitOk;
}

int RunStat(Context& context, const std::vector<std::string>& args) {
    const std::string& key = args[0];
    if (!CheckKeys(context, args.begin(), args.end())) return kExitUsage;
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    auto store = OpenStore(context);
    catalog::FileDetails details;
    catalog::Outcome outcome = catalog::StatFile(*store, key, details);
    if (!outcome.Ok() && details.damaged.empty()) return OutcomeFailed(context, outcome, "look up file " + key);
    const catalog::FileEntry& entry = details.entry;
    std::ostream& out = context.out;
    out << "name: " << OutputField(entry.name) << "\nkey: " << OutputField(entry.key) << '\n';
    if (!entry.folderId.empty()) out << "folder: " << entry.folderId << '\n';
    out << "size: " << (details.damaged.empty() ? std::to_string(details.size) : "-") << "\nsha256: " << (details.sha256.empty() ? "-" : details.sha256)
        << "\nstored: " << (details.stored > 0 ? catalog::FormatUtc(details.stored) : "-") << "\nparts: " << entry.parts
        << '\n';
    for (const catalog::FilePart& part : entry.present)
        out << "part " << part.number << ": " << OutputField(part.mailId) << '\n';
    if (!entry.Whole()) out << "incomplete: " << entry.Problems() << '\n';
    if (!details.damaged.empty()) out << "damaged: the manifest does not read: " << OutputField(details.damaged) << '\n';
    return kExitOk;
}

int RunMv(Context& context, const std::vector<std::string>& args) {
    const std::string& target = args[0];
    if (!IsFolderId(context, target)) return UsageError(context, "not a folder id: '" + OutputField(target) + "'");
    if (!CheckKeys(context, args.begin() + 1, args.end())) return kExitUsage;
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    auto store = OpenStore(context);
    for (auto key = args.begin() + 1; key != args.end(); ++key) {
        catalog::Outcome outcome = catalog::MoveFile(*store, *key, target);
        if (!outcome.Ok()) return OutcomeFailed(context, outcome, "move file " + *key + " to folder " + target);
    }
    return kExitOk;
}

int RunRm(Context& context, const std::vector<std::string>& args) {
    if (!CheckKeys(context, args.begin(), args.end())) return kExitUsage;
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    auto store = OpenStore(context);
    for (const std::string& key : args) {
        catalog::Outcome outcome = catalog::RemoveFile(*store, key);
        if (!outcome.Ok()) return OutcomeFailed(context, outcome, "remove file " + key);
    }
    return kExitOk;
}

CommandRegistration ls({"ls", "[--messages] FOLDER_ID", "list every file of a folder (or every message)", 1, 2, false,
                        RunLs});
CommandRegistration find({"find", "TEXT [FOLDER_ID]", "list the files whose name holds TEXT", 1, 2, false, RunFind});
CommandRegistration stat({"stat", "KEY", "show a file's size, SHA-256, time stored and parts", 1, 1, false, RunStat});
CommandRegistration mv({"mv", "TARGET_FOLDER_ID KEY...", "move files, every part, into a folder", 2, -1, false,
                        RunMv});
CommandRegistration rm({"rm", "KEY...", "move files, every part, to the trash folder", 1, -1, false, RunRm});

}  // namespace
}  // namespace cli
