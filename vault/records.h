// A file's contents inside a vault: a 24-byte header (the 8 bytes
// "VNTLOVF1" and the file's 16-byte id), then the contents in
// records of 64 KiB (the last one shorter, possibly empty; an empty file
// is one empty record), each sealed with ChaCha20-Poly1305 (RFC 8439)
// under the file key and followed by its 16-byte tag:
//   nonce (12 bytes) = record number (8 bytes, big-endian) || last (4 bytes, big-endian: 1 or 0)
//   associated data  = header (24 bytes) || record number (8, big-endian) || last (1 byte)
// So a record cannot move to another place, into another file, or become
// the last one (a file cut at a record boundary fails), and a record
// replayed from an earlier version of the file fails under the new file
// id. Both directions stream: memory stays at about two records.
//
// The file id is synthetic (as AES-SIV makes its IV): the first 16 bytes
// of HMAC-SHA256 under the file-id key over the plain bytes' SHA-256 and
// the plain name. The same name and bytes always seal alike, so a put
// interrupted and run again sends the same ciphertext (its parts already
// stored are kept) and a file stored twice is recognised and not sent
// again; other bytes always get another id, so a key and nonce never
// seal two different records. What shows: that two files of one vault
// have the same name and bytes, which their equal sealed names and sizes
// show anyway.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "catalog/outcome.h"
#include "catalog/sha256.h"
#include "vault/vault_key.h"

namespace vault {

constexpr std::size_t kRecordSize = 64 * 1024;
constexpr std::size_t kTagLength = 16;
constexpr std::size_t kSealedRecordSize = kRecordSize + kTagLength;
constexpr std::size_t kHeaderLength = 8 + kFileIdLength;
constexpr char kFileMagic[] = "VNTLOVF1";

class RecordCipher;

// Bytes out; returning false stops (the stream then reports Cancelled).
using Sink = std::function<bool(const std::uint8_t* data, std::size_t size)>;

// The sealed size of a file of `plainSize` bytes.
std::uint64_t SealedSize(std::uint64_t plainSize);

// The file id of the plain bytes (their SHA-256) under that name.
Bytes SyntheticFileId(const VaultKey& key, const Bytes& plainSha256, std::string_view name);

class RecordSealer {
public:
    // `fileId`: SyntheticFileId of the bytes that will be written.
    RecordSealer(const VaultKey& key, const Bytes& fileId, Sink sink);
    ~RecordSealer();
    RecordSealer(const RecordSealer&) = delete;
    RecordSealer& operator=(const RecordSealer&) = delete;

    catalog::Outcome Write(const std::uint8_t* data, std::size_t size);
    // Seals what is left as the last record. Nothing may be written after.
    catalog::Outcome Finish();
    const Bytes& FileId() const { return fileId_; }

private:
    catalog::Outcome SealRecord(bool last);
    catalog::Outcome Emit(const std::uint8_t* data, std::size_t size);

    Bytes fileId_;
    Bytes header_;
    std::unique_ptr<RecordCipher> cipher_;  // holds the file key
    Sink sink_;
    Bytes plain_;
    Bytes sealed_;
    std::uint64_t record_ = 0;
    bool headerSent_ = false;
    bool finished_ = false;
};

// Seals any one record on its own, knowing only its number and whether it
// is the last: parts of a file are sealed apart, in any order, each into
// the very bytes RecordSealer gives at its place.
class RecordSealerAt {
public:
    RecordSealerAt(const VaultKey& key, const Bytes& fileId);
    ~RecordSealerAt();
    RecordSealerAt(const RecordSealerAt&) = delete;
    RecordSealerAt& operator=(const RecordSealerAt&) = delete;

    const Bytes& Header() const { return header_; }
    // `size` plain bytes (at most a record) into `out` (size + kTagLength).
    bool Seal(std::uint64_t record, bool last, const std::uint8_t* plain, std::size_t size, std::uint8_t* out);

private:
    Bytes header_;
    std::unique_ptr<RecordCipher> cipher_;
};

// Opens any one record on its own, as RecordSealerAt seals it: the parts
// of a file are opened as they arrive, side by side.
class RecordOpenerAt {
public:
    // `header`: the file's first kHeaderLength bytes, already read.
    RecordOpenerAt(const VaultKey& key, const Bytes& header);
    ~RecordOpenerAt();
    RecordOpenerAt(const RecordOpenerAt&) = delete;
    RecordOpenerAt& operator=(const RecordOpenerAt&) = delete;

    // `size` sealed bytes (a record with its tag) into `plain` (size -
    // kTagLength); false when the tag does not verify, and then nothing in
    // `plain` may be used.
    bool Open(std::uint64_t record, bool last, const std::uint8_t* sealed, std::size_t size, std::uint8_t* plain);

private:
    Bytes header_;
    std::unique_ptr<RecordCipher> cipher_;
};

// The text a record that does not authenticate fails with.
std::string Unauthentic(std::uint64_t record);

// Hands on a record's bytes only after its tag verified. `name` is the
// plain name the file is stored under; it names the file in error texts
// ("NAME: record 3 does not authenticate (...)"), and Finish checks that
// the file id is the synthetic id of that name and the bytes opened, so a
// whole file put in another's place (every record of it authentic) is
// refused too. Only a Finish that succeeds makes the bytes handed on good.
class RecordOpener {
public:
    RecordOpener(const VaultKey& key, std::string name, Sink sink);
    ~RecordOpener();
    RecordOpener(const RecordOpener&) = delete;
    RecordOpener& operator=(const RecordOpener&) = delete;

    catalog::Outcome Write(const std::uint8_t* data, std::size_t size);
    // The end of the sealed bytes: the record held back is opened as the
    // last one. A file cut short fails here.
    catalog::Outcome Finish();
    std::uint64_t RecordsOpened() const { return record_; }

private:
    catalog::Outcome TakeHeader();
    catalog::Outcome OpenRecord(bool last);
    catalog::Outcome Unauthentic(const std::string& why) const;

    const VaultKey& key_;
    std::string name_;
    Sink sink_;
    catalog::Sha256 plainSha_;
    Bytes header_;
    std::unique_ptr<RecordCipher> cipher_;  // once the header is read
    Bytes sealed_;
    Bytes plain_;
    std::uint64_t record_ = 0;
    bool finished_ = false;
};

}  // namespace vault
