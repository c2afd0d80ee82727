#include "catalog/mail_source.h"

#include <system_error>
#include <vector>

#include "catalog/local_target.h"

namespace catalog {

Outcome SaveMailSource(MailStore& store, const std::string& mailId, const std::filesystem::path& target,
                       std::uint64_t limit) {
    LocalTarget local;
    std::vector<std::filesystem::path> setAside;
    platform::LocalFile file;
    Outcome outcome = PlanLocalTarget(target, local);
    if (outcome.Ok()) outcome = SetAsideForeign(local.temporary, setAside);
    if (outcome.Ok()) outcome = OpenOwnFile(local.temporary, local.mode | 0600, true, file);
    if (!outcome.Ok()) return outcome;
    std::uint64_t written = 0;
    bool unwritten = false;
    outcome = store.FetchSource(
        mailId,
        [&](const char* data, std::size_t size) {
            if (!file.WriteAt(written, data, size)) return unwritten = true, false;
            written += size;
            return true;
        },
        limit);
    if (unwritten) outcome = Failure(StoreCode::LocalFile, "the mail could not be written to " + target.string());
    if (outcome.Ok()) outcome = ReplaceTarget(local, file);
    if (!outcome.Ok()) {
        file.Close();
        std::error_code error;
        std::filesystem::remove(local.temporary, error);  // ours: opened as a regular file of this user
    }
    return outcome;
}

}  // namespace catalog
