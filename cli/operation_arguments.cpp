#include "cli/operation_arguments.h"

#include "mailbox/options.h"
#include "platform/text.h"

namespace cli {

namespace {
constexpr std::size_t kFolderIdDigits = 14;       // the id cell holds 15 bytes
constexpr std::size_t kLongestImapFolder = 1000;  // a full name, separators included
constexpr std::size_t kMessageIdBytes = 255;      // a mail id is short; longer text is no key
constexpr std::size_t kFolderNameBytes = 63;      // the name cell holds 64 bytes

}  // namespace

bool IsFolderId(std::string_view text) {
    if (text.empty() || text.size() > kFolderIdDigits) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

bool IsFolderId(const Context& context, std::string_view text) {
    if (context.imapUrl.empty()) return IsFolderId(text);
    return !text.empty() && text.size() <= kLongestImapFolder && platform::IsCleanText(text);
}

bool IsMessageId(std::string_view text) {
    if (text.empty() || text.size() > kMessageIdBytes) return false;
    for (char c : text)
        if (c <= ' ' || c == 0x7F) return false;
    return true;
}

bool ParsePartSize(std::string_view text, std::uint64_t& bytes) {
    return mailbox::ParseSize(text, 1, (std::uint64_t{1} << 31) - 1, bytes);
}

std::string FolderNameProblem(std::string_view name) {
    // An empty name would end the folder list for every reader of it.
    if (name.empty()) return "a folder name cannot be empty";
    if (name.size() > kFolderNameBytes)
        return "a folder name is at most " + std::to_string(kFolderNameBytes) + " bytes of UTF-8 (this one has " +
               std::to_string(name.size()) + ")";
    if (!platform::IsCleanText(name)) return "a folder name must be UTF-8 text without control characters";
    return "";
}

std::string OutputField(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return out;
}

int UsageError(Context& context, const std::string& message) {
    Fail(context, message);
    return kExitUsage;
}

int SignInChecked(Context& context) {
    if (context.account.empty()) return UsageError(context, "this command needs --account");
    return SignInAccount(context);
}

}  // namespace cli
