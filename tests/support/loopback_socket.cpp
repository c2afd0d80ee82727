#include "loopback_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

int LoopbackSocket(std::uint16_t& port, bool listen, int backlog) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    socklen_t length = sizeof addr;
    auto* any = reinterpret_cast<sockaddr*>(&addr);
    bool ok = listen ? ::bind(fd, any, length) == 0 && ::listen(fd, backlog) == 0 && getsockname(fd, any, &length) == 0
                     : ::connect(fd, any, length) == 0;
    port = ntohs(addr.sin_port);
    if (ok) return fd;
    ::close(fd);
    return -1;
}

}  // namespace testsupport
