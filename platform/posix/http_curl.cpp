// HTTP on Linux with libcurl, keeping the rules of platform/http.h: HTTP/1.0, no redirects
// followed, the body saved whatever the status, reads of at most 2,048 bytes with the progress
// callback after each, a connect time-out of 5 seconds, a stall time-out and a low-speed limit.
//
// libcurl pushes the response through callbacks: the header callback sees the end of the head
// (its empty line) and asks the caller whether to go on; only then is the file created. Every
// call of the write callback is one read (CURLOPT_BUFFERSIZE bounds it to 2,048 bytes).
#include <algorithm>
#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/files.h"
#include "platform/files_detail.h"
#include "platform/http.h"
#include "platform/posix/posix_io.h"

namespace quillax::platform {
namespace {

std::once_flag globalInitOnce;
CURLcode globalInitResult = CURLE_OK;

bool EnsureGlobalInit() {
    std::call_once(globalInitOnce, [] { globalInitResult = curl_global_init(CURL_GLOBAL_ALL); });
    return globalInitResult == CURLE_OK;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char a = text[i];
        char b = prefix[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) {
            return false;
        }
    }
    return true;
}

// Bytes above 0x7E and below 0x21 cannot stand in a request line: they are percent-encoded,
// as WinINet does when it sends such an object name.
std::string EncodeObjectPath(std::string_view objectPath) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    if (objectPath.empty() || objectPath.front() != '/') {
        out += '/';
    }
    for (const char c : objectPath) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b >= 0x7F) {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

using Clock = std::chrono::steady_clock;

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

// The state of one transfer, shared with libcurl's callbacks.
struct Transfer {
    const HttpCallbacks* callbacks = nullptr;
    std::string systemPath;
    HttpTransfer result;
    bool headDone = false;
    bool declined = false;
    bool cancelled = false;
    bool fileFailed = false;
    bool stalled = false;
    bool tooSlow = false;
    long stallTimeoutMs = kHttpStallTimeoutMs;
    LowSpeedWatch lowSpeed{kHttpLowSpeedBytesPerSecond, kHttpLowSpeedWindowMs, NowMs()};
    Clock::time_point lastArrival = Clock::now();  // when the last bytes of the answer came
    int fd = -1;
    std::string pending;  // body bytes not yet written: files are written in large pieces

    ~Transfer() {
        if (fd >= 0) {
            Flush();
            close(fd);
        }
    }

    bool Flush() {
        // The test seam of the file layer: the disk fills up halfway through the first write.
        const bool faulty = detail::CurrentWriteFault() == WriteFault::DuringWrite && !pending.empty();
        const std::size_t size = faulty ? pending.size() / 2 : pending.size();
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = write(fd, pending.data() + done, size - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return Failed(n < 0 && (errno == ENOSPC || errno == EDQUOT));
            }
            done += static_cast<std::size_t>(n);
        }
        if (faulty) {
            return Failed(true);
        }
        pending.clear();
        return true;
    }

    bool Failed(bool full) {
        fileFailed = true;
        result.diskFull = result.diskFull || full;
        pending.clear();
        return false;
    }

    // The head is complete: ask the caller, then create the file.
    bool AcceptHead() {
        headDone = true;
        if (callbacks->onHead && !callbacks->onHead(result.head)) {
            declined = true;
            return false;
        }
        fd = open(systemPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) {
            return Failed(errno == ENOSPC || errno == EDQUOT);
        }
        return true;
    }
};

std::size_t HandleHeader(Transfer* transfer, char* data, std::size_t bytes) {
    transfer->lastArrival = Clock::now();
    const std::string_view line(data, bytes);
    if (StartsWithNoCase(line, "HTTP/")) {
        // A new status line (after a 1xx answer the real one follows): start the head afresh.
        transfer->result.head = HttpResponseHead{};
        const std::size_t blank = line.find(' ');
        if (blank != std::string_view::npos) {
            int status = 0;
            for (std::size_t i = blank + 1; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
                status = status * 10 + (line[i] - '0');
            }
            transfer->result.head.status = status;
        }
    } else if (StartsWithNoCase(line, "Content-Length:")) {
        transfer->result.head.contentLength = ParseContentLength(line.substr(15));
    } else if (line == "\r\n" || line == "\n") {
        if (transfer->result.head.status >= 100 && transfer->result.head.status < 200) {
            return bytes;  // an interim answer; the final head follows
        }
        if (!transfer->AcceptHead()) {
            return 0;  // stops the transfer
        }
    }
    return bytes;
}

std::size_t HandleBody(Transfer* transfer, char* data, std::size_t bytes) {
    transfer->lastArrival = Clock::now();
    if (!transfer->headDone && !transfer->AcceptHead()) {
        return 0;
    }
    transfer->pending.append(data, bytes);
    if (transfer->pending.size() >= 65536 && !transfer->Flush()) {
        return 0;
    }
    for (std::size_t at = 0; at < bytes; at += kHttpReadUnit) {
        transfer->result.received += std::min(kHttpReadUnit, bytes - at);
        if (transfer->callbacks->onRead &&
            !transfer->callbacks->onRead(transfer->result.received, transfer->result.head)) {
            transfer->cancelled = true;
            return 0;  // stops the transfer
        }
    }
    return bytes;
}

// libcurl's callbacks: no exception may pass through the C library, so a failing caller's
// callback stops the transfer as a failed write.
std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    try {
        return HandleHeader(transfer, data, size * count);
    } catch (...) {
        transfer->fileFailed = true;
        return 0;
    }
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    try {
        return HandleBody(transfer, data, size * count);
    } catch (...) {
        transfer->fileFailed = true;
        return 0;
    }
}

// libcurl's progress callback, called at least once a second while the transfer waits: an
// answer that brings nothing for the stall time ends it, and so does one whose rate stays under
// the low-speed limit for its window (a head that drips counts as well as a body). libcurl's own
// low-speed check is not used so that both builds measure the rate the same way.
int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* transfer = static_cast<Transfer*>(user);
    if (transfer->lowSpeed.TooSlow(transfer->result.received, NowMs())) {
        transfer->tooSlow = true;
        return 1;  // stops the transfer
    }
    const auto quiet = Clock::now() - transfer->lastArrival;
    if (std::chrono::duration_cast<std::chrono::milliseconds>(quiet).count() >= transfer->stallTimeoutMs) {
        transfer->stalled = true;
        return 1;  // stops the transfer
    }
    return 0;
}

}  // namespace

bool StartNetwork(std::string* errorText) {
    if (EnsureGlobalInit()) {
        return true;
    }
    if (errorText != nullptr) {
        *errorText = curl_easy_strerror(globalInitResult);
    }
    return false;
}

struct HttpConnection::Impl {
    std::string userAgent;
    std::string server;
    unsigned port = 80;
    long stallTimeoutMs = kHttpStallTimeoutMs;
    std::uint64_t lowSpeedBytesPerSecond = kHttpLowSpeedBytesPerSecond;
    long lowSpeedWindowMs = kHttpLowSpeedWindowMs;
    CURL* curl = nullptr;
};

HttpConnection::HttpConnection(std::string_view userAgent, std::string_view server, unsigned port)
    : impl_(std::make_unique<Impl>()) {
    impl_->userAgent = userAgent;
    impl_->server = server;
    impl_->port = port;
    if (EnsureGlobalInit()) {
        impl_->curl = curl_easy_init();
    }
}

HttpConnection::~HttpConnection() {
    if (impl_->curl != nullptr) {
        curl_easy_cleanup(impl_->curl);
    }
}

HttpTransfer HttpConnection::GetToFile(std::string_view objectPath, std::string_view filePath,
                                       const HttpCallbacks& callbacks) {
    Transfer transfer;
    transfer.callbacks = &callbacks;
    if (impl_->curl == nullptr) {
        transfer.result.errorText = "the network library could not be started";
        return transfer.result;
    }
    transfer.systemPath = posix::SystemPath(filePath);
    if (transfer.systemPath.empty()) {
        transfer.systemPath = std::string(filePath);
    }

    // An IPv6 address needs brackets inside a URL.
    const bool ipv6 = impl_->server.find(':') != std::string::npos;
    const std::string url = "http://" + (ipv6 ? "[" + impl_->server + "]" : impl_->server) + ":" +
                            std::to_string(impl_->port) + EncodeObjectPath(objectPath);
    char errorBuffer[CURL_ERROR_SIZE] = {};

    CURL* curl = impl_->curl;
    curl_easy_reset(curl);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, impl_->userAgent.c_str());
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, kHttpConnectTimeoutMs);
    // A response that delivers nothing for the stall time is a failed read (WinINet's receive
    // time-out).
    transfer.stallTimeoutMs = impl_->stallTimeoutMs;
    transfer.lowSpeed = LowSpeedWatch(impl_->lowSpeedBytesPerSecond, impl_->lowSpeedWindowMs, NowMs());
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, 65536L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    // Never a cached or transformed answer: ask the server itself, and no decoding that would
    // change the saved bytes.
    curl_slist* headers = curl_slist_append(nullptr, "Pragma: no-cache");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);

    const CURLcode code = curl_easy_perform(curl);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(headers);

    HttpTransfer& result = transfer.result;
    const std::string text =
        transfer.tooSlow ? transfer.lowSpeed.Text()
        : transfer.stalled ? "the server sent nothing for " + std::to_string(transfer.stallTimeoutMs) + " ms"
        : errorBuffer[0] != '\0' ? errorBuffer
                                 : curl_easy_strerror(code);
    if (transfer.declined) {
        result.outcome = HttpOutcome::Declined;
    } else if (transfer.cancelled) {
        result.outcome = HttpOutcome::Cancelled;
    } else if (transfer.fileFailed) {
        result.outcome = HttpOutcome::FileFailed;
    } else if (!transfer.headDone) {
        result.outcome = HttpOutcome::SendFailed;
        result.errorText = code == CURLE_OK ? "the server sent no answer" : text;
    } else if (code != CURLE_OK) {
        result.outcome = HttpOutcome::ReadFailed;
        result.errorText = text;
    } else {
        result.outcome = HttpOutcome::Saved;
    }
    if (transfer.fd >= 0) {
        if (!transfer.Flush() && result.outcome == HttpOutcome::Saved) {
            result.outcome = HttpOutcome::FileFailed;
        }
        const int fd = transfer.fd;
        transfer.fd = -1;
        if (close(fd) != 0 && result.outcome == HttpOutcome::Saved) {
            result.outcome = HttpOutcome::FileFailed;
        }
    }
    return result;
}

void HttpConnection::SetStallTimeout(long milliseconds) { impl_->stallTimeoutMs = milliseconds; }

void HttpConnection::SetLowSpeedLimit(std::uint64_t bytesPerSecond, long windowMs) {
    impl_->lowSpeedBytesPerSecond = bytesPerSecond;
    impl_->lowSpeedWindowMs = windowMs;
}

}  // namespace quillax::platform
