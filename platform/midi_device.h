// A software MIDI stream device: it plays the buffers queued on a MidiStream on their timing
// from a thread of its own, sends each channel message to a sink and hands every buffer back
// through the stream's callback (on that thread) once its last event has been played.
//
// It stands in for the Windows MIDI stream service where there is none (Linux plays through a
// FluidSynth sink, platform/midi_synth.h) and lets tests watch what a player sends: a
// MidiRecorder keeps every message with its time. Time comes from a MidiClock: the real steady
// clock, or a VirtualMidiClock that only moves when a test lets it, so that tests of minutes of
// music run in milliseconds and their times are exact.
//
// Event times: the device counts ticks from the start of playback (Restart after opening or
// Stop). An event is due when the ticks before it have passed at the tempo in force: tempo
// changes (tempo events and SetTempo) take effect at the tick where they stand. A buffer queued
// late plays its overdue events at once and the following ones on the original schedule, so
// the timing never drifts. Pause stops the count; Restart shifts the schedule by the pause.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/midi_stream.h"

namespace quillax::platform {

// ---- clocks ------------------------------------------------------------------------------------

constexpr std::int64_t kMidiForever = std::numeric_limits<std::int64_t>::max();

// Time in microseconds for stream devices.
class MidiClock {
public:
    // The waiting of one thread. WaitUntil returns when the clock reaches the deadline or when
    // Wake was called (since the last return); it may also return early for no reason, so the
    // caller checks again. Wake may be called from any thread.
    class Sleeper {
    public:
        virtual ~Sleeper() = default;
        virtual void WaitUntil(std::int64_t deadline) = 0;
        virtual void Wake() = 0;
    };

    virtual ~MidiClock() = default;
    virtual std::int64_t Now() = 0;
    virtual std::unique_ptr<Sleeper> NewSleeper() = 0;
};

// The steady clock of the machine; its time 0 is the moment of creation.
std::shared_ptr<MidiClock> NewSteadyMidiClock();

// A clock that stands still until RunUntil lets it move. Every thread that waits on it (through
// a Sleeper) runs up to the time given; RunUntil returns when all of them wait for a later time
// or for work (kMidiForever), so the test sees a settled state.
class VirtualMidiClock : public MidiClock {
public:
    VirtualMidiClock() = default;
    VirtualMidiClock(const VirtualMidiClock&) = delete;
    VirtualMidiClock& operator=(const VirtualMidiClock&) = delete;

    std::int64_t Now() override;
    std::unique_ptr<Sleeper> NewSleeper() override;

    // Lets time run up to `time` and waits until every sleeper is settled. False when they did
    // not settle within `patience` of real time (a device that keeps working, a deadlock).
    bool RunUntil(std::int64_t time,
                  std::chrono::milliseconds patience = std::chrono::milliseconds(10000));
    bool RunFor(std::int64_t duration,
                std::chrono::milliseconds patience = std::chrono::milliseconds(10000));

private:
    struct Waiter;
    class VirtualSleeper;
    bool Settled() const;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::int64_t now_ = 0;
    std::int64_t limit_ = 0;
    std::vector<Waiter*> waiters_;
};

// ---- sinks -------------------------------------------------------------------------------------

// Where a device's messages go. Calls come from the device's thread only.
class MidiSink {
public:
    virtual ~MidiSink() = default;
    // A channel message (status | data 1 << 8 | data 2 << 16) due at `time` of the device's
    // clock. It arrives when it is due.
    virtual void Send(std::int64_t time, std::uint32_t message) = 0;
    // All sounding notes end (the stream was stopped or reset).
    virtual void Silence(std::int64_t time) = 0;
    // The output ends: a file sink plays out and completes its file. True when all went well.
    virtual bool Finish() { return true; }
};

// Keeps every message with the time it was due and the time the clock read when it arrived.
// Safe to read from any thread while a device records.
class MidiRecorder : public MidiSink {
public:
    struct Event {
        std::int64_t due = 0;       // the device's schedule
        std::int64_t arrived = 0;   // the clock when the message reached the recorder
        std::uint32_t message = 0;
    };

    explicit MidiRecorder(std::shared_ptr<MidiClock> clock);

    void Send(std::int64_t time, std::uint32_t message) override;
    void Silence(std::int64_t time) override;

    std::vector<Event> Events() const;
    std::size_t Count() const;
    int SilenceCount() const;
    void Clear();
    // Waits (real time) until at least `count` messages have arrived.
    bool WaitForCount(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    std::shared_ptr<MidiClock> clock_;
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<Event> events_;
    int silences_ = 0;
};

// ---- the device --------------------------------------------------------------------------------

// Opens a software stream that plays into `sink` on `clock`. Never fails for valid arguments.
std::unique_ptr<MidiStream> OpenSoftwareMidiStream(std::shared_ptr<MidiSink> sink,
                                                   std::shared_ptr<MidiClock> clock,
                                                   MidiStreamCallback callback, void* instance,
                                                   MidiResult* result);

// An opener of such streams for a player.
MidiStreamOpener SoftwareMidiStreamOpener(std::shared_ptr<MidiSink> sink,
                                          std::shared_ptr<MidiClock> clock);

}  // namespace quillax::platform
