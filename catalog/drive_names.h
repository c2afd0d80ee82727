// Names as a directory shows them. A mailbox allows what a file system does
// not: two files of one name, names holding '/', empty names. Every entry
// gets a name of its own: the first of a name keeps it; each later one gets
// "~" and 8 hex digits drawn from its key before its extension
// ("report~5c1f09a2.pdf"), so its name stays the same while other files
// come and go (more digits in the unlikely case that two marks meet).
#pragma once

#include <string>
#include <vector>

namespace catalog {

// A name a directory can hold: what the local-name rule refuses is shown
// escaped ("victim\\0x" for a NUL), '/' becomes '_', and "", "." and ".."
// become "_", "_." and "_..".
std::string UsableName(const std::string& name);

struct Named {
    std::string name;
    std::string key;  // what the mark of a later one is drawn from
};

// Names for the entries, in their order (the earlier keeps the plain name).
std::vector<std::string> UniqueNames(const std::vector<Named>& entries);

// Whether a closed file of this name is likely to be renamed or removed at
// once: an editor's or a copier's temporary file (rsync's ".name.XXXXXX",
// "name~", "*.tmp", "*.part", an Office owner file, ...). The drives let
// such a file wait a little before they store it, and store others at once.
bool LooksTemporary(const std::string& name);

// The file that makes its folder a vault (vault/vault_mail.h). A drive
// without the vault's key shows such a folder empty and takes nothing
// into it, so that no file lands there unsealed.
constexpr char kVaultFileName[] = ".vantlo-vault";

}  // namespace catalog
