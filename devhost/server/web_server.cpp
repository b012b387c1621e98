#include "devhost/server/web_server.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <sstream>
#include <vector>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

namespace quillax::devhost {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace fs = std::filesystem;
using tcp = asio::ip::tcp;

// ---- files ---------------------------------------------------------------------------------------

namespace {

std::string PercentDecoded(const std::string& text, bool& ok) {
    std::string out;
    ok = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) {
            ok = false;
            return {};
        }
        const std::string hex = text.substr(i + 1, 2);
        char* end = nullptr;
        const long value = std::strtol(hex.c_str(), &end, 16);
        if (end != hex.c_str() + 2) {
            ok = false;
            return {};
        }
        out += static_cast<char>(value);
        i += 2;
    }
    return out;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool Within(const fs::path& root, const fs::path& path) {
    const std::string base = root.string();
    const std::string full = path.string();
    return full.size() > base.size() && full.compare(0, base.size(), base) == 0 &&
           (base.back() == '/' || full[base.size()] == '/');
}

}  // namespace

std::optional<fs::path> ResolveUnder(const fs::path& root, const std::string& urlPath) {
    bool ok = true;
    const std::string decoded = PercentDecoded(urlPath, ok);
    if (!ok || decoded.find('\0') != std::string::npos) return std::nullopt;
    std::error_code error;
    const fs::path base = fs::canonical(root, error);
    if (error) return std::nullopt;
    fs::path path = base;
    std::string part;
    // The engine writes installation paths with "\"; browsers send them as "/", but be sure.
    std::string slashed = decoded;
    for (char& c : slashed) {
        if (c == '\\') c = '/';
    }
    std::stringstream components(slashed);
    while (std::getline(components, part, '/')) {
        if (part.empty() || part == ".") continue;
        if (part == "..") return std::nullopt;
        fs::path next = path / part;
        if (!fs::exists(next, error)) {
            // Names are case-insensitive for the engine, as on its own platform.
            bool found = false;
            for (const fs::directory_entry& entry : fs::directory_iterator(path, error)) {
                if (Lower(entry.path().filename().string()) == Lower(part)) {
                    next = entry.path();
                    found = true;
                    break;
                }
            }
            if (!found) return std::nullopt;
        }
        path = next;
    }
    const fs::path real = fs::canonical(path, error);
    if (error || !Within(base, real) || !fs::is_regular_file(real, error)) return std::nullopt;
    return real;
}

namespace {

std::string ContentType(const fs::path& path) {
    static const std::map<std::string, std::string> types = {
        {".html", "text/html; charset=utf-8"}, {".htm", "text/html; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"}, {".css", "text/css"},
        {".json", "application/json"}, {".jpg", "image/jpeg"}, {".jpeg", "image/jpeg"},
        {".png", "image/png"}, {".gif", "image/gif"}, {".mid", "audio/midi"},
        {".txt", "text/plain"}, {".ico", "image/x-icon"}};
    const auto it = types.find(Lower(path.extension().string()));
    return it == types.end() ? "application/octet-stream" : it->second;
}

// ---- WebSocket page connection ------------------------------------------------------------------

class PageSocket : public PageChannel, public std::enable_shared_from_this<PageSocket> {
public:
    PageSocket(tcp::socket socket, int page, const PageHandlers& handlers)
        : ws_(std::move(socket)), page_(page), handlers_(handlers) {}

    void Start(http::request<http::string_body> request) {
        // Many small messages go each way: without this, Nagle's algorithm and delayed
        // acknowledgements hold some of them back for tens of milliseconds.
        beast::error_code ignored;
        beast::get_lowest_layer(ws_).socket().set_option(tcp::no_delay(true), ignored);
        ws_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
        ws_.async_accept(request, [self = shared_from_this()](beast::error_code error) {
            if (error) {
                self->Closed();
                return;
            }
            self->opened_ = true;
            if (self->handlers_.opened) self->handlers_.opened(self->page_, self);
            self->Read();
        });
    }

    void Send(const Json& message) override {
        Queue(message.dump(-1, ' ', false, Json::error_handler_t::replace), false);
    }

    void SendBinary(std::string bytes) override { Queue(std::move(bytes), true); }

    std::optional<Json> Ask(Json request, std::chrono::milliseconds timeout) override {
        std::unique_lock<std::mutex> lock(mutex_);
        if (closed_) return std::nullopt;
        const int id = ++lastRequest_;
        answers_[id] = std::nullopt;
        request["req"] = id;
        lock.unlock();
        Send(request);
        lock.lock();
        wake_.wait_for(lock, timeout, [&] { return closed_ || answers_[id].has_value(); });
        std::optional<Json> answer = std::move(answers_[id]);
        answers_.erase(id);
        return answer;
    }

    bool Open() const override {
        std::lock_guard<std::mutex> lock(mutex_);
        return !closed_;
    }

private:
    void Read() {
        ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code error, std::size_t) {
            if (error) {
                self->Closed();
                return;
            }
            const std::string text = beast::buffers_to_string(self->buffer_.data());
            self->buffer_.consume(self->buffer_.size());
            self->Received(text);
            self->Read();
        });
    }

    // Messages leave one after the other, on the server thread, in the order they were queued.
    void Queue(std::string bytes, bool binary) {
        if (!Open()) return;
        auto message = std::make_shared<Outgoing>(Outgoing{std::move(bytes), binary});
        asio::post(ws_.get_executor(), [self = shared_from_this(), message] {
            self->queue_.push_back(message);
            if (self->queue_.size() == 1) self->Write();
        });
    }

    void Received(const std::string& text) {
        Json message = Json::parse(text, nullptr, false);
        if (!message.is_object()) return;
        const auto reply = message.find("reply");
        if (reply != message.end()) {
            if (!reply->is_number_integer()) return;
            std::lock_guard<std::mutex> lock(mutex_);
            const auto waiting = answers_.find(reply->get<int>());
            if (waiting == answers_.end()) return;  // answered too late: nobody waits any more
            const auto value = message.find("value");
            waiting->second = value == message.end() ? Json() : *value;
            wake_.notify_all();
            return;
        }
        if (handlers_.message) handlers_.message(page_, std::move(message));
    }

    void Write() {
        ws_.binary(queue_.front()->binary);
        ws_.async_write(asio::buffer(queue_.front()->bytes),
                        [self = shared_from_this()](beast::error_code error, std::size_t) {
                            self->queue_.pop_front();
                            if (error) {
                                self->queue_.clear();
                                self->Closed();
                                return;
                            }
                            if (!self->queue_.empty()) self->Write();
                        });
    }

    // The page went away: whoever waits for it is answered at once, and nothing more is sent.
    void Closed() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_) return;
            closed_ = true;
            wake_.notify_all();
        }
        if (opened_ && handlers_.closed) handlers_.closed(page_);
    }

    struct Outgoing {
        std::string bytes;
        bool binary = false;
    };

    websocket::stream<beast::tcp_stream> ws_;
    beast::flat_buffer buffer_;
    std::deque<std::shared_ptr<Outgoing>> queue_;
    int page_;
    const PageHandlers& handlers_;
    bool opened_ = false;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool closed_ = false;
    int lastRequest_ = 0;
    std::map<int, std::optional<Json>> answers_;
};

// ---- HTTP ------------------------------------------------------------------------------------------

struct Roots {
    fs::path web;
    fs::path config;
};

class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(tcp::socket socket, const Roots& roots, const PageHandlers& handlers,
                std::atomic<int>& pages)
        : stream_(std::move(socket)), roots_(roots), handlers_(handlers), pages_(pages) {}

    void Start() { Read(); }

private:
    void Read() {
        request_ = {};
        stream_.expires_after(std::chrono::seconds(60));
        http::async_read(stream_, buffer_, request_,
                         [self = shared_from_this()](beast::error_code error, std::size_t) {
                             if (error) {
                                 beast::error_code ignored;
                                 self->stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
                                 return;
                             }
                             self->Handle();
                         });
    }

    void Handle() {
        if (websocket::is_upgrade(request_)) {
            if (Target() != "/ws") return Reply(http::status::not_found, "no such socket\n");
            // Only the host's own page may drive the engine, not a page of another site
            // that the same browser shows.
            const std::string origin(request_[http::field::origin]);
            const std::string host(request_[http::field::host]);
            if (!origin.empty() && origin != "http://" + host) {
                return Reply(http::status::forbidden, "not this host's page\n");
            }
            stream_.expires_never();
            auto socket = std::make_shared<PageSocket>(stream_.release_socket(), ++pages_, handlers_);
            socket->Start(std::move(request_));
            return;
        }
        if (request_.method() != http::verb::get && request_.method() != http::verb::head) {
            return Reply(http::status::method_not_allowed, "read-only\n");
        }
        const std::string target = Target();
        if (target == "/favicon.ico") return Reply(http::status::no_content, "");
        std::optional<fs::path> file;
        if (target == "/" || target.empty()) {
            file = ResolveUnder(roots_.web, "index.html");
        } else if (target == "/bible.css") {
            file = ResolveUnder(roots_.config, "bible.css");
        } else if (target.compare(0, 5, "/cfg/") == 0) {
            file = ResolveUnder(roots_.config, target.substr(5));
        } else {
            file = ResolveUnder(roots_.web, target);
        }
        if (!file) return Reply(http::status::not_found, "not found\n");
        std::ifstream in(*file, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        auto response = std::make_shared<http::response<http::string_body>>(http::status::ok,
                                                                            request_.version());
        response->set(http::field::content_type, ContentType(*file));
        response->set(http::field::cache_control, "no-store");
        response->keep_alive(request_.keep_alive());
        if (request_.method() == http::verb::get) response->body() = content.str();
        response->prepare_payload();
        if (request_.method() == http::verb::head) {
            response->content_length(static_cast<std::uint64_t>(content.str().size()));
        }
        Send(response);
    }

    std::string Target() const {
        std::string target(request_.target());
        const std::size_t query = target.find_first_of("?#");
        if (query != std::string::npos) target.resize(query);
        return target;
    }

    void Reply(http::status status, const std::string& text) {
        auto response = std::make_shared<http::response<http::string_body>>(status, request_.version());
        response->set(http::field::content_type, "text/plain");
        response->keep_alive(request_.keep_alive());
        response->body() = text;
        response->prepare_payload();
        Send(response);
    }

    void Send(std::shared_ptr<http::response<http::string_body>> response) {
        http::async_write(stream_, *response,
                          [self = shared_from_this(), response](beast::error_code error, std::size_t) {
                              if (error || !response->keep_alive()) {
                                  beast::error_code ignored;
                                  self->stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
                                  return;
                              }
                              self->Read();
                          });
    }

    beast::tcp_stream stream_;
    beast::flat_buffer buffer_;
    http::request<http::string_body> request_;
    const Roots& roots_;
    const PageHandlers& handlers_;
    std::atomic<int>& pages_;
};

}  // namespace

struct WebServer::Impl {
    asio::io_context io{1};
    tcp::acceptor acceptor{io};
    Roots roots;
    PageHandlers handlers;
    std::atomic<int> pages{0};

    void Accept() {
        acceptor.async_accept(asio::make_strand(io), [this](beast::error_code error, tcp::socket socket) {
            if (!error) std::make_shared<HttpSession>(std::move(socket), roots, handlers, pages)->Start();
            if (acceptor.is_open()) Accept();
        });
    }
};

WebServer::WebServer(fs::path webDir, fs::path configDir, PageHandlers handlers)
    : impl_(std::make_unique<Impl>()) {
    impl_->roots.web = std::move(webDir);
    impl_->roots.config = std::move(configDir);
    impl_->handlers = std::move(handlers);
}

WebServer::~WebServer() = default;

bool WebServer::Listen(unsigned short port, std::string& error) {
    beast::error_code code;
    const tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), port);
    impl_->acceptor.open(endpoint.protocol(), code);
    if (!code) impl_->acceptor.set_option(asio::socket_base::reuse_address(true), code);
    if (!code) impl_->acceptor.bind(endpoint, code);
    if (!code) impl_->acceptor.listen(asio::socket_base::max_listen_connections, code);
    if (code) {
        error = code.message();
        return false;
    }
    impl_->Accept();
    return true;
}

unsigned short WebServer::Port() const {
    beast::error_code code;
    const tcp::endpoint endpoint = impl_->acceptor.local_endpoint(code);
    return code ? 0 : endpoint.port();
}

void WebServer::Run() { impl_->io.run(); }

void WebServer::Stop() {
    asio::post(impl_->io, [this] {
        beast::error_code ignored;
        impl_->acceptor.close(ignored);
        impl_->io.stop();
    });
}

}  // namespace quillax::devhost
