// What the list shows of a vault folder (vault/): the mailbox holds the
// vault file and files under sealed names, which mean nothing to the user
// and must never be taken for plain files. Opened with the vault's key, the
// listing shows each file by its own name and size; without the key it
// shows nothing. The provider's search sees only sealed names, so a search
// in a vault lists the whole folder and keeps the rows whose own name holds
// the text.
#pragma once

#include "app/file_list.h"
#include "vault/vault_key.h"

namespace app {

// `listing` is the folder's whole listing (any search text stays in
// listing.searchText). A folder without the vault file is left as it is;
// a vault's rows are opened with `key`, or dropped when it is null.
// A row whose name does not open under the key (not sealed by this vault)
// is left out, and so is the vault file. Sizes known are the plain sizes.
void OpenVaultListing(const vault::VaultKey* key, FileListing& listing);

}  // namespace app
