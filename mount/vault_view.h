// What the drive needs to show the files of vaults (folders whose files'
// names and bytes are sealed on the user's machine): a front end that was
// given a passphrase passes one in VolumeOptions; without it every vault
// shows empty. The drive shows an opened vault's files by their own names
// and sizes, keeps their plain bytes only while a file is open, and seals
// what is written there before it is stored.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "catalog/mail_store.h"
#include "catalog/outcome.h"
#include "catalog/upload.h"

namespace mount {

class VaultView {
public:
    virtual ~VaultView() = default;
    // Makes the folder's vault ready (once: a key derivation is slow);
    // false when it cannot be opened here.
    virtual bool Unlock(catalog::MailStore& store, const std::string& folderId) = 0;
    // After Unlock: the plain name of a stored (sealed) name; false for a
    // name that is not one of this vault's.
    virtual bool OpenName(const std::string& folderId, const std::string& sealed, std::string& plain) = 0;
    // The size of a file whose sealed copy has `sealed` bytes.
    virtual bool PlainSize(std::uint64_t sealed, std::uint64_t& plain) = 0;
    // The sealed copy at `sealed`, verified record by record and opened
    // within itself, becomes `plain` (a new name) as the file `name`; it is
    // gone either way (no second copy of the file is made).
    virtual catalog::Outcome OpenFile(const std::string& folderId, const std::filesystem::path& sealed,
                                      const std::filesystem::path& plain, const std::string& name) = 0;
    // The other way, for files written into an opened vault: the name as
    // stored, and the form a file stored as `name` takes: its records
    // sealed as each part is sent (the same bytes and name always seal
    // alike, so a store resumes); none while the vault is locked.
    virtual std::string SealName(const std::string& folderId, const std::string& plain) = 0;
    virtual catalog::StoredFormOf SealedForm(const std::string& folderId, const std::string& name) = 0;
    // The mailbox as a vault stores into it (nothing in a part's
    // attachment hints at the file).
    virtual std::unique_ptr<catalog::MailStore> Neutral(catalog::MailStore& inner) = 0;
};

}  // namespace mount
