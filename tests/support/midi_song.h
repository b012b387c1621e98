// Helpers of the song player tests: Standard MIDI Files built byte by byte, the times at which
// their events are due, and a stream that keeps the buffers a player queues.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/midi_stream.h"

namespace quillax::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

inline Bytes Vlq(std::uint32_t value) {
    Bytes out{static_cast<std::uint8_t>(value & 0x7F)};
    while ((value >>= 7) != 0)
        out.insert(out.begin(), static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
    return out;
}

inline Bytes Big(std::uint32_t value, int bytes) {
    Bytes out;
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return out;
}

inline Bytes Header(int format, int tracks, int division, std::uint32_t length = 6) {
    Bytes out{'M', 'T', 'h', 'd'};
    out = Cat({out, Big(length, 4), Big(static_cast<std::uint32_t>(format), 2),
               Big(static_cast<std::uint32_t>(tracks), 2),
               Big(static_cast<std::uint32_t>(division), 2)});
    out.resize(out.size() + (length > 6 ? length - 6 : 0), 0);
    return out;
}

inline Bytes Chunk(const char* id, const Bytes& body) {
    Bytes out(id, id + 4);
    return Cat({out, Big(static_cast<std::uint32_t>(body.size()), 4), body});
}

inline Bytes TrackChunk(const Bytes& body) { return Chunk("MTrk", body); }

inline Bytes EndOfTrack() { return {0xFF, 0x2F, 0x00}; }
inline Bytes TempoMeta(std::uint32_t micros) { return Cat({{0xFF, 0x51, 0x03}, Big(micros, 3)}); }

// An event of a track at an absolute tick: its bytes without the delta time.
struct TimedEvent {
    std::uint32_t tick;
    Bytes data;
};

// A track body from events (kept in the given order on equal ticks), ending with an
// end-of-track at `endTick` (or at the last event).
inline Bytes TrackBody(std::vector<TimedEvent> events, std::uint32_t endTick = 0) {
    std::stable_sort(events.begin(), events.end(),
                     [](const TimedEvent& a, const TimedEvent& b) { return a.tick < b.tick; });
    Bytes out;
    std::uint32_t now = 0;
    for (const TimedEvent& e : events) {
        out = Cat({out, Vlq(e.tick - now), e.data});
        now = e.tick;
    }
    return Cat({out, Vlq(std::max(endTick, now) - now), EndOfTrack()});
}

inline Bytes NoteOn(int channel, int key, int velocity) {
    return {static_cast<std::uint8_t>(0x90 | channel), static_cast<std::uint8_t>(key),
            static_cast<std::uint8_t>(velocity)};
}

// The stream word of a channel message.
inline std::uint32_t Word(const Bytes& message) {
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < message.size() && i < 3; ++i)
        word |= static_cast<std::uint32_t>(message[i]) << (8 * i);
    return word;
}

// Times of a song's ticks: the sum over the tempo segments, from the tempo changes of the file.
class TempoMap {
public:
    TempoMap(int division, std::map<std::uint32_t, std::uint32_t> tempoAt)
        : division_(division), tempoAt_(std::move(tempoAt)) {}

    // Microseconds from tick 0 to `tick`.
    double Micros(std::uint32_t tick) const {
        double micros = 0;
        std::uint32_t from = 0;
        std::uint32_t tempo = platform::kMidiDefaultTempo;
        for (const auto& [at, value] : tempoAt_) {
            if (at >= tick) break;
            micros += static_cast<double>(at - from) * tempo / division_;
            from = at;
            tempo = value;
        }
        return micros + static_cast<double>(tick - from) * tempo / division_;
    }

private:
    int division_;
    std::map<std::uint32_t, std::uint32_t> tempoAt_;
};

// ---- a stream that keeps what it is given -------------------------------------------------------

struct StreamEvent {
    std::uint32_t delta;
    std::uint32_t word;
    bool operator==(const StreamEvent& other) const {
        return delta == other.delta && word == other.word;
    }
};

inline std::uint32_t Little32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline std::vector<StreamEvent> Decode(const std::uint8_t* data, std::uint32_t bytes) {
    std::vector<StreamEvent> events;
    for (std::uint32_t at = 0; at + 12 <= bytes; at += 12) {
        events.push_back({Little32(data + at), Little32(data + at + 8)});
    }
    return events;
}

// Everything a FakeStream saw, kept by the test beyond the stream's life.
struct FakeStreamLog {
    int opened = 0;
    int closed = 0;
    int restarts = 0;
    int stops = 0;
    int resets = 0;
    std::uint32_t division = 0;
    platform::MidiResult divisionResult = platform::kMidiOk;  // what SetTimeDivision answers
    bool returnOnStop = true;  // Stop and Reset hand the queued buffers back at once
    std::deque<platform::MidiStreamHeader*> queue;
    std::vector<std::vector<StreamEvent>> queued;  // the events of every buffer queued, in order
    platform::MidiStreamCallback callback = nullptr;
    void* instance = nullptr;

    // Hands the oldest queued buffer back as played, on the caller's thread. False when none.
    bool CompleteOne() {
        if (queue.empty()) return false;
        platform::MidiStreamHeader* header = queue.front();
        queue.pop_front();
        callback(instance, platform::MidiStreamMessage::Done, header);
        return true;
    }
    // All events queued so far, buffer after buffer.
    std::vector<StreamEvent> AllQueued() const {
        std::vector<StreamEvent> all;
        for (const auto& buffer : queued) all.insert(all.end(), buffer.begin(), buffer.end());
        return all;
    }
};

// A stream without time: the test hands buffers back with FakeStreamLog::CompleteOne.
class FakeStream final : public platform::MidiStream {
public:
    explicit FakeStream(std::shared_ptr<FakeStreamLog> log) : log_(std::move(log)) {}
    ~FakeStream() override { Close(); }

    platform::MidiResult SetTimeDivision(std::uint32_t division) override {
        log_->division = division;
        return log_->divisionResult;
    }
    platform::MidiResult SetTempo(std::uint32_t) override { return platform::kMidiOk; }
    platform::MidiResult Prepare(platform::MidiStreamHeader& header) override {
        header.streamData = this;
        return platform::kMidiOk;
    }
    platform::MidiResult Unprepare(platform::MidiStreamHeader& header) override {
        if (Queued(&header)) return platform::kMidiStillPlaying;
        header.streamData = nullptr;
        return platform::kMidiOk;
    }
    platform::MidiResult Queue(platform::MidiStreamHeader& header) override {
        if (closed_) return platform::kMidiInvalidHandle;
        if (header.streamData != this) return platform::kMidiUnprepared;
        if (Queued(&header)) return platform::kMidiStillPlaying;
        log_->queue.push_back(&header);
        log_->queued.push_back(Decode(header.data, header.bytesRecorded));
        return platform::kMidiOk;
    }
    platform::MidiResult Restart() override {
        ++log_->restarts;
        return platform::kMidiOk;
    }
    platform::MidiResult Pause() override { return platform::kMidiOk; }
    platform::MidiResult Stop() override {
        ++log_->stops;
        ReturnAll();
        return platform::kMidiOk;
    }
    platform::MidiResult Reset() override {
        ++log_->resets;
        ReturnAll();
        return platform::kMidiOk;
    }
    platform::MidiResult Close() override {
        if (!closed_) {
            closed_ = true;
            ++log_->closed;
            log_->queue.clear();  // the stream lets go of everything
        }
        return platform::kMidiOk;
    }

private:
    bool Queued(const platform::MidiStreamHeader* header) const {
        return std::find(log_->queue.begin(), log_->queue.end(), header) != log_->queue.end();
    }
    void ReturnAll() {
        if (!log_->returnOnStop) return;
        while (log_->CompleteOne()) {
        }
    }

    std::shared_ptr<FakeStreamLog> log_;
    bool closed_ = false;
};

inline platform::MidiStreamOpener FakeOpener(std::shared_ptr<FakeStreamLog> log) {
    return
        [log](platform::MidiStreamCallback callback, void* instance, platform::MidiResult* result) {
            ++log->opened;
            log->callback = callback;
            log->instance = instance;
            *result = platform::kMidiOk;
            return std::make_unique<FakeStream>(log);
        };
}

}  // namespace quillax::testing
