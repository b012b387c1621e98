// The "play" subcommand rendering through FluidSynth into a WAV file: the sample song gives
// sound of the song's length; a song without notes gives silence. The synthesizer whose owner
// takes the sound (as the development host streams the wheel song): the frames follow the
// clock, the song sounds while it plays and falls silent when it stops.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "devhost/play_command.h"
#include "engine/popup/wheel_song.h"
#include "platform/files.h"
#include "platform/midi_device.h"
#include "platform/midi_synth.h"
#include "platform/temp_dir.h"
#include "support/midi_song.h"

namespace quillax {
namespace {

using namespace quillax::testing;

int RunPlay(std::vector<std::string> args) {
    args.insert(args.begin(), "play");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    return RunPlayCommand(static_cast<int>(argv.size()), argv.data());
}

struct Wav {
    std::uint32_t sampleRate = 0;
    int channels = 0;
    int bits = 0;
    std::vector<std::int16_t> samples;

    double Seconds() const {
        return static_cast<double>(samples.size()) / channels / sampleRate;
    }
    // Root mean square and peak of the samples in [from, to) seconds.
    std::pair<double, int> Level(double from, double to) const {
        const auto first =
            static_cast<std::size_t>(from * sampleRate) * static_cast<std::size_t>(channels);
        const auto last = std::min(samples.size(), static_cast<std::size_t>(to * sampleRate) *
                                                       static_cast<std::size_t>(channels));
        double sum = 0;
        int peak = 0;
        for (std::size_t i = first; i < last; ++i) {
            sum += static_cast<double>(samples[i]) * samples[i];
            peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
        }
        return {last > first ? std::sqrt(sum / static_cast<double>(last - first)) : 0.0, peak};
    }
};

std::uint32_t Little(const std::string& bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8 | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

// Reads a 44-byte-header PCM file as the synthesizer sink writes it.
bool ReadWav(const std::string& path, Wav& wav) {
    const std::optional<std::string> bytes = platform::ReadWholeFile(path);
    if (!bytes || bytes->size() < 44 || bytes->compare(0, 4, "RIFF") != 0 ||
        bytes->compare(8, 8, "WAVEfmt ") != 0 || bytes->compare(36, 4, "data") != 0) {
        return false;
    }
    if (Little(*bytes, 4, 4) != bytes->size() - 8 || Little(*bytes, 40, 4) != bytes->size() - 44) {
        return false;
    }
    wav.channels = static_cast<int>(Little(*bytes, 22, 2));
    wav.sampleRate = Little(*bytes, 24, 4);
    wav.bits = static_cast<int>(Little(*bytes, 34, 2));
    for (std::size_t at = 44; at + 1 < bytes->size(); at += 2) {
        wav.samples.push_back(static_cast<std::int16_t>(Little(*bytes, at, 2)));
    }
    return true;
}

TEST(PlayCommand, RejectsBadUsage) {
    EXPECT_EQ(RunPlay({}), 2);
    EXPECT_EQ(RunPlay({"--loop"}), 2);
    EXPECT_EQ(RunPlay({"a.mid", "b.mid"}), 2);
    EXPECT_EQ(RunPlay({"a.mid", "--seconds", "x"}), 2);
    EXPECT_EQ(RunPlay({"a.mid", "--wav"}), 2);
    EXPECT_EQ(RunPlay({"sample/cfg/0102.mid", "--loop", "--wav", "out.wav"}), 2)
        << "a looping song rendered to a file needs --seconds";
    EXPECT_EQ(RunPlay({"no/such/song.mid", "--wav", "out.wav"}), 1);
}

TEST(PlayCommand, RendersTheSampleSongIntoAWavFile) {
    if (platform::DefaultSoundFont().empty()) {
        GTEST_SKIP() << "no General MIDI SoundFont installed (timgm6mb-soundfont)";
    }
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const std::string out = dir / "wheel.wav";
    ASSERT_EQ(RunPlay({"sample/cfg/0102.mid", "--wav", out}), 0);
    Wav wav;
    ASSERT_TRUE(ReadWav(out, wav));
    EXPECT_EQ(wav.sampleRate, 44100u);
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.bits, 16);
    // Six bars of 3/4 at 100 a minute and two at 84, then a second of release.
    const double song = 6 * 3 * 0.6 + 2 * 3 * 0.714286;
    EXPECT_NEAR(wav.Seconds(), song + 1.0, 0.05);
    // Sound from the first beat to the last bar, not just somewhere.
    for (double at = 0; at < song - 0.5; at += 1.0) {
        const auto [rms, peak] = wav.Level(at, at + 1.0);
        EXPECT_GT(rms, 100.0) << "second " << at;
        EXPECT_GT(peak, 500) << "second " << at;
    }

    // Looping for a given time: several rounds of the song, then the release.
    const std::string looped = dir / "looped.wav";
    ASSERT_EQ(RunPlay({"sample/cfg/0102.mid", "--loop", "--seconds", "40", "--wav", looped}), 0);
    Wav loop;
    ASSERT_TRUE(ReadWav(looped, loop));
    EXPECT_NEAR(loop.Seconds(), 41.0, 0.05);
    EXPECT_GT(loop.Level(song + 0.2, 2 * song - 0.5).first, 100.0) << "the second round sounds";
    EXPECT_GT(loop.Level(2 * song + 0.2, 39.0).first, 100.0) << "the third round sounds";

    // The same synthesizer gives silence for a song without notes.
    const Bytes silent =
        Cat({Header(0, 1, 480),
             TrackChunk(TrackBody({{0, TempoMeta(500000)}, {0, {0xC0, 0x10}}}, 960))});
    const std::string midi = dir / "silent.mid";
    ASSERT_TRUE(platform::WriteWholeFile(midi, std::string(silent.begin(), silent.end())));
    const std::string quiet = dir / "silent.wav";
    ASSERT_EQ(RunPlay({midi, "--wav", quiet}), 0);
    Wav nothing;
    ASSERT_TRUE(ReadWav(quiet, nothing));
    EXPECT_GT(nothing.Seconds(), 0.9);
    // (The synthesizer dithers its output by one step.)
    EXPECT_LE(nothing.Level(0, nothing.Seconds()).second, 2);
}

// Root mean square and peak of interleaved stereo frames [from, to).
std::pair<double, int> Level(const std::vector<std::int16_t>& frames, std::size_t from,
                             std::size_t to) {
    Wav wav;
    wav.sampleRate = 1;
    wav.channels = 2;
    wav.samples.assign(frames.begin() + static_cast<std::ptrdiff_t>(std::min(from, frames.size() / 2) * 2),
                       frames.begin() + static_cast<std::ptrdiff_t>(std::min(to, frames.size() / 2) * 2));
    return wav.Level(0, static_cast<double>(wav.samples.size()));
}

TEST(PcmSynth, TheOwnerTakesTheWheelSongAsTheClockRuns) {
    if (platform::DefaultSoundFont().empty()) {
        GTEST_SKIP() << "no General MIDI SoundFont installed (timgm6mb-soundfont)";
    }
    std::string error;
    platform::SynthOptions options;
    options.sampleRate = 22050;
    const std::shared_ptr<platform::PcmSynth> synth = platform::OpenPcmSynth(options, &error);
    ASSERT_NE(synth, nullptr) << error;
    EXPECT_EQ(synth->SampleRate(), 22050);
    constexpr std::int64_t kSecond = 1000000;
    auto clock = std::make_shared<platform::VirtualMidiClock>();

    // Nothing plays yet: the run starts at 5 s and one silent second is taken as frames 0...
    ASSERT_TRUE(clock->RunUntil(5 * kSecond));
    synth->Restart(5 * kSecond);
    std::vector<std::int16_t> frames;
    EXPECT_EQ(synth->Take(6 * kSecond, frames), 0);
    EXPECT_EQ(frames.size(), 22050u * 2);
    EXPECT_LE(Level(frames, 0, 22050).second, 2);

    // ... then the wheel song plays, looping, for three seconds and is stopped.
    WheelSong song(platform::SoftwareMidiStreamOpener(synth, clock));
    song.Play(GbString("sample\\cfg\\"));
    ASSERT_TRUE(song.Loaded());
    ASSERT_TRUE(clock->RunUntil(9 * kSecond));
    frames.clear();
    EXPECT_EQ(synth->Take(9 * kSecond, frames), 22050);
    ASSERT_EQ(frames.size(), 3u * 22050 * 2);
    int playingPeak = 0;
    for (int second = 0; second < 3; ++second) {
        const auto [rms, peak] = Level(frames, second * 22050u, (second + 1) * 22050u);
        EXPECT_GT(rms, 100.0) << "second " << second;
        EXPECT_GT(peak, 500) << "second " << second;
        playingPeak = std::max(playingPeak, peak);
    }
    song.Stop();
    ASSERT_TRUE(clock->RunUntil(12 * kSecond));
    frames.clear();
    EXPECT_EQ(synth->Take(12 * kSecond, frames), 4 * 22050);
    // The notes are released: three seconds on, what is left of their decay is faint.
    EXPECT_LT(Level(frames, 2 * 22050 + 11025, 3 * 22050).second * 20, playingPeak);

    // A restart after a pause drops what was held and numbers from 0 again; what nobody takes
    // is bounded.
    synth->Restart(20 * kSecond);
    frames.clear();
    EXPECT_EQ(synth->Take(20 * kSecond + kSecond / 10, frames), 0);
    EXPECT_EQ(frames.size(), 2205u * 2);
    frames.clear();
    const std::int64_t first = synth->Take(60 * kSecond, frames);
    EXPECT_EQ(frames.size(), platform::kPcmMaxHeldFrames * 2);
    EXPECT_EQ(first, 40 * 22050 - static_cast<std::int64_t>(platform::kPcmMaxHeldFrames));
}

}  // namespace
}  // namespace quillax
