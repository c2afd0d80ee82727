#include "catalog/local_target.h"

#include <system_error>

#include "catalog/download.h"
#include "catalog/local_name.h"
#include "catalog/sha256.h"

namespace catalog {
namespace {

namespace fs = std::filesystem;

constexpr unsigned kNewFileMode = 0600;
constexpr int kMostSetAside = 100;

std::string Utf8(const fs::path& path) {
    auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

Outcome PlanLocalTarget(const fs::path& target, LocalTarget& local) {
    local = LocalTarget();
    // The system would end the path at a NUL: another file than the one named.
    if (target.native().find(fs::path::value_type()) != fs::path::string_type::npos)
        return Failure(StoreCode::LocalFile, "the target's name holds a NUL");
    local.temporary = TemporaryPathFor(target);
    local.written = local.temporary;
    local.written.replace_extension();
    local.record = local.temporary;
    local.record += ".verified";
    if (IsTemporaryFileName(Utf8(target.filename())) || IsTemporaryFileName(Utf8(local.written.filename())))
        return Failure(StoreCode::LocalFile, "the target's name is kept for the temporary files of downloads");
    std::error_code error;
    const fs::file_status existing = fs::status(local.written, error);
    if (fs::is_directory(existing)) return Failure(StoreCode::LocalFile, "the target is a directory");
    // The new file keeps the mode of the one it replaces; a new one is private.
    local.mode = fs::exists(existing) ? static_cast<unsigned>(existing.permissions() & fs::perms::all) : kNewFileMode;
    return Success();
}

Outcome SetAsideForeign(const fs::path& path, std::vector<fs::path>& setAside) {
    if (platform::InspectEntry(path) != platform::EntryKind::Other) return Success();
    for (int n = 0; n < kMostSetAside; ++n) {
        fs::path aside = path;
        aside += n == 0 ? ".set-aside" : ".set-aside-" + std::to_string(n);
        if (platform::InspectEntry(aside) != platform::EntryKind::Absent) continue;
        std::error_code error;
        fs::rename(path, aside, error);  // a link is renamed itself, never what it points to
        if (error)
            return Failure(StoreCode::LocalFile,
                           "'" + Utf8(path) + "' is not a file of ours and could not be set aside: " + error.message());
        setAside.push_back(aside);
        return Success();
    }
    return Failure(StoreCode::LocalFile, "'" + Utf8(path) + "' is not a file of ours and is in the way");
}

Outcome OpenOwnFile(const fs::path& path, unsigned mode, bool fresh, platform::LocalFile& file) {
    std::string error;
    const bool opened = platform::InspectEntry(path) == platform::EntryKind::OwnRegularFile
                            ? file.OpenExisting(path, error) && (!fresh || file.Resize(0)) && file.SetMode(mode)
                            : file.CreateNew(path, mode, error);
    if (!opened)
        return Failure(StoreCode::LocalFile,
                       "'" + Utf8(path) + "' could not be opened" + (error.empty() ? "" : ": " + error));
    return Success();
}

bool ReadOwnFile(const fs::path& path, std::size_t limit, std::string& bytes) {
    bytes.clear();
    platform::LocalFile file;
    std::string error;
    std::uint64_t size = 0;
    if (platform::InspectEntry(path) != platform::EntryKind::OwnRegularFile || !file.OpenExisting(path, error) ||
        !file.Size(size) || size > limit)
        return false;
    bytes.resize(static_cast<std::size_t>(size));
    std::size_t got = 0;
    if (!file.ReadAt(0, &bytes[0], bytes.size(), got) || got != bytes.size()) return bytes.clear(), false;
    return true;
}

bool RangeMatches(const platform::LocalFile& file, std::uint64_t offset, std::uint64_t size,
                  const std::string& sha256) {
    std::vector<char> buffer(1 << 20);
    Sha256 digest;
    for (std::uint64_t done = 0; done < size;) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(size - done, buffer.size()));
        std::size_t got = 0;
        if (!file.ReadAt(offset + done, buffer.data(), want, got) || got != want) return false;
        digest.Update(buffer.data(), got);
        done += got;
    }
    return digest.FinishHex() == sha256;
}

Outcome ReplaceTarget(const LocalTarget& local, platform::LocalFile& temporary) {
    if (!temporary.SetMode(local.mode) || !temporary.Sync() || !temporary.Close())
        return Failure(StoreCode::LocalFile, "the temporary file could not be written out");
    std::error_code error;
    fs::rename(local.temporary, local.written, error);
    if (error) return Failure(StoreCode::LocalFile, "the target could not be replaced: " + error.message());
    return Success();
}

}  // namespace catalog
