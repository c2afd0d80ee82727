#include "platform/net.h"

namespace net {

bool ConnectBounded(Socket& socket, const Address& to, int timeoutMs) {
    socket.SetNonBlocking(true);
    ConnectResult result = socket.Connect(to);
    if (result == ConnectResult::InProgress) {
        if (socket.WaitWritable(timeoutMs) != WaitResult::Ready || !socket.ConnectSucceeded()) return false;
        result = ConnectResult::Connected;
    }
    socket.SetNonBlocking(false);
    return result == ConnectResult::Connected;
}

}  // namespace net
