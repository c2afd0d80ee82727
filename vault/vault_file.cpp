#include "vault/vault_file.h"

#include <fstream>
#include <system_error>

#include "catalog/sha256.h"
#include "platform/local_file.h"
#include "vault/records.h"

namespace vault {
namespace {

constexpr std::size_t kReadChunk = 256 * 1024;

catalog::Outcome LocalFailure(const std::string& what, const std::filesystem::path& path) {
    return catalog::Failure(catalog::StoreCode::LocalFile, what + " " + path.u8string());
}

// The finished `written` replaces `target`; after a failure it is taken away.
catalog::Outcome PutInPlace(catalog::Outcome outcome, const std::filesystem::path& written,
                            const std::filesystem::path& target) {
    std::error_code error;
    if (outcome.Ok()) {
        std::filesystem::rename(written, target, error);
        if (error) outcome = LocalFailure("cannot replace", target);
    }
    if (!outcome.Ok()) std::filesystem::remove(written, error);
    return outcome;
}

// Feeds the source through `write`, then `finish`, writing what they emit
// into TARGET.vantlo-partial; renames it over the target on success.
template <typename Stream>
catalog::Outcome Transform(const std::filesystem::path& source, const std::filesystem::path& target,
                           const std::function<std::unique_ptr<Stream>(Sink)>& make) {
    std::ifstream in(source, std::ios::binary);
    if (!in) return LocalFailure("cannot read", source);
    std::filesystem::path partial = target;
    partial += ".vantlo-partial";
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    if (!out) return LocalFailure("cannot write", partial);
    auto stream = make([&out](const std::uint8_t* data, std::size_t size) {
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        return static_cast<bool>(out);
    });
    std::vector<char> buffer(kReadChunk);
    catalog::Outcome outcome;
    while (outcome.Ok() && in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got > 0) outcome = stream->Write(reinterpret_cast<const std::uint8_t*>(buffer.data()), got);
    }
    if (outcome.Ok() && in.bad()) outcome = LocalFailure("cannot read", source);
    if (outcome.Ok()) outcome = stream->Finish();
    out.close();
    if (outcome.Ok() && !out) outcome = LocalFailure("cannot write", partial);
    if (outcome.code == catalog::StoreCode::Cancelled) outcome = LocalFailure("cannot write", partial);
    return PutInPlace(outcome, partial, target);
}

}  // namespace

catalog::Outcome SealFile(const VaultKey& key, const std::filesystem::path& source, const std::string& name,
                          const std::filesystem::path& target) {
    std::ifstream in(source, std::ios::binary);
    if (!in) return LocalFailure("cannot read", source);
    catalog::Sha256 sha;
    std::vector<char> buffer(kReadChunk);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        sha.Update(buffer.data(), static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) return LocalFailure("cannot read", source);
    const catalog::Sha256Digest digest = sha.Finish();
    const Bytes fileId = SyntheticFileId(key, Bytes(digest.begin(), digest.end()), name);
    return Transform<RecordSealer>(source, target, [&key, &fileId](Sink sink) {
        return std::make_unique<RecordSealer>(key, fileId, std::move(sink));
    });
}

catalog::Outcome OpenFile(const VaultKey& key, const std::filesystem::path& source, const std::filesystem::path& target,
                          const std::string& name) {
    return Transform<RecordOpener>(source, target, [&key, &name](Sink sink) {
        return std::make_unique<RecordOpener>(key, name, std::move(sink));
    });
}

catalog::Outcome OpenFileInPlace(const VaultKey& key, const std::filesystem::path& sealed,
                                 const std::filesystem::path& target, const std::string& name) {
    platform::LocalFile file;
    std::string why;
    catalog::Outcome outcome =
        file.OpenExisting(sealed, why) ? catalog::Success() : LocalFailure("cannot open", sealed);
    std::uint64_t plainAt = 0;
    RecordOpener opener(key, name, [&](const std::uint8_t* data, std::size_t size) {
        // Record N opens only once record N+1 is read: its plain bytes land
        // below every sealed byte still to be read.
        const bool written = file.WriteAt(plainAt, reinterpret_cast<const char*>(data), size);
        plainAt += size;
        return written;
    });
    std::vector<char> buffer(kReadChunk);
    for (std::uint64_t at = 0; outcome.Ok();) {
        std::size_t got = 0;
        if (!file.ReadAt(at, buffer.data(), buffer.size(), got)) outcome = LocalFailure("cannot read", sealed);
        if (!outcome.Ok() || got == 0) break;
        outcome = opener.Write(reinterpret_cast<const std::uint8_t*>(buffer.data()), got);
        at += got;
    }
    if (outcome.Ok()) outcome = opener.Finish();
    if (outcome.code == catalog::StoreCode::Cancelled) outcome = LocalFailure("cannot write", sealed);
    if (outcome.Ok() && !(file.Resize(plainAt) && file.Close())) outcome = LocalFailure("cannot write", sealed);
    file.Close();
    return PutInPlace(outcome, sealed, target);
}

}  // namespace vault
