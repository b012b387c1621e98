// The winmm stream on the MIDI mapper: a buffer queued and played comes back through the
// callback, Stop hands back what is queued, and the stream closes cleanly. Machines without a
// MIDI output (Wine without a sound driver, a server) skip with a message.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/midi/song_player.h"
#include "platform/files.h"
#include "platform/midi_stream.h"

namespace quillax {
namespace {

struct Returns {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<platform::MidiStreamHeader*> done;

    static void Callback(void* instance, platform::MidiStreamMessage message,
                         platform::MidiStreamHeader* header) {
        if (message != platform::MidiStreamMessage::Done) return;
        auto* self = static_cast<Returns*>(instance);
        {
            std::lock_guard<std::mutex> lock(self->mutex);
            self->done.push_back(header);
        }
        self->changed.notify_all();
    }
    bool WaitFor(std::size_t count) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(5),
                                [&] { return done.size() >= count; });
    }
};

void Put(std::vector<std::uint8_t>& bytes, std::uint32_t delta, std::uint32_t word) {
    for (std::uint32_t value : {delta, 0u, word}) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

TEST(WinmmMidiStream, QueuesPlaysAndHandsBackBuffers) {
    Returns returns;
    platform::MidiResult result = platform::kMidiError;
    auto stream =
        platform::OpenMidiStream(platform::kMidiMapper, &Returns::Callback, &returns, &result);
    if (!stream) GTEST_SKIP() << "no MIDI output on the MIDI mapper (winmm error " << result << ")";

    ASSERT_EQ(stream->SetTimeDivision(480), platform::kMidiOk);
    ASSERT_EQ(stream->SetTempo(500000), platform::kMidiOk);
    std::vector<std::uint8_t> short_notes;
    Put(short_notes, 0, 0x403C90);
    Put(short_notes, 24, 0x003C90);  // 25 ms later
    platform::MidiStreamHeader played;
    played.data = short_notes.data();
    played.bufferLength = static_cast<std::uint32_t>(short_notes.size());
    played.bytesRecorded = played.bufferLength;
    EXPECT_EQ(stream->Queue(played), platform::kMidiUnprepared);
    ASSERT_EQ(stream->Prepare(played), platform::kMidiOk);
    ASSERT_EQ(stream->Queue(played), platform::kMidiOk);
    ASSERT_EQ(stream->Restart(), platform::kMidiOk);
    ASSERT_TRUE(returns.WaitFor(1)) << "the played buffer comes back";
    EXPECT_EQ(returns.done[0], &played);

    // A buffer ten seconds long comes back at once on Stop.
    std::vector<std::uint8_t> long_notes;
    Put(long_notes, 0, 0x403E90);
    Put(long_notes, 9600, 0x003E90);
    platform::MidiStreamHeader waiting;
    waiting.data = long_notes.data();
    waiting.bufferLength = static_cast<std::uint32_t>(long_notes.size());
    waiting.bytesRecorded = waiting.bufferLength;
    ASSERT_EQ(stream->Prepare(waiting), platform::kMidiOk);
    ASSERT_EQ(stream->Queue(waiting), platform::kMidiOk);
    ASSERT_EQ(stream->Stop(), platform::kMidiOk);
    ASSERT_TRUE(returns.WaitFor(2)) << "Stop hands the queued buffer back";
    EXPECT_EQ(stream->Unprepare(played), platform::kMidiOk);
    EXPECT_EQ(stream->Unprepare(waiting), platform::kMidiOk);
    EXPECT_EQ(stream->Close(), platform::kMidiOk);
}

TEST(WinmmMidiStream, PlaysTheSampleSongThroughThePlayer) {
    const std::optional<std::string> song = platform::ReadWholeFile("sample\\cfg\\0102.mid");
    ASSERT_TRUE(song.has_value());
    {
        platform::MidiResult result = platform::kMidiError;
        Returns probe;
        if (!platform::OpenMidiStream(platform::kMidiMapper, &Returns::Callback, &probe, &result)) {
            GTEST_SKIP() << "no MIDI output on the MIDI mapper (winmm error " << result << ")";
        }
    }
    SongPlayer player;
    std::vector<std::string> errors;
    player.SetErrorHook([&](const char* operation, platform::MidiResult code) {
        errors.push_back(std::string(operation) + " " + std::to_string(code));
    });
    ASSERT_TRUE(player.Load(reinterpret_cast<const std::uint8_t*>(song->data()), song->size()));
    ASSERT_TRUE(player.Play(true));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(player.IsPlaying());
    ASSERT_TRUE(player.Stop(true));
    ASSERT_TRUE(player.Rewind());
    ASSERT_TRUE(player.Play(true));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(player.Stop(false));
    EXPECT_TRUE(errors.empty()) << errors.front();
}

}  // namespace
}  // namespace quillax
