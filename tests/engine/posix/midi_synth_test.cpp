// The "play" subcommand rendering through FluidSynth into a WAV file: the sample song gives
// sound of the song's length; a song without notes gives silence.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/midi/play_command.h"
#include "engine/midi_song.h"
#include "platform/files.h"
#include "platform/midi_synth.h"
#include "platform/temp_dir.h"

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

}  // namespace
}  // namespace quillax
