// What a new demo account holds, so that a demo has something to show:
// three user folders with mails stored the way earlier versions did, a
// folder of a few hundred pictures stored with manifests, and a file in
// three parts. And folders full of files for tests and benchmarks.
#pragma once

#include <string>

#include "options.h"

namespace provider {

class Store;

bool FillDemoAccount(Store& store, const std::string& address, std::string& error);

// Makes the folder `seed.name` with `seed.count` one-part files
// file-00001.bin... of `seed.bytes` bytes each, stored with manifests, in
// one change. An account that has the folder already keeps it as it is
// (`made` false).
bool SeedFolderFiles(Store& store, const std::string& address, const SeedFolder& seed, bool& made, std::string& error);

}  // namespace provider
