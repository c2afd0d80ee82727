// The loopback sockets of the test servers and relays.
#pragma once

#include <cstdint>

namespace testsupport {

// With `listen`: a socket listening on 127.0.0.1 (port 0 in: a port of its
// own, written back to `port`), `backlog` connections queued at most.
// Without: a socket connected to 127.0.0.1:`port`. -1 when that fails.
int LoopbackSocket(std::uint16_t& port, bool listen, int backlog = 16);

}  // namespace testsupport
