// The few socket calls of the tests' loopback HTTP server, with one implementation per
// platform (BSD sockets, Windows Sockets).
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillax::testing::net {

using Socket = std::intptr_t;
constexpr Socket kNoSocket = -1;

// Starts the socket layer (once per process).
bool Start();
// A socket listening on 127.0.0.1 at a port the system picks; *port receives it.
Socket ListenLoopback(unsigned* port);
// Waits until the socket can be read (or a connection accepted); false after timeoutMs.
bool WaitReadable(Socket socket, int timeoutMs);
Socket Accept(Socket listener);
// Bytes received (0 at the end of the stream, negative on failure).
long Receive(Socket socket, char* buffer, std::size_t size);
bool SendAll(Socket socket, const char* data, std::size_t size);
// Closes normally (the peer sees the end of the stream).
void Close(Socket socket);
// Closes with a reset: the peer's next read fails.
void Reset(Socket socket);

}  // namespace quillax::testing::net
