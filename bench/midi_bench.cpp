// How late the song player's messages reach the device on the machine's real clock.
//
// BM_SongLateness plays a song of two seconds (a message every 10 to 40 ms, a tempo change in
// the middle) through the software stream device into a recorder and measures, for every
// message, the time between when the device scheduled it and when it arrived. Counters, in
// microseconds: median_us and p75_us (upper quartile) of the lateness, max_us its largest value.
// The target is an upper quartile under 1 ms. The lateness depends on how busy the machine is,
// which is why it is measured here and not asserted in the unit tests.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/midi/song_player.h"
#include "platform/midi_device.h"
#include "support/midi_song.h"

namespace {

namespace platform = quillax::platform;
using namespace quillax::testing;

// A format 0 file: 480 ticks a quarter note at 120 and later 150 beats a minute, notes on and
// off on two channels with irregular gaps.
Bytes TwoSecondSong(std::size_t* messages) {
    std::vector<TimedEvent> events = {{0, TempoMeta(500000)}};
    const std::uint32_t gaps[] = {10, 23, 38, 17, 31, 12, 26};  // ticks; 1 tick ~ 1 ms
    std::uint32_t tick = 0;
    for (int i = 0; tick < 1900; ++i) {
        if (i == 40) events.push_back({tick, TempoMeta(400000)});
        tick += gaps[i % 7];
        events.push_back({tick, NoteOn(i % 2, 48 + i % 24, i % 3 == 0 ? 0 : 80)});
    }
    *messages = events.size() - 2;  // the two tempo changes are not sent
    return Cat({Header(0, 1, 480), TrackChunk(TrackBody(std::move(events)))});
}

double Quantile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

void BM_SongLateness(benchmark::State& state) {
    std::size_t expected = 0;
    const Bytes file = TwoSecondSong(&expected);
    const auto clock = platform::NewSteadyMidiClock();
    std::vector<double> lateness;
    for (auto _ : state) {
        auto recorder = std::make_shared<platform::MidiRecorder>(clock);
        quillax::SongPlayer player(platform::SoftwareMidiStreamOpener(recorder, clock));
        if (!player.Load(file.data(), file.size()) || !player.Play(false)) {
            state.SkipWithError("the song did not start");
            return;
        }
        if (!recorder->WaitForCount(expected, std::chrono::seconds(20))) {
            state.SkipWithError("the song did not play to its end");
            return;
        }
        player.Stop(false);
        for (const auto& event : recorder->Events()) {
            lateness.push_back(static_cast<double>(event.arrived - event.due));
        }
    }
    state.counters["median_us"] = Quantile(lateness, 0.5);
    state.counters["p75_us"] = Quantile(lateness, 0.75);
    state.counters["max_us"] = Quantile(lateness, 1.0);
}
BENCHMARK(BM_SongLateness)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
