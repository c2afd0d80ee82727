#include "platform/net.h"

#include "platform/thread_note.h"

namespace net {
namespace {

thread_local platform::ThreadNote lastConnectProblem;

std::string Dotted(const Address& to) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        text += std::to_string((to.ipv4 >> shift) & 0xFF);
        text += shift > 0 ? "." : ":";
    }
    return text + std::to_string(to.port);
}

bool Failed(const Address& to, const std::string& reason) {
    lastConnectProblem.Set(reason + " (" + Dotted(to) + ")");
    return false;
}

}  // namespace

std::string LastConnectProblem() {
    return lastConnectProblem.Text();
}

bool ConnectBounded(Socket& socket, const Address& to, int timeoutMs) {
    lastConnectProblem.Clear();
    socket.SetNonBlocking(true);
    ConnectResult result = socket.Connect(to);
    if (result == ConnectResult::Failed) return Failed(to, SocketErrorText(LastError()));
    if (result == ConnectResult::InProgress) {
        WaitResult wait = socket.WaitWritable(timeoutMs);
        if (wait == WaitResult::TimedOut) return Failed(to, "no answer within " + std::to_string(timeoutMs) + " ms");
        if (wait != WaitResult::Ready || !socket.ConnectSucceeded()) return Failed(to, SocketErrorText(LastError()));
        result = ConnectResult::Connected;
    }
    socket.SetNonBlocking(false);
    return result == ConnectResult::Connected;
}

}  // namespace net
