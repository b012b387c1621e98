// HTTP requests of the updater: GET one object from one server and save the response body to a
// file.
//
// The rules are the same on both platforms (WinINet on Windows, libcurl on Linux):
//  - HTTP/1.0 requests; redirect answers are not followed: a 301/302 is an answer like any other
//    and its body is what gets saved;
//  - the body is saved whatever the status code, unless the caller declines the response when
//    its head has arrived (the updater declines a 404);
//  - the body is read in units of at most kHttpReadUnit bytes, and the progress callback runs
//    after every read (the updater moves its progress bar and keeps its window alive there);
//    it may stop the transfer there (the user pressed Cancel);
//  - the connection attempt gives up after 5 seconds; a body that stalls for 60 seconds (or
//    the time SetStallTimeout sets), a connection that breaks, and a body that ends before the
//    announced Content-Length are read failures (a truncated file is never reported as
//    complete);
//  - a transfer whose rate stays under kHttpLowSpeedBytesPerSecond for kHttpLowSpeedWindowMs
//    (or the limit SetLowSpeedLimit sets) is a read failure too, and its error text says so: a
//    server that drips its answer cannot keep a download going forever;
//  - a write to the file that fails because the disk (or the user's quota) is full says so;
//  - responses are never taken from a cache.
//
// Paths of the saved files are program text as in platform/files.h. No function throws.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quillax::platform {

// The body is read in units of this many bytes (the size of the read buffer).
constexpr std::size_t kHttpReadUnit = 2048;
// The connection attempt gives up after this many milliseconds.
constexpr long kHttpConnectTimeoutMs = 5000;
// A response that delivers nothing for this many milliseconds is a failed read.
constexpr long kHttpStallTimeoutMs = 60000;
// A transfer that brings fewer than this many bytes a second, over a whole window of
// kHttpLowSpeedWindowMs, is a failed read.
constexpr std::uint64_t kHttpLowSpeedBytesPerSecond = 1024;
constexpr long kHttpLowSpeedWindowMs = 30000;

// Starts the system's network layer once per process (Windows Sockets; libcurl's global
// state). False, with the system's text in *errorText when given, when it is not available.
bool StartNetwork(std::string* errorText = nullptr);

struct HttpResponseHead {
    int status = 0;                              // e.g. 200, 302, 404
    std::optional<std::uint64_t> contentLength;  // nothing when the header is absent or invalid
};

enum class HttpOutcome {
    Saved,       // the whole body is in the file
    Declined,    // the head callback declined the response; no file was created
    SendFailed,  // the request could not be sent or no answer came (no file was created)
    FileFailed,  // the file could not be created or a write to it failed
    ReadFailed,  // reading the body failed; the file holds what arrived before the failure
    Cancelled,   // the progress callback stopped the transfer; the file holds what arrived
};

struct HttpTransfer {
    HttpOutcome outcome = HttpOutcome::SendFailed;
    HttpResponseHead head;       // valid from Declined on (status 0 for SendFailed)
    std::uint64_t received = 0;  // body bytes written to the file
    std::string errorText;       // the system's text for SendFailed and ReadFailed
    bool diskFull = false;       // FileFailed because the disk or the user's quota is full
};

struct HttpCallbacks {
    // Runs once the head of the response has arrived, before the file is created. False
    // declines the response: nothing is saved and the outcome is Declined. Empty: accept all.
    std::function<bool(const HttpResponseHead& head)> onHead;
    // Runs after every read of the body with the number of bytes received so far. False stops
    // the transfer at once: the outcome is Cancelled. Empty: read to the end.
    std::function<bool(std::uint64_t received, const HttpResponseHead& head)> onRead;
};

// The value of a Content-Length header: decimal digits, blanks around them allowed; nothing
// for anything else (or a number beyond 19 digits).
std::optional<std::uint64_t> ParseContentLength(std::string_view value);

// Watches the rate of one transfer. Each window starts when the previous one has brought its
// share (limit x window): a window that runs out before its share has arrived means the rate
// stayed under the limit for the whole window.
class LowSpeedWatch {
public:
    LowSpeedWatch(std::uint64_t bytesPerSecond, long windowMs, long long nowMs);
    // `received` is the number of bytes that have arrived so far, `nowMs` a steady clock.
    // True once a window has run out too slowly.
    bool TooSlow(std::uint64_t received, long long nowMs);
    // The error text of a transfer that TooSlow ended.
    std::string Text() const;

private:
    std::uint64_t bytesPerSecond_;
    long windowMs_;
    std::uint64_t windowShare_;
    long long windowStartMs_;
    std::uint64_t windowStartBytes_ = 0;
};

// A session with one HTTP server (WinINet: the internet session and the connection to the
// server). Requests run one after another on the calling thread.
class HttpConnection {
public:
    // `userAgent` names the program; `server` is a host name or address, `port` its port.
    HttpConnection(std::string_view userAgent, std::string_view server, unsigned port);
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    // GET objectPath (e.g. "/update.ini"; a missing leading "/" is supplied) and save the body
    // to filePath, which is created or truncated only once the head has been accepted. Other
    // writers are kept out of the file while it is written.
    HttpTransfer GetToFile(std::string_view objectPath, std::string_view filePath,
                           const HttpCallbacks& callbacks);

    // How long a response may deliver nothing before the read fails (kHttpStallTimeoutMs
    // unless set).
    void SetStallTimeout(long milliseconds);
    // The slowest rate a transfer may keep for a whole window before it fails
    // (kHttpLowSpeedBytesPerSecond over kHttpLowSpeedWindowMs unless set).
    void SetLowSpeedLimit(std::uint64_t bytesPerSecond, long windowMs);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace quillax::platform
