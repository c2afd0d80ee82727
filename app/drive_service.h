// The drive the desktop offers: the account served over WebDAV on loopback
// through the drive core, on the desktop's own pool of stores, and mapped by
// the system (on Windows a drive letter for its WebDAV client). The views
// provide it; the desktop calls it off the user-interface thread.
#pragma once

#include <string>

#include "catalog/store_pool.h"

namespace app {

class DriveService {
public:
    virtual ~DriveService() = default;
    // Serves the pool's account and maps it: the drive's name ("Z:") and
    // what the user should know about it, or false with why in `message`.
    // The pool outlives the drive (Unmap is called before the desktop goes).
    virtual bool Map(catalog::StorePool& pool, std::string& drive, std::string& message) = 0;
    // Removes the mapping and stops serving; nothing when not mapped.
    virtual void Unmap() = 0;
};

}  // namespace app
