// quillax-devhost: shows the engine in a real browser. A local web server (127.0.0.1 only)
// serves the host page, which creates one engine control per page connection and forwards its
// events to it over a WebSocket; the engine runs on this program's main thread, as on the
// user-interface thread of the browser control it was made for.
//
// The engine finds its installation through the default value of the registry key
// HKEY_CURRENT_USER\Software\quillax. Unless QUILLAX_REGISTRY names a store, the program uses a
// private registry file for the run and removes it at the end (devhost/installation.h).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>

#include "devhost/installation.h"
#include "devhost/server/browser_host.h"
#include "devhost/server/song_stream.h"
#include "devhost/server/study_days.h"
#include "devhost/server/web_server.h"
#include "engine/config/configuration.h"
#include "engine/host/engine_loop.h"
#include "engine/state/render_state.h"
#include "platform/program_location.h"
#include "textlib/conversions.h"

namespace fs = std::filesystem;

namespace quillax::devhost {
namespace {

constexpr char kUsage[] =
    "usage: quillax-devhost [INSTALL_DIR] [--port N] [--web DIR]\n"
    "\n"
    "Serves the development host page on http://127.0.0.1:N/ (N = 0 or no --port: any free\n"
    "port) with the engine on the installation INSTALL_DIR (its configuration directory is\n"
    "INSTALL_DIR/cfg, or INSTALL_DIR itself when it holds bible.ini). Without INSTALL_DIR the\n"
    "copy of the sample installation in the build tree is used; it is made first when missing\n"
    "(the sample is copied and envoke builds its indexes and derives its main text).\n"
    "--web DIR serves the host page from DIR instead of the source tree's devhost/web.\n"
    "The first line printed is the address, e.g. \"quillax-devhost: http://127.0.0.1:8470/\".\n"
    "Stop with Ctrl-C.\n";

struct Options {
    fs::path installDir;
    fs::path webDir = QUILLAX_DEVHOST_WEB;
    unsigned short port = 0;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--port" || arg == "--web") && i + 1 < argc) {
            const std::string value = argv[++i];
            if (arg == "--web") {
                options.webDir = value;
                continue;
            }
            char* end = nullptr;
            const long port = std::strtol(value.c_str(), &end, 10);
            if (*end != '\0' || port < 0 || port > 65535) return false;
            options.port = static_cast<unsigned short>(port);
        } else if (!arg.empty() && arg[0] != '-' && options.installDir.empty()) {
            options.installDir = arg;
        } else {
            return false;
        }
    }
    return true;
}

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

// The configuration directory of an installation as a real path: INSTALL_DIR/cfg, or
// INSTALL_DIR itself, by the rule of ConfigDirectory (devhost/installation.h).
fs::path ConfigPath(const fs::path& installDir) {
    const fs::path root = fs::absolute(installDir).lexically_normal();
    const GbString engineDir = ConfigDirectory(GbString(root.string()));
    const std::string_view cfg = "\\cfg\\";
    const std::string_view dir = engineDir.view();
    const bool below = dir.size() >= cfg.size() && dir.substr(dir.size() - cfg.size()) == cfg;
    return below ? root / "cfg" : root;
}

// The default installation: a copy of the sample in the build tree, set up by envoke.
bool PrepareSampleCopy(const fs::path& copy) {
    if (fs::exists(copy / "cfg" / "bible.ini")) return true;
    std::fprintf(stderr, "quillax-devhost: preparing %s\n", copy.string().c_str());
    std::error_code error;
    fs::copy(QUILLAX_DEVHOST_SAMPLE_SOURCE, copy, fs::copy_options::recursive, error);
    if (error) {
        std::fprintf(stderr, "quillax-devhost: cannot copy the sample: %s\n", error.message().c_str());
        return false;
    }
    std::string envoke = platform::ProgramDirectory() + "/envoke";
    for (char& c : envoke) {
        if (c == '\\') c = '/';
    }
    const std::string command =
        "cd " + Quoted((copy / "cfg").string()) + " && " + Quoted(envoke) + " -q >/dev/null";
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "quillax-devhost: envoke failed on %s\n", copy.string().c_str());
    }
    return fs::exists(copy / "cfg" / "bible.ini");
}

int Run(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const bool sampleCopy = options.installDir.empty();
    if (sampleCopy) options.installDir = QUILLAX_DEVHOST_SAMPLE_COPY;
    const fs::path configDir = ConfigPath(options.installDir);
    // The engine writes the configuration directory with "\" separators and a trailing "\".
    const std::string engineConfigDir = configDir.string() + "\\";
    // The registry of the run comes first: envoke, preparing the sample copy, writes to it.
    RunRegistry registry("quillax-devhost", engineConfigDir, RunRegistry::EngineClass::AnyStore);
    if (sampleCopy && !PrepareSampleCopy(options.installDir)) return 1;
    if (!fs::exists(configDir / "bible.ini")) {
        std::fprintf(stderr, "quillax-devhost: no bible.ini in %s\n", configDir.string().c_str());
        return 1;
    }
    if (!registry.Written()) {
        std::fputs("quillax-devhost: cannot write the registry value\n", stderr);
        return 1;
    }

    // The engine's process-wide state, loaded as the library does when it is loaded.
    RenderState& state = GlobalRenderState();
    state.desktop = std::make_unique<BrowserDesktop>();
    state.colorChooser = std::make_unique<BrowserColorChooser>();
    LoadConfiguration(state);
    IndexParallelModules(state.installDir, state.parallelModules);
    EngineLoop loop;
    state.events.timers = &loop;
    GbString dirText = state.installDir;
    const std::u16string wideConfigDir = ToWide(dirText, ConversionOptions{});

    const StudyDays studyDays(state);

    // Sessions live on the engine thread; the server thread only posts to it.
    std::map<int, std::unique_ptr<PageSession>> sessions;
    // The wheel song plays in the tab whose wheel popup is being shown.
    SongStream song;
    if (!song.Available()) {
        std::fprintf(stderr, "quillax-devhost: the wheel song is not played: %s\n",
                     song.Problem().c_str());
    }
    song.Attach(state, [&]() -> std::shared_ptr<PageChannel> {
        for (const auto& [page, session] : sessions) {
            if (session->OwnsPopup(state.host.popupWindow)) return session->SharedChannel();
        }
        return nullptr;
    });
    PageHandlers handlers;
    handlers.opened = [&](int page, std::shared_ptr<PageChannel> channel) {
        loop.Post([&, page, channel] {
            sessions[page] = std::make_unique<PageSession>(state, channel, wideConfigDir, &studyDays);
        });
    };
    handlers.message = [&](int page, Json message) {
        loop.Post([&, page, message = std::move(message)] {
            const auto it = sessions.find(page);
            if (it != sessions.end()) it->second->Handle(message);
        });
    };
    handlers.closed = [&](int page) {
        loop.Post([&, page] {
            const auto it = sessions.find(page);
            if (it == sessions.end()) return;
            song.Forget(it->second->SharedChannel().get());
            sessions.erase(it);
        });
    };

    WebServer server(options.webDir, configDir, handlers);
    std::string error;
    if (!server.Listen(options.port, error)) {
        std::fprintf(stderr, "quillax-devhost: cannot listen on port %u: %s\n",
                     static_cast<unsigned>(options.port), error.c_str());
        return 1;
    }
    std::printf("quillax-devhost: http://127.0.0.1:%u/\n", static_cast<unsigned>(server.Port()));
    std::printf("  installation %s\n", configDir.string().c_str());
    std::fflush(stdout);

    // Ctrl-C and SIGTERM stop both threads.
    boost::asio::io_context signals;
    boost::asio::signal_set stopSignals(signals, SIGINT, SIGTERM);
    stopSignals.async_wait([&](const boost::system::error_code&, int) {
        loop.Stop();
        server.Stop();
    });
    std::thread signalThread([&] { signals.run(); });
    std::thread serverThread([&] { server.Run(); });
    loop.Run();
    song.Stop();
    state.host.playWheelSong = nullptr;
    state.events.stopWheelSong = nullptr;
    sessions.clear();
    state.events.timers = nullptr;
    state.host.pageWindow = nullptr;
    server.Stop();
    serverThread.join();
    signals.stop();
    signalThread.join();
    std::puts("quillax-devhost: stopped");
    return 0;
}

}  // namespace
}  // namespace quillax::devhost

int main(int argc, char** argv) { return quillax::devhost::Run(argc, argv); }
