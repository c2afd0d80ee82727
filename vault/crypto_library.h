// libgcrypt, started once per process before any vault call: the version
// checked, a pool of locked memory for keys set aside, and the library
// told that set-up is over (it refuses work until then).
#pragma once

#include "catalog/outcome.h"

namespace vault {

// Safe to call from any thread, any number of times; the first call does
// the work. Fails only when the library is older than the one we need.
catalog::Outcome StartCryptoLibrary();

}  // namespace vault
