#include "slow_link.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>

#include "loopback_socket.h"

namespace testsupport {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPollMs = 100;  // how soon every loop notices the end
constexpr std::size_t kPiece = 16384;

// One direction of a connection: a reader that timestamps what arrives and
// a sender that lets it out after the delay, paced to the cap. The queue
// holds at most what the link carries in a delay and a bit, so the reader
// stalls as a real link's window would.
class Direction {
public:
    Direction(int from, int to, LinkShape shape, const std::atomic<bool>& stopping, std::string theirs = "",
              std::string mine = "")
        : from_(from),
          to_(to),
          shape_(shape),
          stopping_(stopping),
          theirs_(std::move(theirs)),
          mine_(std::move(mine)),
          capacity_(shape.bytesPerSecond * static_cast<std::uint64_t>(shape.oneWayDelayMs) / 1000 + 4 * kPiece) {}

    void Read() {
        char buffer[kPiece];
        bool headDone = theirs_.empty();
        while (!Ended()) {
            pollfd p{from_, POLLIN, 0};
            if (::poll(&p, 1, kPollMs) <= 0) continue;
            ssize_t n = ::recv(from_, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            std::string piece(buffer, static_cast<std::size_t>(n));
            for (std::size_t at; !headDone && (at = piece.find(theirs_)) != std::string::npos;)
                piece.replace(at, theirs_.size(), mine_);
            headDone = headDone || piece.find("\r\n\r\n") != std::string::npos;
            std::unique_lock<std::mutex> lock(mutex_);
            while (queued_ > capacity_ && !Ended()) changed_.wait_for(lock, std::chrono::milliseconds(kPollMs));
            queued_ += piece.size();
            queue_.push_back({Clock::now() + std::chrono::milliseconds(shape_.oneWayDelayMs), std::move(piece)});
            changed_.notify_all();
        }
        std::lock_guard<std::mutex> lock(mutex_);
        readDone_ = true;
        changed_.notify_all();
    }

    void Send() {
        Clock::time_point free = Clock::now();
        for (;;) {
            std::unique_lock<std::mutex> lock(mutex_);
            while (queue_.empty() && !readDone_ && !Ended())
                changed_.wait_for(lock, std::chrono::milliseconds(kPollMs));
            if (queue_.empty() || Ended()) break;
            auto [due, piece] = std::move(queue_.front());
            queue_.pop_front();
            queued_ -= piece.size();
            changed_.notify_all();
            lock.unlock();
            std::this_thread::sleep_until(due);
            free = std::max(free, Clock::now());
            std::this_thread::sleep_until(free);
            free +=
                std::chrono::microseconds(piece.size() * 1000000 / std::max<std::uint64_t>(1, shape_.bytesPerSecond));
            for (std::size_t at = 0; at < piece.size();) {
                ssize_t n = ::send(to_, piece.data() + at, piece.size() - at, MSG_NOSIGNAL);
                if (n <= 0) return Broke();
                at += static_cast<std::size_t>(n);
            }
        }
        if (!Ended()) ::shutdown(to_, SHUT_WR);
    }

    bool Ended() const { return broken_ || stopping_; }
    void Broke() {
        std::lock_guard<std::mutex> lock(mutex_);
        broken_ = true;
        changed_.notify_all();
    }

private:
    struct Piece {
        Clock::time_point due;
        std::string bytes;
    };
    const int from_, to_;
    const LinkShape shape_;
    const std::atomic<bool>& stopping_;
    const std::string theirs_, mine_;
    const std::uint64_t capacity_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Piece> queue_;
    std::uint64_t queued_ = 0;
    bool readDone_ = false;
    std::atomic<bool> broken_{false};
};

}  // namespace

SlowLink::SlowLink(std::uint16_t upstreamPort, LinkShape shape) : upstream_(upstreamPort), shape_(shape) {
    listener_ = LoopbackSocket(port_, true, 64);
    if (listener_ >= 0) acceptor_ = std::thread(&SlowLink::Accept, this);
}

SlowLink::~SlowLink() {
    stopping_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    for (Connection& connection : live_) connection.thread.join();
    if (listener_ >= 0) ::close(listener_);
}

void SlowLink::Accept() {
    while (!stopping_) {
        // Connections that ended are joined as new ones come.
        live_.remove_if([](Connection& c) { return c.done && (c.thread.join(), true); });
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, kPollMs) <= 0) continue;
        int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        ++connections_;
        live_.emplace_back();
        Connection& connection = live_.back();
        connection.thread = std::thread(&SlowLink::Relay, this, client, std::ref(connection));
    }
}

void SlowLink::Relay(int client, Connection& connection) {
    std::uint16_t port = upstream_;
    int server = LoopbackSocket(port, false);
    // Each piece goes out when it is due: the relay's own sockets must not
    // hold one back for the acknowledgement of the last (on a connection
    // used for many requests, that wait is a delayed ACK).
    for (int fd : {client, server}) {
        int yes = 1;
        if (fd >= 0) ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    }
    if (server >= 0) {
        Direction up(client, server, shape_, stopping_);
        Direction down(server, client, shape_, stopping_, "127.0.0.1:" + std::to_string(upstream_), HostPort());
        std::thread threads[] = {std::thread(&Direction::Read, &up), std::thread(&Direction::Send, &up),
                                 std::thread(&Direction::Read, &down)};
        down.Send();
        // A broken or finished answer ends the exchange both ways.
        up.Broke();
        for (std::thread& thread : threads) thread.join();
        ::close(server);
    }
    ::close(client);
    connection.done = true;
}

}  // namespace testsupport
