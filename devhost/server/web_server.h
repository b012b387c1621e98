// The development host's web server: HTTP for the host page and the installation's files,
// and one WebSocket per open page, on 127.0.0.1 only.
//
// The server runs on one thread of its own (an io_context). Messages of a page arrive on that
// thread: answers to the engine's requests are handed to the waiting engine thread directly,
// everything else goes to the page handler. Files are served read-only from two roots: the
// host page's folder (at "/") and the configuration directory of the installation (at "/cfg/",
// its bible.css also at "/bible.css", where the page links it); no address reaches outside them.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "devhost/server/page_channel.h"

namespace quillax::devhost {

// What the server tells its owner about the pages. All three are called on the server thread.
struct PageHandlers {
    std::function<void(int page, std::shared_ptr<PageChannel> channel)> opened;
    std::function<void(int page, Json message)> message;
    std::function<void(int page)> closed;
};

// The file under root that the address path names (percent-decoded, "/" separated), found
// case-insensitively where the exact name does not exist. Empty when the path leaves root,
// names no regular file, or has a ".." component.
std::optional<std::filesystem::path> ResolveUnder(const std::filesystem::path& root,
                                                  const std::string& urlPath);

class WebServer {
public:
    WebServer(std::filesystem::path webDir, std::filesystem::path configDir, PageHandlers handlers);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Listens on 127.0.0.1:port (0: any free port); false with a message when it cannot.
    bool Listen(unsigned short port, std::string& error);
    unsigned short Port() const;
    // Serves until Stop() (call from any thread).
    void Run();
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace quillax::devhost
