// The "play" subcommand: reads the file, loads it into a SongPlayer and plays it on the
// system's output or renders it into a WAV file.
#include "devhost/play_command.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "engine/midi/song_player.h"
#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/midi_device.h"
#include "platform/midi_synth.h"

namespace quillax {
namespace {

constexpr const char* kPlayUsage =
    "usage: quillax-cli play FILE.mid [--loop] [--seconds N] [--wav OUT.wav] "
    "[--soundfont FILE.sf2]\n";

// A rendering ends when this much music passes without a message (a song whose data is
// corrupt stops converting but counts as playing until it is stopped).
constexpr std::int64_t kSilenceLimit = 10'000'000;
// A song played without --seconds ends after an hour at the latest.
constexpr std::int64_t kLengthLimit = 3'600'000'000;

struct PlayOptions {
    std::string file;
    std::string wav;
    std::string soundFont;
    bool loop = false;
    double seconds = 0;  // 0: until the song ends
};

// A path argument as the program's text: UTF-8 that GBK can hold becomes GBK, anything else is
// taken as GBK bytes already.
std::string PathArgument(std::string_view arg) {
    const std::string gbk = platform::Utf8ToGbk(arg);
    return platform::GbkToUtf8(gbk) == arg ? gbk : std::string(arg);
}

bool ParseOptions(int argc, char** argv, PlayOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--loop") {
            options.loop = true;
        } else if ((arg == "--wav" || arg == "--soundfont" || arg == "--seconds") && i + 1 < argc) {
            const std::string value = argv[++i];
            if (arg == "--wav") {
                options.wav = PathArgument(value);
            } else if (arg == "--soundfont") {
                options.soundFont = PathArgument(value);
            } else {
                char* end = nullptr;
                options.seconds = std::strtod(value.c_str(), &end);
                if (end == value.c_str() || *end != '\0' || !(options.seconds > 0)) return false;
            }
        } else if (!arg.empty() && arg[0] != '-' && options.file.empty()) {
            options.file = PathArgument(arg);
        } else {
            return false;
        }
    }
    return !options.file.empty();
}

// Passes messages on to the synthesizer and notes when the last one came.
class ActivitySink final : public platform::MidiSink {
public:
    explicit ActivitySink(std::shared_ptr<platform::MidiSink> target)
        : target_(std::move(target)) {}
    void Send(std::int64_t time, std::uint32_t message) override {
        lastMessage_ = time;
        target_->Send(time, message);
    }
    void Silence(std::int64_t time) override { target_->Silence(time); }
    bool Finish() override { return target_->Finish(); }
    std::int64_t LastMessage() const { return lastMessage_; }

private:
    std::shared_ptr<platform::MidiSink> target_;
    std::atomic<std::int64_t> lastMessage_{0};
};

void ReportPlatformError(const char* operation, platform::MidiResult code) {
    std::fprintf(stderr, "quillax-cli: MIDI %s failed (error %lu)\n", operation,
                 static_cast<unsigned long>(code));
}

int RenderToFile(const PlayOptions& options, const std::string& song) {
    platform::SynthOptions synthOptions;
    synthOptions.soundFont = options.soundFont;
    synthOptions.wavPath = options.wav;
    std::string error;
    std::shared_ptr<platform::MidiSink> synth = platform::OpenSynthSink(synthOptions, &error);
    if (!synth) {
        std::fprintf(stderr, "quillax-cli: %s\n", error.c_str());
        return 1;
    }
    auto activity = std::make_shared<ActivitySink>(synth);
    auto clock = std::make_shared<platform::VirtualMidiClock>();
    bool played = false;
    std::int64_t length = 0;
    {
        SongPlayer player(platform::SoftwareMidiStreamOpener(activity, clock));
        player.SetErrorHook(ReportPlatformError);
        if (!player.Load(reinterpret_cast<const std::uint8_t*>(song.data()), song.size())) {
            std::fputs("quillax-cli: not a MIDI file that can be played\n", stderr);
            return 1;
        }
        played = player.Play(options.loop);
        const std::int64_t limit = options.seconds > 0
                                       ? static_cast<std::int64_t>(options.seconds * 1e6)
                                       : kLengthLimit;
        constexpr std::int64_t kStep = 100'000;
        while (played && player.IsPlaying() && clock->Now() < limit &&
               clock->Now() - activity->LastMessage() < kSilenceLimit) {
            if (!clock->RunUntil(std::min(clock->Now() + kStep, limit))) {
                std::fputs("quillax-cli: the stream device does not settle\n", stderr);
                played = false;
            }
        }
        length = clock->Now();
        player.Stop(false);
    }
    if (!activity->Finish()) {
        std::fputs("quillax-cli: the WAV file could not be written completely\n", stderr);
        return 1;
    }
    if (!played) return 1;
    std::printf("wrote %s: %.1f s of music\n", platform::GbkToUtf8(options.wav).c_str(),
                static_cast<double>(length) / 1e6);
    return 0;
}

int PlayLive(const PlayOptions& options, const std::string& song) {
    // The system's synthesizer (on Linux) takes its SoundFont from the environment.
    if (!options.soundFont.empty()) {
        platform::SetEnvironmentValue("QUILLAX_SOUNDFONT", platform::GbkToUtf8(options.soundFont));
    }
    SongPlayer player;
    player.SetErrorHook(ReportPlatformError);
    if (!player.Load(reinterpret_cast<const std::uint8_t*>(song.data()), song.size())) {
        std::fputs("quillax-cli: the song cannot be played (not a MIDI file, or no MIDI output)\n",
                   stderr);
        return 1;
    }
    if (!player.Play(options.loop)) return 1;
    const auto start = std::chrono::steady_clock::now();
    const auto limit = std::chrono::duration<double>(options.seconds);
    while (player.IsPlaying() &&
           (options.seconds <= 0 || std::chrono::steady_clock::now() - start < limit)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    player.Stop(false);
    return 0;
}

}  // namespace

int RunPlayCommand(int argc, char** argv) {
    PlayOptions options;
    if (!ParseOptions(argc, argv, options)) {
        std::fputs(kPlayUsage, stderr);
        return 2;
    }
    if (!options.wav.empty() && options.loop && options.seconds <= 0) {
        std::fputs("quillax-cli: a looping song rendered to a file needs --seconds\n", stderr);
        return 2;
    }
    const std::optional<std::string> song = platform::ReadWholeFile(options.file);
    if (!song) {
        std::fprintf(stderr, "quillax-cli: cannot read %s\n",
                     platform::GbkToUtf8(options.file).c_str());
        return 1;
    }
    return options.wav.empty() ? PlayLive(options, *song) : RenderToFile(options, *song);
}

}  // namespace quillax
