#include <winsock2.h>
#include <ws2tcpip.h>

#include "support/socket_shim.h"

namespace quillax::testing::net {
namespace {

SOCKET Native(Socket socket) { return static_cast<SOCKET>(socket); }

}  // namespace

bool Start() {
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

Socket ListenLoopback(unsigned* port) {
    if (!Start()) {
        return kNoSocket;
    }
    const SOCKET fd = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (fd == INVALID_SOCKET) {
        return kNoSocket;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 16) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closesocket(fd);
        return kNoSocket;
    }
    *port = ntohs(address.sin_port);
    return static_cast<Socket>(fd);
}

bool WaitReadable(Socket socket, int timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(Native(socket), &readable);
    timeval timeout{};
    timeout.tv_sec = timeoutMs / 1000;
    timeout.tv_usec = (timeoutMs % 1000) * 1000;
    return select(0, &readable, nullptr, nullptr, &timeout) > 0;
}

Socket Accept(Socket listener) {
    const SOCKET fd = accept(Native(listener), nullptr, nullptr);
    return fd == INVALID_SOCKET ? kNoSocket : static_cast<Socket>(fd);
}

long Receive(Socket socket, char* buffer, std::size_t size) {
    return recv(Native(socket), buffer, static_cast<int>(size), 0);
}

bool SendAll(Socket socket, const char* data, std::size_t size) {
    while (size > 0) {
        const int n = send(Native(socket), data, static_cast<int>(size), 0);
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void Close(Socket socket) {
    shutdown(Native(socket), SD_SEND);
    closesocket(Native(socket));
}

void Reset(Socket socket) {
    linger option{};
    option.l_onoff = 1;
    option.l_linger = 0;
    setsockopt(Native(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&option),
               sizeof option);
    closesocket(Native(socket));
}

}  // namespace quillax::testing::net
