// A small HTTP server on 127.0.0.1 for the updater's tests, running on its own thread (and each
// connection on one more). It answers each request with the reply set for its path (404 for
// other paths) and closes the connection, as an HTTP/1.0 server does. Replies can leave out Content-Length, announce more
// than they send, send slowly, or break the connection after part of the body.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace quillax::testing {

struct HttpReply {
    int status = 200;
    std::string reason = "OK";
    std::string body;
    std::vector<std::string> headers;           // further header lines, e.g. "Location: /x"
    bool contentLength = true;                  // send Content-Length
    std::optional<std::size_t> announcedLength; // a Content-Length other than the body's size
    std::optional<std::size_t> resetAfter;      // break the connection after this many body bytes
    bool closeEarly = false;                    // with resetAfter: end the stream normally instead
    std::size_t chunk = 0;                      // send the body in pieces of this size ...
    int chunkDelayMs = 0;                       // ... with this pause between them
};

struct HttpRequestRecord {
    std::string requestLine;  // e.g. "GET /update.ini HTTP/1.0"
    std::string path;
    std::vector<std::string> headers;
};

class LoopbackServer {
public:
    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool ok() const { return listener_ >= 0; }
    unsigned Port() const { return port_; }
    // "http://127.0.0.1:<port>" + path
    std::string Url(std::string_view path) const;

    void Serve(const std::string& path, HttpReply reply);
    void ServeBody(const std::string& path, std::string body);

    std::vector<HttpRequestRecord> Requests() const;
    int CountRequests(std::string_view path) const;

private:
    void Run();
    void Handle(std::intptr_t connection);

    std::intptr_t listener_ = -1;
    unsigned port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::map<std::string, HttpReply> replies_;
    std::vector<HttpRequestRecord> requests_;
    std::thread thread_;
    std::vector<std::thread> connections_;  // only the accepting thread adds to it
};

}  // namespace quillax::testing
