// The synthesizer sink on Linux: FluidSynth with a General MIDI SoundFont, on the sound card
// (FluidSynth's own audio driver) or rendered into a WAV file in step with the messages' due
// times.
#include <dlfcn.h>
#include <fluidsynth.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/environment.h"
#include "platform/midi_synth.h"
#include "platform/posix/posix_io.h"

namespace quillax::platform {
namespace {

// FluidSynth is loaded when the first synthesizer opens, not when the program starts: the
// library and the sound and display libraries it depends on (some sixty of them) would
// otherwise be loaded by every program of the engine, most of which never play a song.
#define QUILLAX_FLUID_FUNCTIONS(X)                                                          \
    X(fluid_set_log_function) X(new_fluid_settings) X(delete_fluid_settings)                 \
    X(fluid_settings_setnum) X(new_fluid_synth) X(delete_fluid_synth) X(fluid_synth_sfload) \
    X(new_fluid_audio_driver) X(delete_fluid_audio_driver) X(fluid_synth_noteoff)            \
    X(fluid_synth_noteon) X(fluid_synth_key_pressure) X(fluid_synth_cc)                      \
    X(fluid_synth_program_change) X(fluid_synth_channel_pressure) X(fluid_synth_pitch_bend) \
    X(fluid_synth_all_notes_off) X(fluid_synth_write_s16)

struct FluidLibrary {
#define QUILLAX_FLUID_POINTER(name) decltype(&::name) name = nullptr;
    QUILLAX_FLUID_FUNCTIONS(QUILLAX_FLUID_POINTER)
#undef QUILLAX_FLUID_POINTER
    bool loaded = false;
    std::string error;  // why the library is not there
};

FluidLibrary LoadFluidLibrary() {
    FluidLibrary library;
    void* handle = nullptr;
    for (const char* name : {"libfluidsynth.so.3", "libfluidsynth.so"}) {
        handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
        if (handle != nullptr) break;
    }
    if (handle == nullptr) {
        const char* reason = dlerror();
        library.error = std::string("FluidSynth cannot be loaded (install libfluidsynth3)") +
                        (reason != nullptr ? std::string(": ") + reason : std::string());
        return library;
    }
    // The library stays loaded for the life of the process: sinks and their threads use it.
#define QUILLAX_FLUID_RESOLVE(name)                                                     \
    library.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name));           \
    if (library.name == nullptr) {                                                     \
        library.error = "FluidSynth has no function " #name;                            \
        return library;                                                                \
    }
    QUILLAX_FLUID_FUNCTIONS(QUILLAX_FLUID_RESOLVE)
#undef QUILLAX_FLUID_RESOLVE
    library.loaded = true;
    return library;
}

const FluidLibrary& Fluid() {
    static const FluidLibrary library = LoadFluidLibrary();
    return library;
}

// FluidSynth reports through a log; its errors become the reason of a failed open, the rest is
// dropped so that nothing reaches the terminal.
std::mutex logMutex;
std::string lastSynthError;

void CaptureSynthError(int, const char* message, void*) {
    std::lock_guard<std::mutex> lock(logMutex);
    lastSynthError = message != nullptr ? message : "";
}

void SetUpSynthLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        Fluid().fluid_set_log_function(FLUID_PANIC, CaptureSynthError, nullptr);
        Fluid().fluid_set_log_function(FLUID_ERR, CaptureSynthError, nullptr);
        Fluid().fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
        Fluid().fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
        Fluid().fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
    });
}

std::string TakeSynthError(const std::string& fallback) {
    std::lock_guard<std::mutex> lock(logMutex);
    std::string message = lastSynthError.empty() ? fallback : fallback + ": " + lastSynthError;
    lastSynthError.clear();
    return message;
}

bool Readable(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

void PutLittle(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// The 44-byte header of a 16-bit stereo PCM file with `frames` frames.
std::vector<std::uint8_t> WavHeader(std::uint32_t sampleRate, std::uint32_t frames) {
    const std::uint32_t dataBytes = frames * 4;
    std::vector<std::uint8_t> h;
    for (char c : std::string("RIFF")) h.push_back(static_cast<std::uint8_t>(c));
    PutLittle(h, 36 + dataBytes, 4);
    for (char c : std::string("WAVEfmt ")) h.push_back(static_cast<std::uint8_t>(c));
    PutLittle(h, 16, 4);              // format chunk size
    PutLittle(h, 1, 2);               // PCM
    PutLittle(h, 2, 2);               // channels
    PutLittle(h, sampleRate, 4);
    PutLittle(h, sampleRate * 4, 4);  // bytes a second
    PutLittle(h, 4, 2);               // bytes a frame
    PutLittle(h, 16, 2);              // bits a sample
    for (char c : std::string("data")) h.push_back(static_cast<std::uint8_t>(c));
    PutLittle(h, dataBytes, 4);
    return h;
}

// Where the sound of a synthesizer goes.
enum class SynthOutput { SoundCard, WavFile, Owner };

class FluidSynthSink final : public PcmSynth {
public:
    ~FluidSynthSink() override {
        Finish();
        if (driver_ != nullptr) Fluid().delete_fluid_audio_driver(driver_);
        if (synth_ != nullptr) Fluid().delete_fluid_synth(synth_);
        if (settings_ != nullptr) Fluid().delete_fluid_settings(settings_);
    }

    bool Open(const SynthOptions& options, SynthOutput output, std::string* error) {
        if (!Fluid().loaded) {
            *error = Fluid().error;
            return false;
        }
        SetUpSynthLog();
        const std::string font =
            options.soundFont.empty() ? DefaultSoundFont() : posix::SystemPath(options.soundFont);
        if (font.empty() || !Readable(font)) {
            *error = "no SoundFont found (set QUILLAX_SOUNDFONT or install timgm6mb-soundfont)";
            return false;
        }
        sampleRate_ = options.sampleRate > 0 ? options.sampleRate : 44100;
        tailMicros_ = static_cast<std::int64_t>(options.tailMilliseconds > 0
                                                    ? options.tailMilliseconds : 0) * 1000;
        settings_ = Fluid().new_fluid_settings();
        if (settings_ == nullptr) {
            *error = "FluidSynth settings cannot be created";
            return false;
        }
        Fluid().fluid_settings_setnum(settings_, "synth.sample-rate", sampleRate_);
        // FluidSynth's default gain (0.2) leaves a General MIDI song far below full scale.
        Fluid().fluid_settings_setnum(settings_, "synth.gain", 0.5);
        synth_ = Fluid().new_fluid_synth(settings_);
        if (synth_ == nullptr) {
            *error = TakeSynthError("the FluidSynth synthesizer cannot be created");
            return false;
        }
        if (Fluid().fluid_synth_sfload(synth_, font.c_str(), 1) == FLUID_FAILED) {
            *error = TakeSynthError("the SoundFont " + font + " cannot be loaded");
            return false;
        }
        if (output == SynthOutput::Owner) {
            toOwner_ = true;
            return true;
        }
        if (output == SynthOutput::SoundCard) {
            driver_ = Fluid().new_fluid_audio_driver(settings_, synth_);
            if (driver_ == nullptr) {
                *error = TakeSynthError("no sound output");
                return false;
            }
            return true;
        }
        file_ = std::fopen(posix::SystemPath(options.wavPath).c_str(), "wb");
        if (file_ == nullptr) {
            *error = "cannot write " + options.wavPath;
            return false;
        }
        const std::vector<std::uint8_t> header =
            WavHeader(static_cast<std::uint32_t>(sampleRate_), 0);
        writeFailed_ = std::fwrite(header.data(), 1, header.size(), file_) != header.size();
        return true;
    }

    void Send(std::int64_t time, std::uint32_t message) override {
        std::lock_guard<std::mutex> lock(mutex_);
        RenderUntil(time);
        const int channel = static_cast<int>(message & 0x0F);
        const int data1 = static_cast<int>((message >> 8) & 0x7F);
        const int data2 = static_cast<int>((message >> 16) & 0x7F);
        switch (message & 0xF0) {
        case 0x80: Fluid().fluid_synth_noteoff(synth_, channel, data1); break;
        case 0x90:
            if (data2 == 0) {
                Fluid().fluid_synth_noteoff(synth_, channel, data1);
            } else {
                Fluid().fluid_synth_noteon(synth_, channel, data1, data2);
            }
            break;
        case 0xA0: Fluid().fluid_synth_key_pressure(synth_, channel, data1, data2); break;
        case 0xB0: Fluid().fluid_synth_cc(synth_, channel, data1, data2); break;
        case 0xC0: Fluid().fluid_synth_program_change(synth_, channel, data1); break;
        case 0xD0: Fluid().fluid_synth_channel_pressure(synth_, channel, data1); break;
        case 0xE0: Fluid().fluid_synth_pitch_bend(synth_, channel, data1 | data2 << 7); break;
        default: break;  // not a channel message
        }
    }

    void Silence(std::int64_t time) override {
        std::lock_guard<std::mutex> lock(mutex_);
        RenderUntil(time);
        Fluid().fluid_synth_all_notes_off(synth_, -1);
    }

    void Restart(std::int64_t time) override {
        std::lock_guard<std::mutex> lock(mutex_);
        frames_ = FrameAt(time);
        runStart_ = frames_;
        held_.clear();
    }

    std::int64_t Take(std::int64_t time, std::vector<std::int16_t>& frames) override {
        std::lock_guard<std::mutex> lock(mutex_);
        RenderUntil(time);
        const std::int64_t first = frames_ - runStart_ - static_cast<std::int64_t>(held_.size() / 2);
        frames.insert(frames.end(), held_.begin(), held_.end());
        held_.clear();
        return first;
    }

    int SampleRate() const override { return sampleRate_; }

    bool Finish() override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (file_ == nullptr) return !writeFailed_;
        RenderUntil(lastTime_ + tailMicros_);
        const std::vector<std::uint8_t> header =
            WavHeader(static_cast<std::uint32_t>(sampleRate_), static_cast<std::uint32_t>(frames_));
        if (std::fseek(file_, 0, SEEK_SET) != 0 ||
            std::fwrite(header.data(), 1, header.size(), file_) != header.size()) {
            writeFailed_ = true;
        }
        if (std::fclose(file_) != 0) writeFailed_ = true;
        file_ = nullptr;
        return !writeFailed_;
    }

private:
    std::int64_t FrameAt(std::int64_t time) const { return time * sampleRate_ / 1000000; }

    // A WAV sink, and one whose owner takes the sound, render it up to the sample of `time`
    // before a message takes effect.
    void RenderUntil(std::int64_t time) {
        if (time > lastTime_) lastTime_ = time;
        if (file_ == nullptr && !toOwner_) return;
        const std::int64_t target = FrameAt(time);
        if (toOwner_ && target - frames_ > static_cast<std::int64_t>(kPcmMaxHeldFrames)) {
            // Nobody took the sound for long (or no restart came first): only the frames that
            // could still be held are made.
            held_.clear();
            frames_ = target - static_cast<std::int64_t>(kPcmMaxHeldFrames);
        }
        constexpr int kChunk = 512;
        std::int16_t samples[kChunk * 2];
        while (frames_ < target) {
            const int count = static_cast<int>(std::min<std::int64_t>(kChunk, target - frames_));
            Fluid().fluid_synth_write_s16(synth_, count, samples, 0, 2, samples, 1, 2);
            if (toOwner_) {
                Hold(samples, count);
            } else {
                const std::size_t bytes = static_cast<std::size_t>(count) * 4;
                // The file is little-endian, as is every machine this runs on.
                if (std::fwrite(samples, 1, bytes, file_) != bytes) writeFailed_ = true;
            }
            frames_ += count;
        }
    }

    // Keeps rendered frames for the owner, the newest kPcmMaxHeldFrames of them.
    void Hold(const std::int16_t* samples, int count) {
        held_.insert(held_.end(), samples, samples + static_cast<std::ptrdiff_t>(count) * 2);
        if (held_.size() > kPcmMaxHeldFrames * 2) {
            held_.erase(held_.begin(), held_.end() - static_cast<std::ptrdiff_t>(kPcmMaxHeldFrames * 2));
        }
    }

    std::mutex mutex_;
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    fluid_audio_driver_t* driver_ = nullptr;
    std::FILE* file_ = nullptr;
    bool writeFailed_ = false;
    int sampleRate_ = 44100;
    std::int64_t tailMicros_ = 0;
    std::int64_t frames_ = 0;    // frames rendered (from time 0 of the clock, or a restart)
    std::int64_t lastTime_ = 0;  // latest due time seen
    bool toOwner_ = false;       // the owner takes the sound
    std::int64_t runStart_ = 0;  // frames_ at the last restart
    std::vector<std::int16_t> held_;  // rendered, not yet taken
};

std::shared_ptr<FluidSynthSink> OpenFluidSynth(const SynthOptions& options, SynthOutput output,
                                               std::string* error) {
    std::string reason;
    auto sink = std::make_shared<FluidSynthSink>();
    if (!sink->Open(options, output, &reason)) {
        if (error != nullptr) *error = reason;
        return nullptr;
    }
    return sink;
}

}  // namespace

std::string DefaultSoundFont() {
    if (const auto chosen = GetEnvironmentValue("QUILLAX_SOUNDFONT")) {
        if (Readable(*chosen)) return *chosen;
    }
    for (const char* candidate : {"/usr/share/sounds/sf2/default-GM.sf2",
                                  "/usr/share/sounds/sf2/TimGM6mb.sf2",
                                  "/usr/share/sounds/sf2/FluidR3_GM.sf2"}) {
        if (Readable(candidate)) return candidate;
    }
    return {};
}

std::shared_ptr<MidiSink> OpenSynthSink(const SynthOptions& options, std::string* error) {
    return OpenFluidSynth(options,
                          options.wavPath.empty() ? SynthOutput::SoundCard : SynthOutput::WavFile,
                          error);
}

std::shared_ptr<PcmSynth> OpenPcmSynth(const SynthOptions& options, std::string* error) {
    return OpenFluidSynth(options, SynthOutput::Owner, error);
}

}  // namespace quillax::platform
