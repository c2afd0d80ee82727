#include "app/vault_listing.h"

#include <algorithm>

#include "catalog/catalog.h"
#include "catalog/drive_names.h"
#include "vault/names.h"
#include "vault/sealed_files.h"

namespace app {

void OpenVaultListing(const vault::VaultKey* key, FileListing& listing) {
    std::vector<FileRow>& rows = listing.rows;
    if (std::none_of(rows.begin(), rows.end(),
                     [](const FileRow& row) { return row.file.name == catalog::kVaultFileName; }))
        return;
    listing.vault = key ? VaultState::Open : VaultState::Locked;
    std::vector<FileRow> opened;
    if (key) {
        const vault::NameSealer names(*key);
        for (FileRow& row : rows) {
            std::string name;
            if (row.file.name == catalog::kVaultFileName || !names.Open(row.file.name, name).Ok()) continue;
            if (!listing.searchText.empty() && !catalog::ContainsIgnoringAsciiCase(name, listing.searchText)) continue;
            row.file.name = std::move(name);
            std::uint64_t plain = 0;
            row.file.sizeKnown = row.file.sizeKnown && vault::PlainSize(row.file.size, plain);
            row.file.size = plain;
            opened.push_back(std::move(row));
        }
    }
    rows = std::move(opened);
}

}  // namespace app
