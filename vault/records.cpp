#include "vault/records.h"

#include <gcrypt.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace vault {
namespace {

constexpr std::size_t kNonceLength = 12;

void PutBigEndian(std::uint64_t value, int bytes, std::uint8_t* out) {
    for (int i = bytes - 1; i >= 0; --i, value >>= 8) out[i] = static_cast<std::uint8_t>(value & 0xff);
}

}  // namespace

// One ChaCha20-Poly1305 handle per stream; each record sets its own nonce.
class RecordCipher {
public:
    explicit RecordCipher(const SecretBytes& key) {
        if (gcry_cipher_open(&cipher_, GCRY_CIPHER_CHACHA20, GCRY_CIPHER_MODE_POLY1305, GCRY_CIPHER_SECURE) != 0)
            throw std::runtime_error("libgcrypt: ChaCha20-Poly1305 is not available");
        if (gcry_cipher_setkey(cipher_, key.data(), key.size()) != 0) {
            gcry_cipher_close(cipher_);
            throw std::runtime_error("libgcrypt: ChaCha20-Poly1305 refused its key");
        }
    }
    ~RecordCipher() { gcry_cipher_close(cipher_); }
    RecordCipher(const RecordCipher&) = delete;
    RecordCipher& operator=(const RecordCipher&) = delete;

    // Seals `size` bytes of `plain` into `out` (size + tag).
    bool Seal(const Bytes& header, std::uint64_t record, bool last, const std::uint8_t* plain, std::size_t size,
              std::uint8_t* out) {
        return Start(header, record, last) && gcry_cipher_final(cipher_) == 0 &&
               gcry_cipher_encrypt(cipher_, out, size, plain, size) == 0 &&
               gcry_cipher_gettag(cipher_, out + size, kTagLength) == 0;
    }
    // Opens `size` bytes (with the tag) into `plain`; false when the tag fails.
    bool Open(const Bytes& header, std::uint64_t record, bool last, const std::uint8_t* sealed, std::size_t size,
              std::uint8_t* plain) {
        const std::size_t body = size - kTagLength;
        return Start(header, record, last) && gcry_cipher_final(cipher_) == 0 &&
               gcry_cipher_decrypt(cipher_, plain, body, sealed, body) == 0 &&
               gcry_cipher_checktag(cipher_, sealed + body, kTagLength) == 0;
    }

private:
    bool Start(const Bytes& header, std::uint64_t record, bool last) {
        std::uint8_t nonce[kNonceLength];
        PutBigEndian(record, 8, nonce);
        PutBigEndian(last ? 1 : 0, 4, nonce + 8);
        std::uint8_t associated[kHeaderLength + 9];
        std::memcpy(associated, header.data(), kHeaderLength);
        PutBigEndian(record, 8, associated + kHeaderLength);
        associated[kHeaderLength + 8] = last ? 1 : 0;
        return gcry_cipher_reset(cipher_) == 0 && gcry_cipher_setiv(cipher_, nonce, sizeof nonce) == 0 &&
               gcry_cipher_authenticate(cipher_, associated, sizeof associated) == 0;
    }

    gcry_cipher_hd_t cipher_ = nullptr;
};

namespace {

Bytes MakeHeader(const Bytes& fileId) {
    if (fileId.size() != kFileIdLength) throw std::invalid_argument("a file id is 16 bytes");
    Bytes header(kHeaderLength);
    std::memcpy(header.data(), kFileMagic, 8);
    std::memcpy(header.data() + 8, fileId.data(), kFileIdLength);
    return header;
}

}  // namespace

std::uint64_t SealedSize(std::uint64_t plainSize) {
    const std::uint64_t records = plainSize == 0 ? 1 : (plainSize + kRecordSize - 1) / kRecordSize;
    return kHeaderLength + plainSize + records * kTagLength;
}

Bytes SyntheticFileId(const VaultKey& key, const Bytes& plainSha256, std::string_view name) {
    std::string message(plainSha256.begin(), plainSha256.end());
    message.append(name.data(), name.size());
    Bytes id = Hmac256(key.FileIdKey(), message);
    id.resize(kFileIdLength);
    return id;
}

RecordSealer::RecordSealer(const VaultKey& key, const Bytes& fileId, Sink sink)
    : fileId_(fileId),
      header_(MakeHeader(fileId)),
      cipher_(std::make_unique<RecordCipher>(key.FileKey(fileId))),
      sink_(std::move(sink)) {
    plain_.reserve(kRecordSize);
    sealed_.resize(kSealedRecordSize);
}

RecordSealer::~RecordSealer() = default;

catalog::Outcome RecordSealer::Emit(const std::uint8_t* data, std::size_t size) {
    if (!sink_(data, size)) return catalog::Failure(catalog::StoreCode::Cancelled, "stopped");
    return catalog::Success();
}

catalog::Outcome RecordSealer::SealRecord(bool last) {
    if (!headerSent_) {
        if (catalog::Outcome sent = Emit(header_.data(), header_.size()); !sent.Ok()) return sent;
        headerSent_ = true;
    }
    if (!cipher_->Seal(header_, record_, last, plain_.data(), plain_.size(), sealed_.data()))
        return catalog::Failure(catalog::StoreCode::LocalFile, "libgcrypt could not seal a record");
    ++record_;
    const std::size_t size = plain_.size() + kTagLength;
    plain_.clear();
    return Emit(sealed_.data(), size);
}

catalog::Outcome RecordSealer::Write(const std::uint8_t* data, std::size_t size) {
    if (finished_) throw std::logic_error("RecordSealer: written after Finish");
    while (size > 0) {
        // A full record waits for more bytes: only then is it known not to be the last.
        if (plain_.size() == kRecordSize)
            if (catalog::Outcome sealed = SealRecord(false); !sealed.Ok()) return sealed;
        const std::size_t take = std::min(size, kRecordSize - plain_.size());
        plain_.insert(plain_.end(), data, data + take);
        data += take;
        size -= take;
    }
    return catalog::Success();
}

catalog::Outcome RecordSealer::Finish() {
    if (finished_) throw std::logic_error("RecordSealer: finished twice");
    finished_ = true;
    return SealRecord(true);
}

RecordSealerAt::RecordSealerAt(const VaultKey& key, const Bytes& fileId)
    : header_(MakeHeader(fileId)), cipher_(std::make_unique<RecordCipher>(key.FileKey(fileId))) {}

RecordSealerAt::~RecordSealerAt() = default;

bool RecordSealerAt::Seal(std::uint64_t record, bool last, const std::uint8_t* plain, std::size_t size,
                          std::uint8_t* out) {
    return size <= kRecordSize && cipher_->Seal(header_, record, last, plain, size, out);
}

RecordOpenerAt::RecordOpenerAt(const VaultKey& key, const Bytes& header)
    : header_(header), cipher_(std::make_unique<RecordCipher>(key.FileKey(Bytes(header.begin() + 8, header.end())))) {}

RecordOpenerAt::~RecordOpenerAt() = default;

bool RecordOpenerAt::Open(std::uint64_t record, bool last, const std::uint8_t* sealed, std::size_t size,
                          std::uint8_t* plain) {
    return size >= kTagLength && size <= kSealedRecordSize && cipher_->Open(header_, record, last, sealed, size, plain);
}

std::string Unauthentic(std::uint64_t record) {
    return "record " + std::to_string(record) +
           " does not authenticate (altered, out of place, from another file, or the file was cut short)";
}

RecordOpener::RecordOpener(const VaultKey& key, std::string name, Sink sink)
    : key_(key), name_(std::move(name)), sink_(std::move(sink)) {
    sealed_.reserve(kSealedRecordSize);
    plain_.resize(kRecordSize);
}

RecordOpener::~RecordOpener() = default;

catalog::Outcome RecordOpener::Unauthentic(const std::string& why) const {
    return catalog::Failure(catalog::StoreCode::Corrupt, name_ + ": " + why);
}

catalog::Outcome RecordOpener::TakeHeader() {
    if (std::memcmp(header_.data(), kFileMagic, 8) != 0) return Unauthentic("not a vault file (unknown header)");
    cipher_ = std::make_unique<RecordCipher>(key_.FileKey(Bytes(header_.begin() + 8, header_.end())));
    return catalog::Success();
}

catalog::Outcome RecordOpener::OpenRecord(bool last) {
    if (!cipher_->Open(header_, record_, last, sealed_.data(), sealed_.size(), plain_.data()))
        return Unauthentic(vault::Unauthentic(record_));
    const std::size_t size = sealed_.size() - kTagLength;
    sealed_.clear();
    ++record_;
    plainSha_.Update(plain_.data(), size);
    if (!sink_(plain_.data(), size)) return catalog::Failure(catalog::StoreCode::Cancelled, "stopped");
    return catalog::Success();
}

catalog::Outcome RecordOpener::Write(const std::uint8_t* data, std::size_t size) {
    if (finished_) throw std::logic_error("RecordOpener: written after Finish");
    if (header_.size() < kHeaderLength) {
        const std::size_t take = std::min(size, kHeaderLength - header_.size());
        header_.insert(header_.end(), data, data + take);
        data += take;
        size -= take;
        if (header_.size() == kHeaderLength)
            if (catalog::Outcome taken = TakeHeader(); !taken.Ok()) return taken;
    }
    while (size > 0) {
        if (sealed_.size() == kSealedRecordSize)
            if (catalog::Outcome opened = OpenRecord(false); !opened.Ok()) return opened;
        const std::size_t take = std::min(size, kSealedRecordSize - sealed_.size());
        sealed_.insert(sealed_.end(), data, data + take);
        data += take;
        size -= take;
    }
    return catalog::Success();
}

catalog::Outcome RecordOpener::Finish() {
    if (finished_) throw std::logic_error("RecordOpener: finished twice");
    finished_ = true;
    if (header_.size() < kHeaderLength) return Unauthentic("too short to be a vault file");
    if (sealed_.size() < kTagLength)
        return Unauthentic("cut short after record " + std::to_string(record_) + " (the last record is missing)");
    if (catalog::Outcome opened = OpenRecord(true); !opened.Ok()) return opened;
    const catalog::Sha256Digest digest = plainSha_.Finish();
    const Bytes expected = SyntheticFileId(key_, Bytes(digest.begin(), digest.end()), name_);
    if (!std::equal(expected.begin(), expected.end(), header_.begin() + 8))
        return Unauthentic("its records are authentic but belong to another file (a whole file put in its place)");
    return catalog::Success();
}

}  // namespace vault
