// The kernel's calls (libfuse's high-level interface) handed to a Volume.
#pragma once

#define FUSE_USE_VERSION 312
#include <fuse.h>
#include <fuse_lowlevel.h>  // the command line parser

#include <string>
#include <vector>

#include "mount/volume.h"

namespace mount {

// Mounts the volume as libfuse's command line says (the program's name,
// -f, -d, -s, -o OPTIONS, the mount point), serves it on up to 16 threads
// until it is unmounted or the process is told to stop, and unmounts.
// Returns the process's exit status.
int ServeVolume(std::vector<std::string> arguments, Volume& volume);

}  // namespace mount
