#include "vault/sealed_stream.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "catalog/sha256.h"
#include "vault/names.h"
#include "vault/records.h"

namespace vault {
namespace {

constexpr std::size_t kHashChunk = 1 << 20;

// Keeps the record last sealed: a store reads a few KiB at a time.
class SealedReader : public platform::ByteReader {
public:
    SealedReader(const VaultKey& key, const Bytes& fileId, std::unique_ptr<platform::ByteReader> plain,
                 std::uint64_t plainSize)
        : sealer_(key, fileId),
          plain_(std::move(plain)),
          plainSize_(plainSize),
          records_(plainSize == 0 ? 1 : (plainSize + kRecordSize - 1) / kRecordSize),
          plainRecord_(kRecordSize),
          sealedRecord_(kSealedRecordSize) {}

    bool ReadAt(std::uint64_t offset, char* data, std::size_t size) override {
        while (size > 0) {
            std::size_t take = 0;
            if (offset < kHeaderLength) {
                take = std::min<std::size_t>(size, kHeaderLength - offset);
                std::memcpy(data, sealer_.Header().data() + offset, take);
            } else {
                const std::uint64_t record = (offset - kHeaderLength) / kSealedRecordSize;
                const std::size_t within = static_cast<std::size_t>((offset - kHeaderLength) % kSealedRecordSize);
                if (record >= records_ || !Load(record) || within >= sealedLength_) return false;
                take = std::min(size, sealedLength_ - within);
                std::memcpy(data, sealedRecord_.data() + within, take);
            }
            data += take;
            offset += take;
            size -= take;
        }
        return true;
    }

private:
    bool Load(std::uint64_t record) {
        if (loaded_ && record == record_) return true;
        loaded_ = false;
        const std::uint64_t at = record * kRecordSize;
        const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(kRecordSize, plainSize_ - at));
        if (length > 0 && !plain_->ReadAt(at, reinterpret_cast<char*>(plainRecord_.data()), length)) return false;
        if (!sealer_.Seal(record, record + 1 == records_, plainRecord_.data(), length, sealedRecord_.data()))
            return false;
        record_ = record;
        sealedLength_ = length + kTagLength;
        return loaded_ = true;
    }

    RecordSealerAt sealer_;
    std::unique_ptr<platform::ByteReader> plain_;
    std::uint64_t plainSize_;
    std::uint64_t records_;
    Bytes plainRecord_;
    Bytes sealedRecord_;
    std::uint64_t record_ = 0;
    std::size_t sealedLength_ = 0;
    bool loaded_ = false;
};

}  // namespace

std::unique_ptr<platform::ByteReader> OpenSealedReader(const VaultKey& key, const Bytes& fileId,
                                                       const std::filesystem::path& source, std::uint64_t plainSize) {
    std::unique_ptr<platform::ByteReader> plain = platform::OpenFileReader(source);
    if (!plain) return nullptr;
    return std::make_unique<SealedReader>(key, fileId, std::move(plain), plainSize);
}

namespace {

// The form of `source` stored as `name`; `key` must outlive the form's reader.
catalog::Outcome SealAs(const VaultKey& key, const std::filesystem::path& source, const std::string& name,
                        catalog::StoredForm& form) {
    const std::unique_ptr<platform::ByteReader> in = platform::OpenFileReader(source);
    if (!in) return catalog::Failure(catalog::StoreCode::LocalFile, name + " could not be opened");
    catalog::Sha256 sha;
    std::vector<char> buffer(kHashChunk);
    std::error_code error;
    const std::uint64_t size = std::filesystem::file_size(source, error);
    for (std::uint64_t done = 0; done < size;) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - done));
        if (error || !in->ReadAt(done, buffer.data(), want))
            return catalog::Failure(catalog::StoreCode::LocalFile, name + " changed while it was being read");
        sha.Update(buffer.data(), want);
        done += want;
    }
    const catalog::Sha256Digest digest = sha.Finish();
    const Bytes fileId = SyntheticFileId(key, Bytes(digest.begin(), digest.end()), name);
    form.name = NameSealer(key).Seal(name);
    form.size = SealedSize(size);
    form.open = [&key, fileId, source, size] { return OpenSealedReader(key, fileId, source, size); };
    return catalog::Success();
}

}  // namespace

catalog::StoredFormOf SealedForm(const VaultKey& key) {
    return [&key](const std::filesystem::path& source, catalog::StoredForm& form) {
        return SealAs(key, source, source.filename().u8string(), form);
    };
}

catalog::StoredFormOf SealedForm(std::shared_ptr<const VaultKey> key, const std::string& name) {
    return [key, name](const std::filesystem::path& source, catalog::StoredForm& form) {
        const catalog::Outcome outcome = SealAs(*key, source, name, form);
        if (outcome.Ok()) form.open = [key, open = std::move(form.open)] { return open(); };
        return outcome;
    };
}

}  // namespace vault
