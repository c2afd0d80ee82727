// The kernel's calls (libfuse's high-level interface) handed to a Volume.
#pragma once

#define FUSE_USE_VERSION 31
#include <fuse.h>

#include "mount/volume.h"

namespace mount {

// The operations for fuse_main; the private data given to it must be the Volume.
const fuse_operations& VolumeOperations();

}  // namespace mount
