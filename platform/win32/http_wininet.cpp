// HTTP on Windows with WinINet: one internet session and one connection to the server per
// HttpConnection; each GET is a request on that connection with the flags
// INTERNET_FLAG_EXISTING_CONNECT, INTERNET_FLAG_NO_AUTO_REDIRECT and INTERNET_FLAG_NEED_FILE,
// plus INTERNET_FLAG_RELOAD so that an answer is never taken from the cache (an updater that
// saw a stale manifest would never see a new version).
#include <winsock2.h>
#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/files_detail.h"
#include "platform/http.h"

namespace quillax::platform {
namespace {

// The system's text for an error code; WinINet's own codes come from wininet.dll.
std::string ErrorText(DWORD code) {
    char* buffer = nullptr;
    DWORD length = 0;
    HMODULE wininet = GetModuleHandleA("wininet.dll");
    if (wininet != nullptr && code >= INTERNET_ERROR_BASE && code <= INTERNET_ERROR_LAST) {
        length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                wininet, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    }
    if (length == 0) {
        length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    }
    std::string text;
    if (length != 0 && buffer != nullptr) {
        text.assign(buffer, length);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
            text.pop_back();
        }
    }
    if (buffer != nullptr) {
        LocalFree(buffer);
    }
    if (text.empty()) {
        text = "error " + std::to_string(code);
    }
    return text;
}

// A query of the response head as text; nothing when the header is absent.
std::optional<std::string> QueryText(HINTERNET request, DWORD info) {
    std::vector<char> buffer(64);
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = static_cast<DWORD>(buffer.size());
        DWORD index = 0;
        if (HttpQueryInfoA(request, info, buffer.data(), &size, &index)) {
            return std::string(buffer.data(), size);
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            return std::nullopt;
        }
        buffer.resize(size + 1);
    }
    return std::nullopt;
}

class InternetHandle {
public:
    explicit InternetHandle(HINTERNET handle = nullptr) : handle_(handle) {}
    ~InternetHandle() { Reset(); }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    HINTERNET get() const { return handle_; }
    void Reset(HINTERNET handle = nullptr) {
        if (handle_ != nullptr) {
            InternetCloseHandle(handle_);
        }
        handle_ = handle;
    }

private:
    HINTERNET handle_;
};

std::once_flag networkOnce;
int networkResult = 0;

long long SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

bool StartNetwork(std::string* errorText) {
    std::call_once(networkOnce, [] {
        WSADATA data{};
        networkResult = WSAStartup(MAKEWORD(1, 1), &data);
    });
    if (networkResult != 0 && errorText != nullptr) {
        *errorText = ErrorText(static_cast<DWORD>(networkResult));
    }
    return networkResult == 0;
}

struct HttpConnection::Impl {
    // The connection is closed before the session (members are destroyed in reverse order).
    InternetHandle session;
    InternetHandle connection;
    DWORD openError = 0;
    DWORD stallTimeoutMs = static_cast<DWORD>(kHttpStallTimeoutMs);
    std::uint64_t lowSpeedBytesPerSecond = kHttpLowSpeedBytesPerSecond;
    long lowSpeedWindowMs = kHttpLowSpeedWindowMs;
};

HttpConnection::HttpConnection(std::string_view userAgent, std::string_view server, unsigned port)
    : impl_(std::make_unique<Impl>()) {
    const std::string agent(userAgent);
    impl_->session.Reset(InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                       nullptr, 0));
    if (impl_->session.get() == nullptr) {
        impl_->openError = GetLastError();
        return;
    }
    // The option is in milliseconds.
    DWORD timeout = static_cast<DWORD>(kHttpConnectTimeoutMs);
    InternetSetOptionA(impl_->session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout,
                       sizeof timeout);
    const std::string host(server);
    impl_->connection.Reset(InternetConnectA(impl_->session.get(), host.c_str(),
                                             static_cast<INTERNET_PORT>(port), nullptr, nullptr,
                                             INTERNET_SERVICE_HTTP, 0, 1));
    if (impl_->connection.get() == nullptr) {
        impl_->openError = GetLastError();
    }
}

HttpConnection::~HttpConnection() = default;

HttpTransfer HttpConnection::GetToFile(std::string_view objectPath, std::string_view filePath,
                                       const HttpCallbacks& callbacks) {
    HttpTransfer result;
    if (impl_->connection.get() == nullptr) {
        result.errorText = ErrorText(impl_->openError);
        return result;
    }
    std::string object(objectPath);
    if (object.empty() || object.front() != '/') {
        object.insert(object.begin(), '/');
    }
    const DWORD flags = INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_AUTO_REDIRECT |
                        INTERNET_FLAG_NEED_FILE | INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE;
    InternetHandle request(HttpOpenRequestA(impl_->connection.get(), "GET", object.c_str(),
                                            "HTTP/1.0", nullptr, nullptr, flags, 1));
    if (request.get() != nullptr) {
        // A response that delivers nothing for the stall time is a failed read.
        DWORD timeout = impl_->stallTimeoutMs;
        InternetSetOptionA(request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    }
    if (request.get() == nullptr || !HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) {
        result.errorText = ErrorText(GetLastError());
        return result;
    }

    if (const auto status = QueryText(request.get(), HTTP_QUERY_STATUS_CODE)) {
        result.head.status = std::atoi(status->c_str());
    }
    if (const auto length = QueryText(request.get(), HTTP_QUERY_CONTENT_LENGTH)) {
        result.head.contentLength = ParseContentLength(*length);
    }
    if (callbacks.onHead && !callbacks.onHead(result.head)) {
        result.outcome = HttpOutcome::Declined;
        return result;
    }

    const std::string path(filePath);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        result.outcome = HttpOutcome::FileFailed;
        result.errorText = ErrorText(error);
        result.diskFull = error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
        return result;
    }

    char buffer[kHttpReadUnit];
    result.outcome = HttpOutcome::Saved;
    // A read asks only for what has arrived: InternetReadFile waits for its whole buffer, so a
    // server that drips its body would otherwise hold one read for as long as it likes, out of
    // reach of the low-speed watch.
    LowSpeedWatch lowSpeed(impl_->lowSpeedBytesPerSecond, impl_->lowSpeedWindowMs,
                           SteadyMs());
    for (;;) {
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request.get(), &available, 0, 0)) {
            result.outcome = HttpOutcome::ReadFailed;
            result.errorText = ErrorText(GetLastError());
            break;
        }
        DWORD got = 0;
        const DWORD wanted = available == 0 || available > sizeof buffer ? DWORD{sizeof buffer} : available;
        if (!InternetReadFile(request.get(), buffer, wanted, &got)) {
            result.outcome = HttpOutcome::ReadFailed;
            result.errorText = ErrorText(GetLastError());
            break;
        }
        if (got == 0) {
            break;
        }
        // The test seam of the file layer: the disk fills up halfway through the first write.
        const bool faulty = detail::CurrentWriteFault() == WriteFault::DuringWrite;
        const DWORD size = faulty ? got / 2 : got;
        DWORD written = 0;
        if (!WriteFile(file, buffer, size, &written, nullptr) || written != size || faulty) {
            const DWORD error = faulty ? static_cast<DWORD>(ERROR_DISK_FULL) : GetLastError();
            result.outcome = HttpOutcome::FileFailed;
            result.errorText = ErrorText(error);
            result.diskFull = error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
            break;
        }
        result.received += got;
        if (callbacks.onRead && !callbacks.onRead(result.received, result.head)) {
            result.outcome = HttpOutcome::Cancelled;
            break;
        }
        if (lowSpeed.TooSlow(result.received, SteadyMs())) {
            result.outcome = HttpOutcome::ReadFailed;
            result.errorText = lowSpeed.Text();
            break;
        }
    }
    if (!CloseHandle(file) && result.outcome == HttpOutcome::Saved) {
        result.outcome = HttpOutcome::FileFailed;
    }
    // WinINet ends a body quietly when the connection closes early: a body shorter than its
    // Content-Length is a broken transfer, not a complete file.
    if (result.outcome == HttpOutcome::Saved && result.head.contentLength &&
        result.received < *result.head.contentLength) {
        result.outcome = HttpOutcome::ReadFailed;
        result.errorText = ErrorText(ERROR_INTERNET_CONNECTION_ABORTED);
    }
    return result;
}

void HttpConnection::SetStallTimeout(long milliseconds) {
    impl_->stallTimeoutMs = milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0;
}

void HttpConnection::SetLowSpeedLimit(std::uint64_t bytesPerSecond, long windowMs) {
    impl_->lowSpeedBytesPerSecond = bytesPerSecond;
    impl_->lowSpeedWindowMs = windowMs;
}

}  // namespace quillax::platform
