// WheelSong: the song of the reading-wheel popup.
//
// The first wheel popup reads "0102.mid" from the configuration directory into a buffer that
// lives as long as this object and loads it into the song player; every wheel popup then
// rewinds it and plays it looping. Hiding the popup after the mouse left a "BoSk" element stops
// it. The engine keeps one WheelSong for the life of the process and hangs it into the state
// with Attach (state.host.playWheelSong and state.events.stopWheelSong).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/midi/song_player.h"
#include "engine/state/render_state.h"

namespace quillax {

class WheelSong {
public:
    // The player is made on first use with this stream opener.
    explicit WheelSong(platform::MidiStreamOpener opener = platform::SystemMidiStreamOpener());
    WheelSong(const WheelSong&) = delete;
    WheelSong& operator=(const WheelSong&) = delete;

    // Rewinds and plays the song looping, loading it from installDir + "0102.mid" first when it
    // is not loaded yet. A missing or unplayable file plays nothing (and is tried again next
    // time).
    void Play(const GbString& installDir);
    // Stops the song (the player stays ready for the next Play).
    void Stop();

    bool Loaded() const { return loaded_; }
    SongPlayer* Player() { return player_.get(); }

    // Lets state's wheel popups play this song and its hides stop it. The song must outlive
    // state's use of it.
    void Attach(RenderState& state);

private:
    platform::MidiStreamOpener opener_;
    // The song's bytes outlive the player, whose callback thread may still read them while the
    // player is being destroyed (members are destroyed in reverse order).
    std::vector<std::uint8_t> data_;
    std::unique_ptr<SongPlayer> player_;
    bool loaded_ = false;
};

}  // namespace quillax
