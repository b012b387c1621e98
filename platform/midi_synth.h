// A General MIDI synthesizer as a sink of the software stream device (platform/midi_device.h):
// FluidSynth with a SoundFont, playing on the sound card or rendering into a WAV file.
//
// Linux only: on Windows the system's own MIDI output plays streams, so OpenSynthSink gives
// nothing there (with a reason).
#pragma once

#include <memory>
#include <string>

#include "platform/midi_device.h"

namespace quillax::platform {

struct SynthOptions {
    // The SoundFont file; empty for DefaultSoundFont().
    std::string soundFont;
    // Empty: play on the sound card. Otherwise render into this WAV file (16-bit stereo PCM)
    // instead: each message is placed at the sample of its due time, counted from time 0 of the
    // device's clock, so a virtual clock renders faster than real time with exact timing.
    std::string wavPath;
    int sampleRate = 44100;
    // Sound that follows the last message when a WAV sink finishes (the notes' release).
    int tailMilliseconds = 1000;
};

// The SoundFont to use: the file named by the environment variable QUILLAX_SOUNDFONT when it
// exists, otherwise the system's General MIDI SoundFont (/usr/share/sounds/sf2/default-GM.sf2,
// then TimGM6mb.sf2 and FluidR3_GM.sf2 there). Empty when there is none.
std::string DefaultSoundFont();

// A synthesizer sink, or nothing with the reason in *error (no SoundFont, no sound card, the
// file cannot be written, no synthesizer on this platform). A WAV sink completes its file in
// Finish (or when it is destroyed).
std::shared_ptr<MidiSink> OpenSynthSink(const SynthOptions& options, std::string* error);

}  // namespace quillax::platform
