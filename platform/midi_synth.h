// A General MIDI synthesizer as a sink of the software stream device (platform/midi_device.h):
// FluidSynth with a SoundFont, playing on the sound card, rendering into a WAV file, or handing
// its sound to its owner as it is made (to stream it elsewhere, such as to a browser).
//
// Linux only: on Windows the system's own MIDI output plays streams, so OpenSynthSink and
// OpenPcmSynth give nothing there (with a reason).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

// A synthesizer whose sound its owner takes, in 16-bit stereo frames at options.sampleRate, as
// it is made: each message takes effect at the frame of its due time, as in a WAV file, and
// Take hands out the frames made since the last take. Times are microseconds of the device's
// clock. Every call is safe from any thread.
class PcmSynth : public MidiSink {
public:
    // Starts the output afresh at `time`: frames made before are dropped and the next frame
    // handed out is frame 0 of a new run. Call it before the first take, and again after a
    // pause in taking (the frames of the pause are never made).
    virtual void Restart(std::int64_t time) = 0;
    // Appends to `frames` (interleaved left and right samples) every frame from the end of the
    // last take up to `time`, and returns the number within the run of the first one appended.
    // At most kPcmMaxHeldFrames frames wait between takes; older ones are dropped.
    virtual std::int64_t Take(std::int64_t time, std::vector<std::int16_t>& frames) = 0;
    virtual int SampleRate() const = 0;
};

// Frames a PcmSynth keeps for its owner between two takes (ten seconds at 44,100 a second).
constexpr std::size_t kPcmMaxHeldFrames = 441000;

// A synthesizer for its owner to take the sound of (options.wavPath is not used), or nothing
// with the reason in *error (no SoundFont, no synthesizer on this platform).
std::shared_ptr<PcmSynth> OpenPcmSynth(const SynthOptions& options, std::string* error);

}  // namespace quillax::platform
