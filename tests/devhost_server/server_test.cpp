// The development host's bridge (the engine's view of a browser page) and its web server: what
// the engine's operations send to the page, how reads are answered, the event snapshot of a
// call, a page that goes away, and the files the server shows.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include "devhost/server/browser_host.h"
#include "devhost/server/web_server.h"
#include "devhost_server/test_support.h"

namespace quillax::devhost {
namespace {

namespace fs = std::filesystem;
using testing::RecordingChannel;
using testing::TempDir;

const char16_t kConfigDir[] = u"/srv/inst\\cfg\\";

struct Bridge {
    Bridge() : channel(std::make_shared<RecordingChannel>()), session(state, channel, kConfigDir) {
        session.Handle({{"call", "init"}, {"seq", 1}, {"args", {{"url", "http://127.0.0.1/page.html"}}}});
    }
    HostWindow& Window() { return *state.host.pageWindow; }
    const Json& LastSent() { return channel->sent.back(); }

    RenderState state;
    std::shared_ptr<RecordingChannel> channel;
    PageSession session;
};

TEST(DevhostBridgeTest, CallsAreAnsweredWithTheEventTheyCarried) {
    Bridge bridge;
    ASSERT_NE(bridge.state.host.pageWindow, nullptr);
    EXPECT_EQ(bridge.LastSent()["done"], 1);
    EXPECT_EQ(bridge.LastSent()["result"], 0);
    EXPECT_EQ(bridge.Window().Url(), u"http://127.0.0.1/page.html");

    // A click on a "BoSk" element: the engine reads the snapshot and cancels the event.
    const Json bosk = {{"tagName", "A"}, {"id", ""}, {"title", "xBoSkx"},
                       {"outerHTML", "<a title=\"xBoSkx\">x</a>"}, {"innerText", "x"}, {"innerHTML", "x"}};
    bridge.session.Handle({{"call", "MouseClick"}, {"seq", 2}, {"ev", {{"button", 0}, {"src", bosk}}}});
    EXPECT_EQ(bridge.LastSent()["done"], 2);
    EXPECT_EQ(bridge.LastSent()["cancelled"], true);

    // A click on an input is left alone; between calls there is no current event.
    const Json input = {{"tagName", "INPUT"}, {"id", "q"}, {"outerHTML", "<input id=\"q\">"}};
    bridge.session.Handle({{"call", "MouseClick"}, {"seq", 3}, {"ev", {{"src", input}}}});
    EXPECT_EQ(bridge.LastSent()["cancelled"], false);
    HostEvent event;
    HostElement element;
    EXPECT_FALSE(bridge.Window().CurrentEvent(event));
    EXPECT_FALSE(bridge.Window().SourceElement(element));
    EXPECT_FALSE(bridge.Window().CancelEvent());

    // getcfg of a key the configuration does not have leaves the result unset; Ver answers.
    bridge.session.Handle({{"call", "getcfg"}, {"seq", 4}, {"args", {{"name", "NOSUCHKEY="}}}});
    EXPECT_FALSE(bridge.LastSent().contains("value"));
    bridge.session.Handle({{"call", "Ver"}, {"seq", 5}});
    EXPECT_TRUE(bridge.LastSent()["value"].is_string());
    bridge.session.Handle({{"call", "putChanged"}, {"seq", 6}, {"args", {{"value", 3}}}});
    bridge.session.Handle({{"call", "getChanged"}, {"seq", 7}});
    EXPECT_EQ(bridge.LastSent()["value"], 3);
}

TEST(DevhostBridgeTest, ReadsAreAskedOfThePageAndAClosedPageAnswersNothing) {
    Bridge bridge;
    bridge.channel->answer = [](const Json& request) -> std::optional<Json> {
        const std::string op = request["op"];
        if (op == "scrollTop") return 42;
        if (op == "bodyHeight") return 600;
        if (op == "cursor") return Json{{"x", 12}, {"y", 34}};
        if (op == "anchor" && request["name"] == "5") {
            return Json::array({{{"tag", "A"}, {"top", 30}}, {{"tag", "TD"}, {"top", 4}},
                                {{"tag", "TABLE"}, {"top", 100}}});
        }
        return Json::array();
    };
    HostWindow& window = bridge.Window();
    EXPECT_EQ(window.BodyScrollTop(), 42);
    EXPECT_EQ(window.BodyOffsetHeight(), 600);
    int x = 0;
    int y = 0;
    window.CursorPosition(x, y);
    EXPECT_EQ(x, 12);
    EXPECT_EQ(y, 34);
    std::vector<OffsetNode> chain;
    ASSERT_TRUE(window.AnchorOffsets(u"5", chain));
    ASSERT_EQ(chain.size(), 3u);
    EXPECT_EQ(chain[2].tagName, u"TABLE");
    EXPECT_EQ(chain[1].offsetTop, 4);
    EXPECT_FALSE(window.AnchorOffsets(u"999", chain));
    EXPECT_TRUE(chain.empty());
    EXPECT_EQ(bridge.channel->asked.back()["win"], "main");

    // The tab is closed: reads give 0 and false, writes send nothing.
    bridge.channel->open = false;
    const std::size_t sent = bridge.channel->sent.size();
    EXPECT_FALSE(window.HasDocument());
    EXPECT_EQ(window.BodyScrollTop(), 0);
    EXPECT_FALSE(window.AnchorOffsets(u"5", chain));
    EXPECT_FALSE(window.SetBodyInnerHtml(u"<p>x</p>"));
    EXPECT_FALSE(window.ScrollTo(0, 10));
    EXPECT_EQ(bridge.channel->sent.size(), sent);
}

TEST(DevhostBridgeTest, InstallationPathsBecomeServerAddressesAndTheBodyReadsBackAsWritten) {
    Bridge bridge;
    HostWindow& window = bridge.Window();
    const std::u16string body = u"<img src=/srv/inst\\cfg\\pic\\tu0111.jpg><img src=/srv/inst/cfg/x.jpg>汉字";
    ASSERT_TRUE(window.SetBodyInnerHtml(body));
    EXPECT_EQ(bridge.LastSent()["op"], "body");
    EXPECT_EQ(bridge.LastSent()["html"], "<img src=/cfg/pic\\tu0111.jpg><img src=/cfg/x.jpg>" + std::string(u8"汉字"));
    EXPECT_EQ(window.BodyInnerHtml(), body);

    std::u16string href;
    ASSERT_TRUE(window.FirstStyleSheetHref(href));
    EXPECT_EQ(href, u"bible.css");
    ASSERT_TRUE(window.SetFirstStyleSheetHref(std::u16string(kConfigDir) + u"bible.css"));
    EXPECT_EQ(bridge.LastSent()["href"], "/cfg/bible.css");
    ASSERT_TRUE(window.FirstStyleSheetHref(href));
    EXPECT_EQ(href, std::u16string(kConfigDir) + u"bible.css");
}

TEST(DevhostBridgeTest, PopupPanelFollowsTheEnginesRectangleAndCaption) {
    Bridge bridge;
    BrowserPopup popup(bridge.session);
    popup.Create(false);
    PopupRect rect;
    rect.left = 10;
    rect.top = 20;
    rect.right = 310;
    rect.bottom = 220;
    popup.Move(rect, true);
    EXPECT_EQ(bridge.LastSent()["op"], "popupMove");
    EXPECT_EQ(bridge.LastSent()["width"], 300);
    EXPECT_EQ(bridge.LastSent()["height"], 200);
    EXPECT_EQ(popup.ClientHeight(), 200 - BrowserPopup::kBorderHeight);
    popup.SetStyle(popup.Style() | kPinnedStyleBits);
    EXPECT_EQ(bridge.LastSent()["caption"], true);
    EXPECT_EQ(popup.ClientHeight(), 200 - BrowserPopup::kBorderHeight - BrowserPopup::kCaptionHeight);
    bridge.channel->answer = [](const Json&) -> std::optional<Json> { return 345; };
    EXPECT_EQ(popup.ResetScrollAndMeasure(), 345);
    bridge.channel->open = false;
    EXPECT_EQ(popup.ResetScrollAndMeasure(), 0);
}

// ---- files -----------------------------------------------------------------------------------------

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

TEST(DevhostFilesTest, OnlyRegularFilesUnderTheRootAreServed) {
    TempDir temp;
    ASSERT_FALSE(temp.path.empty());
    const fs::path root = temp.path / "cfg";
    WriteFile(root / "bible.css", "body{}");
    WriteFile(root / "pic" / "tu0111.jpg", "jpg");
    WriteFile(temp.path / "secret.txt", "outside");
    fs::create_symlink(temp.path / "secret.txt", root / "link.txt");

    EXPECT_EQ(ResolveUnder(root, "bible.css"), fs::canonical(root / "bible.css"));
    EXPECT_EQ(ResolveUnder(root, "/pic/tu0111.jpg"), fs::canonical(root / "pic" / "tu0111.jpg"));
    // Names are found case-insensitively; "\" separates like "/"; escapes are decoded.
    EXPECT_EQ(ResolveUnder(root, "PIC/TU0111.JPG"), fs::canonical(root / "pic" / "tu0111.jpg"));
    EXPECT_EQ(ResolveUnder(root, "pic\\tu0111.jpg"), fs::canonical(root / "pic" / "tu0111.jpg"));
    EXPECT_EQ(ResolveUnder(root, "pic%2Ftu0111.jpg"), fs::canonical(root / "pic" / "tu0111.jpg"));

    EXPECT_FALSE(ResolveUnder(root, "../secret.txt"));
    EXPECT_FALSE(ResolveUnder(root, "pic/../../secret.txt"));
    EXPECT_FALSE(ResolveUnder(root, "%2e%2e/secret.txt"));
    EXPECT_FALSE(ResolveUnder(root, "..\\secret.txt"));
    EXPECT_FALSE(ResolveUnder(root, "link.txt"));  // a link that leads outside
    EXPECT_FALSE(ResolveUnder(root, "pic"));       // a folder
    EXPECT_FALSE(ResolveUnder(root, "missing.css"));
    EXPECT_FALSE(ResolveUnder(root, "bible.css%00.jpg"));
    EXPECT_FALSE(ResolveUnder(root, "bad%zz"));
}

// ---- the server --------------------------------------------------------------------------------------

namespace beast = boost::beast;
namespace http = beast::http;
using tcp = boost::asio::ip::tcp;

int HttpStatus(unsigned short port, const std::string& target, const std::string& origin = "") {
    boost::asio::io_context io;
    tcp::socket socket(io);
    socket.connect(tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), port));
    http::request<http::empty_body> request(http::verb::get, target, 11);
    const std::string host = "127.0.0.1:" + std::to_string(port);
    request.set(http::field::host, host);
    if (!origin.empty()) {
        // A WebSocket upgrade as a browser sends it.
        request.set(http::field::origin, origin);
        request.set(http::field::upgrade, "websocket");
        request.set(http::field::connection, "Upgrade");
        request.set(http::field::sec_websocket_key, "dGhlIHNhbXBsZSBub25jZQ==");
        request.set(http::field::sec_websocket_version, "13");
    }
    http::write(socket, request);
    beast::flat_buffer buffer;
    http::response<http::string_body> response;
    http::read(socket, buffer, response);
    return static_cast<int>(response.result_int());
}

TEST(DevhostServerTest, ServesFilesAndAPageThatGoesAwayEndsTheWaitAtOnce) {
    TempDir temp;
    ASSERT_FALSE(temp.path.empty());
    WriteFile(temp.path / "web" / "index.html", "<html></html>");
    WriteFile(temp.path / "cfg" / "bible.css", "body{}");
    WriteFile(temp.path / "secret.txt", "outside");

    std::mutex mutex;
    std::shared_ptr<PageChannel> page;
    std::vector<std::string> received;
    bool closed = false;
    PageHandlers handlers;
    handlers.opened = [&](int, std::shared_ptr<PageChannel> channel) {
        std::lock_guard<std::mutex> lock(mutex);
        page = channel;
    };
    handlers.message = [&](int, Json message) {
        std::lock_guard<std::mutex> lock(mutex);
        received.push_back(message.dump());
    };
    handlers.closed = [&](int) {
        std::lock_guard<std::mutex> lock(mutex);
        closed = true;
    };
    WebServer server(temp.path / "web", temp.path / "cfg", handlers);
    std::string error;
    ASSERT_TRUE(server.Listen(0, error)) << error;
    const unsigned short port = server.Port();
    std::thread serverThread([&] { server.Run(); });

    EXPECT_EQ(HttpStatus(port, "/"), 200);
    EXPECT_EQ(HttpStatus(port, "/bible.css"), 200);
    EXPECT_EQ(HttpStatus(port, "/cfg/BIBLE.CSS?x=1"), 200);
    EXPECT_EQ(HttpStatus(port, "/cfg/../secret.txt"), 404);
    EXPECT_EQ(HttpStatus(port, "/cfg/%2e%2e/secret.txt"), 404);
    EXPECT_EQ(HttpStatus(port, "/../secret.txt"), 404);

    // A page connects, answers one request, sends a message, and goes away while the engine
    // waits for a second answer.
    boost::asio::io_context io;
    beast::websocket::stream<tcp::socket> ws(io);
    ws.next_layer().connect(tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), port));
    ws.handshake("127.0.0.1", "/ws");
    for (int i = 0; i < 200; ++i) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (page) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::shared_ptr<PageChannel> channel;
    {
        std::lock_guard<std::mutex> lock(mutex);
        channel = page;
    }
    ASSERT_TRUE(channel);
    std::optional<Json> first;
    std::thread engine([&] { first = channel->Ask({{"op", "scrollTop"}}, std::chrono::seconds(5)); });
    beast::flat_buffer buffer;
    ws.read(buffer);
    const Json request = Json::parse(beast::buffers_to_string(buffer.data()));
    buffer.consume(buffer.size());
    EXPECT_EQ(request["op"], "scrollTop");
    ws.write(boost::asio::buffer(Json{{"reply", request["req"]}, {"value", 17}}.dump()));
    ws.write(boost::asio::buffer(std::string(R"({"call":"MouseOver","seq":1})")));
    engine.join();
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, 17);
    // The song's sound goes as binary messages.
    channel->SendBinary(std::string("\x01\x00\x02", 3));
    ws.read(buffer);
    EXPECT_TRUE(ws.got_binary());
    EXPECT_EQ(beast::buffers_to_string(buffer.data()), std::string("\x01\x00\x02", 3));
    buffer.consume(buffer.size());

    std::optional<Json> second = Json(0);
    const auto asked = std::chrono::steady_clock::now();
    std::thread waiting([&] { second = channel->Ask({{"op", "scrollTop"}}, std::chrono::seconds(30)); });
    ws.read(buffer);  // the request arrived; the page closes instead of answering
    ws.next_layer().close();
    waiting.join();
    EXPECT_FALSE(second);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(10));
    EXPECT_FALSE(channel->Open());
    // Later reads fail at once.
    const auto later = std::chrono::steady_clock::now();
    EXPECT_FALSE(channel->Ask({{"op", "scrollTop"}}, std::chrono::seconds(30)));
    EXPECT_LT(std::chrono::steady_clock::now() - later, std::chrono::milliseconds(100));

    // The server goes on serving. Its engine socket is refused to pages of other sites and
    // granted to the host's own.
    EXPECT_EQ(HttpStatus(port, "/"), 200);
    EXPECT_EQ(HttpStatus(port, "/ws", "http://example.invalid"), 403);
    EXPECT_EQ(HttpStatus(port, "/ws", "http://127.0.0.1:" + std::to_string(port)), 101);
    channel.reset();
    server.Stop();
    serverThread.join();
    std::lock_guard<std::mutex> lock(mutex);
    // The last page may have connected after the one before it was let go: its socket must go
    // while the server (whose services it uses) is still there.
    page.reset();
    EXPECT_TRUE(closed);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(Json::parse(received[0])["call"], "MouseOver");
}

}  // namespace
}  // namespace quillax::devhost
