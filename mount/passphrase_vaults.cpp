#include "mount/passphrase_vaults.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "mount/log.h"
#include "platform/password_input.h"
#include "vault/names.h"
#include "vault/neutral_store.h"
#include "vault/sealed_files.h"
#include "vault/sealed_stream.h"
#include "vault/vault_file.h"
#include "vault/vault_mail.h"

namespace mount {

PassphraseVaults::PassphraseVaults(std::string_view passphrase) : passphrase_(passphrase.size()) {
    if (!passphrase.empty()) std::memcpy(passphrase_.data(), passphrase.data(), passphrase.size());
}

std::shared_ptr<const vault::VaultKey> PassphraseVaults::KeyOf(const std::string& folderId) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = keys_.find(folderId);
    return found == keys_.end() ? nullptr : found->second;
}

bool PassphraseVaults::Unlock(catalog::MailStore& store, const std::string& folderId) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = keys_.find(folderId);
        if (found != keys_.end()) return found->second != nullptr;
    }
    auto key = std::make_shared<vault::VaultKey>();
    std::vector<vault::VaultCopy> copies;
    const std::string_view passphrase(reinterpret_cast<const char*>(passphrase_.data()), passphrase_.size());
    const catalog::Outcome outcome = vault::UnlockFolderVault(store, folderId, passphrase, *key, copies);
    const bool final =
        outcome.Ok() || outcome.code == catalog::StoreCode::Refused || outcome.code == catalog::StoreCode::Corrupt;
    if (!outcome.Ok()) Log("vault in folder " + folderId + " stays locked: " + outcome.detail);
    if (!final) return false;  // the mailbox failed: tried again at the next listing
    std::lock_guard<std::mutex> lock(mutex_);
    keys_[folderId] = outcome.Ok() ? std::shared_ptr<const vault::VaultKey>(std::move(key)) : nullptr;
    return outcome.Ok();
}

bool PassphraseVaults::OpenName(const std::string& folderId, const std::string& sealed, std::string& plain) {
    const auto key = KeyOf(folderId);
    return key && vault::NameSealer(*key).Open(sealed, plain).Ok();
}

bool PassphraseVaults::PlainSize(std::uint64_t sealed, std::uint64_t& plain) {
    return vault::PlainSize(sealed, plain);
}

catalog::Outcome PassphraseVaults::OpenFile(const std::string& folderId, const std::filesystem::path& sealed,
                                            const std::filesystem::path& plain, const std::string& name) {
    const auto key = KeyOf(folderId);
    if (!key) return catalog::Failure(catalog::StoreCode::Refused, "the vault is locked");
    return vault::OpenFileInPlace(*key, sealed, plain, name);
}

std::string PassphraseVaults::SealName(const std::string& folderId, const std::string& plain) {
    const auto key = KeyOf(folderId);
    return key ? vault::NameSealer(*key).Seal(plain) : std::string();
}

catalog::StoredFormOf PassphraseVaults::SealedForm(const std::string& folderId, const std::string& name) {
    auto key = KeyOf(folderId);
    return key ? vault::SealedForm(std::move(key), name) : catalog::StoredFormOf();
}

std::unique_ptr<catalog::MailStore> PassphraseVaults::Neutral(catalog::MailStore& inner) {
    return std::make_unique<vault::NeutralStore>(inner);
}

bool VaultsAtStart(const std::string& passphraseFile, std::shared_ptr<VaultView>& vaults, std::string& error) {
    std::string passphrase;
    if (passphraseFile == "-") {
        // Asked after the mailbox password, which comes first on standard input.
        std::cerr << "vault passphrase: " << std::flush;
        passphrase = platform::ReadHiddenLine();
        if (passphrase.empty()) {
            error = "--vault-passphrase-file -: no passphrase given";
            return false;
        }
    } else if (!passphraseFile.empty()) {
        if (!platform::ReadSecretFile(passphraseFile, passphrase)) {
            error = "--vault-passphrase-file: no passphrase in " + passphraseFile;
            return false;
        }
    } else if (const char* given = std::getenv("VANTLO_VAULT_PASSPHRASE")) {
        passphrase = given;
    }
    if (!passphrase.empty()) vaults = std::make_shared<PassphraseVaults>(passphrase);
    std::fill(passphrase.begin(), passphrase.end(), '\0');
    return true;
}

}  // namespace mount
