// Fuzz target: SongPlayer::Load on arbitrary bytes, then the whole song converted and played
// through the software stream device on a virtual clock into a recorder, once straight through
// and once looping for a while (a song too short to loop plays once instead of spinning). Any
// crash, sanitizer report, hang of the device or broken invariant (messages out of time order,
// event data blocks miscounted, a failed Play after a good set-up) is a finding.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "engine/midi/song_player.h"
#include "platform/midi_device.h"

namespace {

using quillax::SongPlayer;
using quillax::platform::MidiRecorder;
using quillax::platform::VirtualMidiClock;

// Music played per input: an hour straight through, then a quarter of a second looping. The virtual
// clock jumps from event to event, so the cost is the number of events, not the time.
constexpr std::int64_t kStraightMicros = 3600LL * 1000000;
constexpr std::int64_t kLoopingMicros = 250000;
// Real time the device may take to settle before it counts as hung.
constexpr std::chrono::milliseconds kPatience{5000};

[[noreturn]] void Finding(const char* what) {
    std::fprintf(stderr, "midi_load_fuzz: %s\n", what);
    std::abort();
}

void CheckRecorded(const MidiRecorder& recorder) {
    std::int64_t last = 0;
    for (const MidiRecorder::Event& event : recorder.Events()) {
        if (event.due < last) Finding("messages recorded out of time order");
        if ((event.message & 0x80) == 0) Finding("a message without a status byte was sent");
        last = event.due;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto clock = std::make_shared<VirtualMidiClock>();
    auto recorder = std::make_shared<MidiRecorder>(clock);
    SongPlayer player(quillax::platform::SoftwareMidiStreamOpener(recorder, clock));
    if (!player.Load(data, size)) return 0;

    if (!player.Play(false)) Finding("Play failed after a good Load");
    if (!clock->RunFor(kStraightMicros, kPatience)) Finding("the device did not settle (straight)");
    CheckRecorded(*recorder);
    // Set up again from the start: false when the damage of a song now falls into the first
    // buffers (a tempo learnt in the first pass moves where buffers end); then it stays stopped.
    if (!player.Stop(true)) {
        if (!player.Stop(false)) Finding("Stop(false) failed after a failed set-up");
        return 0;
    }
    if (!clock->RunFor(0, kPatience)) Finding("the device did not settle after Stop");

    recorder->Clear();
    if (!player.Play(true)) Finding("Play(true) failed after a good Load");
    if (!clock->RunFor(kLoopingMicros, kPatience)) Finding("the device did not settle (looping)");
    CheckRecorded(*recorder);
    if (!player.Stop(false)) Finding("Stop(false) failed");
    // Only the event waiting for the next buffer may hold a data block.
    const int blocks = player.EventBlocksAllocated();
    if (blocks < 0 || blocks > 1) Finding("event data blocks miscounted");
    return 0;
}
