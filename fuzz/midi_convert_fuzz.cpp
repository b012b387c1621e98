// Fuzz target, the fast companion of midi_load_fuzz: the same Load and conversion passes, but
// through a stream without time or threads (the unit tests' FakeStream), where the target hands
// every queued buffer back itself. It reaches the parser and the converter thousands of times
// faster; midi_load_fuzz covers the device and the hand-over between threads.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "engine/midi/song_player.h"
#include "support/midi_song.h"

namespace {

using quillax::SongPlayer;
using quillax::testing::FakeStreamLog;

// Buffers handed back per pass: a straight pass ends on its own long before (a 4 KiB file holds
// far fewer events than this many buffers carry); a looping one is cut here.
constexpr int kBufferBound = 20000;
constexpr int kLoopingBuffers = 16;

[[noreturn]] void Finding(const char* what) {
    std::fprintf(stderr, "midi_convert_fuzz: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto log = std::make_shared<FakeStreamLog>();
    SongPlayer player(quillax::testing::FakeOpener(log));
    if (!player.Load(data, size)) return 0;

    if (!player.Play(false)) Finding("Play failed after a good Load");
    int returned = 0;
    while (log->CompleteOne()) {
        if (++returned > kBufferBound) Finding("a straight pass does not end");
    }
    for (const auto& buffer : log->queued) {
        if (buffer.size() * quillax::platform::kMidiShortEventSize > SongPlayer::kBufferSize) {
            Finding("a buffer holds more than its block");
        }
    }
    // Set up again from the start: false when the damage of a song now falls into the first
    // buffers (a tempo learnt in the first pass moves where buffers end); then it stays stopped.
    if (!player.Stop(true)) {
        if (!player.Stop(false)) Finding("Stop(false) failed after a failed set-up");
        return 0;
    }

    if (!player.Play(true)) Finding("Play(true) failed after a good Load");
    for (int i = 0; i < kLoopingBuffers && log->CompleteOne(); ++i) {
    }
    if (!player.Stop(false)) Finding("Stop(false) failed");
    const int blocks = player.EventBlocksAllocated();
    if (blocks < 0 || blocks > 1) Finding("event data blocks miscounted");
    return 0;
}
