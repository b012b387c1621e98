// The system's MIDI stream output on Linux: the software stream device (platform/midi_device.h)
// on the steady clock, playing into a FluidSynth synthesizer on the sound card. The device
// plays queued buffers on their timing from its own thread and hands each one back through the
// callback, as the Windows stream service does.
//
// One synthesizer serves every stream of the process: it is created (and its SoundFont loaded)
// by the first stream that opens and kept, so that reopening a stream costs nothing.
#include <mutex>
#include <string>

#include "platform/midi_device.h"
#include "platform/midi_stream.h"
#include "platform/midi_synth.h"

namespace quillax::platform {

std::unique_ptr<MidiStream> OpenMidiStream(int deviceId, MidiStreamCallback callback,
                                           void* instance, MidiResult* result) {
    // The mapper and device 0 are the same synthesizer; there is no other device.
    if (deviceId != kMidiMapper && deviceId != 0) {
        if (result != nullptr) *result = kMidiBadDevice;
        return nullptr;
    }
    // Kept to the end of the process and never destroyed: a stream of a process-wide player
    // may still be playing while static objects go away at exit.
    static std::mutex* const mutex = new std::mutex;
    static std::shared_ptr<MidiSink>* const synthesizer = new std::shared_ptr<MidiSink>;
    static std::shared_ptr<MidiClock>* const clock = new std::shared_ptr<MidiClock>;
    {
        std::lock_guard<std::mutex> lock(*mutex);
        if (!*synthesizer) {
            std::string error;
            *synthesizer = OpenSynthSink(SynthOptions{}, &error);
            if (!*synthesizer) {
                if (result != nullptr) *result = kMidiNoDriver;
                return nullptr;
            }
            *clock = NewSteadyMidiClock();
        }
    }
    return OpenSoftwareMidiStream(*synthesizer, *clock, callback, instance, result);
}

}  // namespace quillax::platform
