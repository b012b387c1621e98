// The wheel song, played in the browser.
//
// The engine's song player plays the installation's "0102.mid" through the software stream
// device into a synthesizer whose sound this object takes as it is made: a thread of its own
// takes the frames every kSongChunkMs and sends them, as binary WebSocket messages, to the page
// whose wheel popup started the song. The page hears the song as the player plays it: looping
// while the popup is shown, stopping when the engine stops it (a hide with stopSongOnHide).
//
// Messages to the page, in order with everything else it is sent:
//   {"op": "songStart", "song": n, "rate": sampleRate}   before the first sound of song n;
//   binary: song n (uint32), number of its first frame (uint32), then 16-bit stereo frames,
//           all little-endian;
//   {"op": "songStop", "song": n}                         when song n stops (no sound follows).
//
// Play, Stop and Forget run on the engine thread; sending happens on the stream's thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "devhost/server/page_channel.h"
#include "engine/popup/wheel_song.h"
#include "engine/state/render_state.h"
#include "platform/midi_device.h"
#include "platform/midi_synth.h"

namespace quillax::devhost {

// The sample rate of the sound sent to the browser (which resamples it to its own).
constexpr int kSongSampleRate = 22050;
// How often the sound made so far is sent.
constexpr int kSongChunkMs = 40;

class SongStream {
public:
    // The page to send the song of a wheel popup to: the page whose popup is being filled.
    using PageOfPopup = std::function<std::shared_ptr<PageChannel>()>;

    // Makes the synthesizer; without one (no FluidSynth, no SoundFont) nothing ever plays and
    // Problem() says why.
    SongStream();
    ~SongStream();
    SongStream(const SongStream&) = delete;
    SongStream& operator=(const SongStream&) = delete;

    bool Available() const { return synth_ != nullptr; }
    const std::string& Problem() const { return problem_; }

    // Lets the wheel popups of state play the song through this stream and the engine's stop
    // end it. This object must outlive state's use of it.
    void Attach(RenderState& state, PageOfPopup pageOfPopup);

    // Plays the song from its start, looping, for `page` (a song playing for another page stops
    // there first).
    void Play(const GbString& installDir, std::shared_ptr<PageChannel> page);
    // Stops the song; the page it played for is told.
    void Stop();
    // The page has gone: a song playing for it stops.
    void Forget(const PageChannel* page);

    // For tests: the page the song plays for now (null when none).
    std::shared_ptr<PageChannel> Listener() const;

private:
    void Run();
    void SendStopLocked();

    std::shared_ptr<platform::MidiClock> clock_;
    std::shared_ptr<platform::PcmSynth> synth_;
    std::string problem_;
    std::unique_ptr<WheelSong> song_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::shared_ptr<PageChannel> listener_;  // the page the song plays for; null: silent
    std::uint32_t songNumber_ = 0;
    bool quit_ = false;
    std::thread worker_;
};

}  // namespace quillax::devhost
