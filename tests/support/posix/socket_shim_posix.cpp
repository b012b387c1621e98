#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "support/socket_shim.h"

namespace quillax::testing::net {

bool Start() { return true; }

Socket ListenLoopback(unsigned* port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return kNoSocket;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 16) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        return kNoSocket;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

bool WaitReadable(Socket socket, int timeoutMs) {
    pollfd entry{};
    entry.fd = static_cast<int>(socket);
    entry.events = POLLIN;
    return poll(&entry, 1, timeoutMs) > 0;
}

Socket Accept(Socket listener) {
    const int fd = accept(static_cast<int>(listener), nullptr, nullptr);
    return fd < 0 ? kNoSocket : fd;
}

long Receive(Socket socket, char* buffer, std::size_t size) {
    ssize_t n;
    do {
        n = recv(static_cast<int>(socket), buffer, size, 0);
    } while (n < 0 && errno == EINTR);
    return static_cast<long>(n);
}

bool SendAll(Socket socket, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = send(static_cast<int>(socket), data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void Close(Socket socket) {
    shutdown(static_cast<int>(socket), SHUT_WR);
    close(static_cast<int>(socket));
}

void Reset(Socket socket) {
    linger option{};
    option.l_onoff = 1;
    option.l_linger = 0;
    setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_LINGER, &option, sizeof option);
    close(static_cast<int>(socket));
}

}  // namespace quillax::testing::net
