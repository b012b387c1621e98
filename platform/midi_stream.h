// MIDI stream output: buffers of timed short events that the system plays on their timing and
// hands back, one by one, when they have been played.
//
// The interface follows the Windows MIDI stream service: a stream is opened on an output device
// (the MIDI mapper) with a callback; it starts paused. Its time division (ticks per quarter note)
// and tempo are properties. Buffers are prepared once, then queued; a queued buffer belongs to
// the stream until the callback reports it done. Restart starts (or resumes) playback, Pause
// halts it where it is, Stop and Reset end it: every queued buffer comes back through the
// callback and the sounding notes are silenced.
//
// A buffer holds stream events of 12 bytes each, little-endian: delta ticks since the previous
// event of the stream, a stream id (0) and an event word. The event type is the word's top byte:
// kMidiEventShort carries a channel message in its low three bytes (status | data 1 << 8 |
// data 2 << 16), kMidiEventTempo a tempo in microseconds per quarter note in its low three
// bytes, kMidiEventNop nothing. A word with kMidiEventLongFlag is followed by as many parameter
// bytes as its low three bytes say, padded to a multiple of four.
//
// Callbacks come on the stream's own thread (the platform's MIDI callback thread), never from
// inside a call of the thread that owns the stream, except that a stream may hand buffers back
// while that thread waits inside Stop or Reset. The callback may queue buffers; it must not
// stop, reset or close its own stream. Hold no lock that the callback takes while calling Stop,
// Reset or Close.
//
// On Windows the streams are the winmm ones (platform/win32/midi_stream_winmm.cpp). On Linux
// OpenMidiStream gives a software stream device (platform/midi_device.h) that plays into a
// FluidSynth synthesizer on the sound card (platform/posix/midi_stream_posix.cpp).
//
// No function throws; failures are result codes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace quillax::platform {

// Result of a stream operation: 0 on success, otherwise an error number. The numbers are those
// of the Windows multimedia system (winmm passes its own through unchanged).
using MidiResult = std::uint32_t;
constexpr MidiResult kMidiOk = 0;
constexpr MidiResult kMidiError = 1;          // unspecified failure
constexpr MidiResult kMidiBadDevice = 2;      // no such output device
constexpr MidiResult kMidiInvalidHandle = 5;  // the stream is closed
constexpr MidiResult kMidiNoDriver = 6;       // no synthesizer or driver to play on
constexpr MidiResult kMidiNoMemory = 7;
constexpr MidiResult kMidiInvalidParam = 11;  // a value the stream cannot use
constexpr MidiResult kMidiUnprepared = 64;    // the buffer was not prepared
constexpr MidiResult kMidiStillPlaying = 65;  // the buffer (or a buffer of the stream) is queued

// The device id of the MIDI mapper, the system's default output.
constexpr int kMidiMapper = -1;

// Stream event words.
constexpr std::uint32_t kMidiEventShort = 0x00;
constexpr std::uint32_t kMidiEventTempo = 0x01;
constexpr std::uint32_t kMidiEventNop = 0x02;
constexpr std::uint32_t kMidiEventLongFlag = 0x80000000u;
constexpr std::uint32_t kMidiEventCallbackFlag = 0x40000000u;
constexpr std::uint32_t kMidiShortEventSize = 12;

// The default tempo of a stream until a tempo is set: 120 quarter notes a minute.
constexpr std::uint32_t kMidiDefaultTempo = 500000;

// One stream buffer as the stream sees it. The owner fills data[0 .. bytesRecorded) and keeps
// the header and the block at the same address from Prepare to Unprepare.
struct MidiStreamHeader {
    std::uint8_t* data = nullptr;
    std::uint32_t bufferLength = 0;   // size of the block
    std::uint32_t bytesRecorded = 0;  // bytes of events in it
    // The stream's own record of the prepared buffer; null while not prepared. Not for the
    // owner's use.
    void* streamData = nullptr;
};

enum class MidiStreamMessage {
    Opened,  // the stream is open (no header)
    Closed,  // the stream is closed; nothing follows (no header)
    Done,    // a queued buffer comes back: played, or returned by Stop or Reset
};

// Registered with the stream together with the owner's instance pointer.
using MidiStreamCallback = void (*)(void* instance, MidiStreamMessage message,
                                    MidiStreamHeader* header);

// An open stream. Destroying it closes it.
class MidiStream {
public:
    virtual ~MidiStream() = default;

    // Ticks per quarter note (or, with bit 15 set, SMPTE frames and ticks per frame as in a
    // MIDI file header). Set it before queueing the first buffer.
    virtual MidiResult SetTimeDivision(std::uint32_t division) = 0;
    // Microseconds per quarter note.
    virtual MidiResult SetTempo(std::uint32_t tempo) = 0;

    virtual MidiResult Prepare(MidiStreamHeader& header) = 0;
    // Fails with kMidiStillPlaying while the buffer is queued.
    virtual MidiResult Unprepare(MidiStreamHeader& header) = 0;
    // Appends a prepared buffer to the stream's queue.
    virtual MidiResult Queue(MidiStreamHeader& header) = 0;

    // Starts playback at the position where it stands (the start after opening or Stop).
    virtual MidiResult Restart() = 0;
    // Halts playback; Restart resumes at the same position.
    virtual MidiResult Pause() = 0;
    // Ends playback: every queued buffer comes back through the callback, sounding notes are
    // silenced and the position returns to the start. Buffers queued afterwards wait for
    // Restart.
    virtual MidiResult Stop() = 0;
    // As Stop, for the output device as a whole (winmm's midiOutReset on the stream).
    virtual MidiResult Reset() = 0;
    // Closes the stream. When it returns no callback of this stream runs or follows, and the
    // stream no longer touches any buffer. Fails when called from the stream's own callback.
    virtual MidiResult Close() = 0;
};

// Opens the system's stream output on a device (kMidiMapper for the default). Nothing, with the
// reason in *result, when no stream can be opened.
std::unique_ptr<MidiStream> OpenMidiStream(int deviceId, MidiStreamCallback callback,
                                           void* instance, MidiResult* result);

// Opens a stream for a player: the system's output in the product, a software device with a
// recorder or a synthesizer in tests and tools.
using MidiStreamOpener = std::function<std::unique_ptr<MidiStream>(
    MidiStreamCallback callback, void* instance, MidiResult* result)>;

// The opener of the system's output on the MIDI mapper.
MidiStreamOpener SystemMidiStreamOpener();

}  // namespace quillax::platform
