#include "cli/operation_arguments.h"

#include "session/exchange.h"

namespace cli {

namespace {
constexpr std::size_t kFolderIdDigits = 14;   // the id cell holds 15 bytes
constexpr std::size_t kMessageIdBytes = 31;   // the id cell holds 32 bytes
constexpr std::size_t kFolderNameBytes = 63;  // the name cell holds 64 bytes

// Length of the well-formed UTF-8 sequence at text[i], 0 when it is not one
// (overlong forms, surrogates and code points past U+10FFFF included).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    if (lead < 0x80) return 1;
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    unsigned char second = byte(i + 1);
    if (lead == 0xE0 && second < 0xA0) return 0;  // overlong
    if (lead == 0xED && second > 0x9F) return 0;  // surrogates
    if (lead == 0xF0 && second < 0x90) return 0;  // overlong
    if (lead == 0xF4 && second > 0x8F) return 0;  // past U+10FFFF
    return length;
}
}  // namespace

bool IsFolderId(std::string_view text) {
    if (text.empty() || text.size() > kFolderIdDigits) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

bool IsMessageId(std::string_view text) {
    if (text.empty() || text.size() > kMessageIdBytes) return false;
    for (char c : text)
        if (c <= ' ' || c == 0x7F) return false;
    return true;
}

std::string FolderNameProblem(std::string_view name) {
    // An empty name would end the folder list for every reader of it.
    if (name.empty()) return "a folder name cannot be empty";
    if (name.size() > kFolderNameBytes)
        return "a folder name is at most " + std::to_string(kFolderNameBytes) + " bytes of UTF-8 (this one has " +
               std::to_string(name.size()) + ")";
    for (std::size_t i = 0; i < name.size();) {
        std::size_t length = Utf8SequenceLength(name, i);
        if (length == 0) return "a folder name must be UTF-8 text";
        if (length == 1 && (static_cast<unsigned char>(name[i]) < 0x20 || name[i] == 0x7F))
            return "a folder name cannot hold control characters";
        i += length;
    }
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

int OperationFailed(Context& context, session::Status status, const std::string& what) {
    switch (status) {
    case session::Status::ConnectFailed: return Fail(context, "could not connect to the provider to " + what);
    case session::Status::Refused: return Fail(context, "the provider refused to " + what);
    case session::Status::CertificateRefused:
    case session::Status::SecureChannelFailed:
        return Fail(context, "could not " + what + ": " + session::LastTlsProblem());
    default: return Fail(context, "could not " + what + ": " + session::StatusText(status));
    }
}

}  // namespace cli
