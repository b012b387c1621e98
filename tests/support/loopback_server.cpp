#include "support/loopback_server.h"

#include <algorithm>
#include <chrono>

#include "support/socket_shim.h"

namespace quillax::testing {
namespace {

void Pause(int milliseconds) {
    if (milliseconds > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

}  // namespace

LoopbackServer::LoopbackServer() {
    listener_ = net::ListenLoopback(&port_);
    if (listener_ >= 0) {
        thread_ = std::thread([this] { Run(); });
    }
}

LoopbackServer::~LoopbackServer() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    for (std::thread& connection : connections_) {
        connection.join();
    }
    if (listener_ >= 0) {
        net::Close(listener_);
    }
}

std::string LoopbackServer::Url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void LoopbackServer::Serve(const std::string& path, HttpReply reply) {
    const std::lock_guard<std::mutex> lock(mutex_);
    replies_[path] = std::move(reply);
}

void LoopbackServer::ServeBody(const std::string& path, std::string body) {
    HttpReply reply;
    reply.body = std::move(body);
    Serve(path, std::move(reply));
}

std::vector<HttpRequestRecord> LoopbackServer::Requests() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

int LoopbackServer::CountRequests(std::string_view path) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    int count = 0;
    for (const HttpRequestRecord& request : requests_) {
        count += request.path == path ? 1 : 0;
    }
    return count;
}

void LoopbackServer::Run() {
    while (!stop_) {
        if (!net::WaitReadable(listener_, 50)) {
            continue;
        }
        const net::Socket connection = net::Accept(listener_);
        if (connection != net::kNoSocket) {
            // Each connection on its own thread: a reply that stalls does not hold up the next.
            connections_.emplace_back([this, connection] { Handle(connection); });
        }
    }
}

void LoopbackServer::Handle(std::intptr_t connection) {
    // The request head: everything up to the empty line.
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        if (!net::WaitReadable(connection, 5000)) {
            break;
        }
        const long n = net::Receive(connection, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        head.append(buffer, static_cast<std::size_t>(n));
    }
    HttpRequestRecord record;
    std::size_t lineStart = 0;
    for (std::size_t end; (end = head.find("\r\n", lineStart)) != std::string::npos; lineStart = end + 2) {
        const std::string line = head.substr(lineStart, end - lineStart);
        if (line.empty()) {
            break;
        }
        if (record.requestLine.empty()) {
            record.requestLine = line;
        } else {
            record.headers.push_back(line);
        }
    }
    const std::size_t firstBlank = record.requestLine.find(' ');
    const std::size_t secondBlank = record.requestLine.find(' ', firstBlank + 1);
    if (firstBlank != std::string::npos) {
        record.path = record.requestLine.substr(firstBlank + 1, secondBlank - firstBlank - 1);
    }

    HttpReply reply;
    reply.status = 404;
    reply.reason = "Not Found";
    reply.body = "<html><body>404 Not Found</body></html>";
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(record);
        const auto found = replies_.find(record.path);
        if (found != replies_.end()) {
            reply = found->second;
        }
    }

    std::string response = "HTTP/1.0 " + std::to_string(reply.status) + " " + reply.reason + "\r\n";
    if (reply.contentLength) {
        response += "Content-Length: " +
                    std::to_string(reply.announcedLength.value_or(reply.body.size())) + "\r\n";
    }
    for (const std::string& header : reply.headers) {
        response += header + "\r\n";
    }
    response += "\r\n";
    if (!net::SendAll(connection, response.data(), response.size())) {
        net::Close(connection);
        return;
    }
    const std::size_t limit = reply.resetAfter.value_or(reply.body.size());
    const std::size_t chunk = reply.chunk > 0 ? reply.chunk : limit;
    for (std::size_t sent = 0; sent < limit && chunk > 0;) {
        const std::size_t piece = std::min(chunk, limit - sent);
        if (!net::SendAll(connection, reply.body.data() + sent, piece)) {
            break;
        }
        sent += piece;
        if (sent < limit) {
            Pause(reply.chunkDelayMs);
        }
    }
    if (reply.resetAfter && !reply.closeEarly) {
        // Give the client time to take the head and the first bytes, then break the connection.
        Pause(200);
        net::Reset(connection);
        return;
    }
    net::Close(connection);
}

}  // namespace quillax::testing
