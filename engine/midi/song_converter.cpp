// SongPlayer's converter: the tracks merged on the fly into stream events (the event due first
// wins; on equal ticks the lower track), written into the stream buffers. Runs under the
// player's lock, on the owner's thread or on the MIDI callback thread.
#include "engine/midi/song_player.h"

#include <cstring>
#include <new>

#include "engine/midi/midi_file.h"

namespace quillax {

namespace {

void PutLittle32(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value >> 16);
    p[3] = static_cast<std::uint8_t>(value >> 24);
}

}  // namespace

// Puts every track back to its start and the converter with them.
bool SongPlayer::RewindTracks() {
    for (Track& track : tracks_) {
        if (!RestartTrack(data_, track)) return false;
    }
    currentTick_ = 0;
    // A converted event waiting for room belongs to the old position: its tick would put a
    // gap of that length before the restart.
    ReleaseEventData();
    converterStatus_ = 0;
    atStart_ = true;
    eventsWritten_ = 0;
    roundMicros_ = 0;
    return true;
}

// ---- the converter ------------------------------------------------------------------------------

int SongPlayer::FillBuffer(bool reset, StreamBuffer& buffer) {
    buffer.bytesRecorded = 0;
    if (reset) {
        converterStatus_ = 0;
        ReleaseEventData();
    }
    if ((converterStatus_ & kStatusDone) != 0) {
        // A song that wrote nothing in a whole pass would loop on empty buffers for ever, and
        // one that lasts (next to) no time would loop at one instant for ever.
        if (!looping_ || eventsWritten_ == 0 || roundMicros_ < kMinimumRoundMicros) {
            return kConvertDone;
        }
        if (!RewindTracks()) {
            converterStatus_ = kStatusStuck;
            return kConvertStuck;
        }
    }
    if ((converterStatus_ & kStatusStuck) != 0) return kConvertStuck;

    if ((converterStatus_ & kStatusEventPending) != 0) {
        converterStatus_ &= ~kStatusEventPending;
        if (pending_.shortData[0] == 0xFF && pending_.shortData[1] == kMetaEndOfTrack) {
            ReleaseEventData();
        } else if (AppendEvent(buffer) == kConvertBufferFull) {
            converterStatus_ |= kStatusEventPending;
            return kConvertOk;
        }
    }

    for (;;) {
        Track* next = nullptr;
        for (Track& track : tracks_) {
            if ((track.flags & Track::kEnded) != 0) continue;
            if (next == nullptr || track.nextTick < next->nextTick) next = &track;
        }
        if (next == nullptr) {
            converterStatus_ |= kStatusDone;
            return kConvertOk;
        }
        if (!ReadTrackEvent(*next)) {
            converterStatus_ |= kStatusStuck;
            return kConvertCorrupt;
        }
        atStart_ = false;
        if (pending_.shortData[0] == 0xFF && pending_.shortData[1] == kMetaEndOfTrack) {
            ReleaseEventData();
            continue;
        }
        if (AppendEvent(buffer) == kConvertBufferFull) {
            converterStatus_ |= kStatusEventPending;
            return kConvertOk;
        }
    }
}

bool SongPlayer::AllocateEventData(Track& track, std::uint32_t length, const char* truncated) {
    // Checked before the allocation, so that a corrupt length never asks for gigabytes.
    if (track.start + track.length - track.cursor < length) {
        TrackError(track, truncated);
        return false;
    }
    pending_.data.reset(new (std::nothrow) std::uint8_t[length]);
    if (!pending_.data) {
        TrackError(track, "Out of memory during malloc call");
        return false;
    }
    ++eventBlocks_;
    pending_.length = length;
    std::memcpy(pending_.data.get(), data_ + track.cursor, length);
    track.cursor += length;
    return true;
}

void SongPlayer::ReleaseEventData() {
    if (pending_.data) {
        pending_.data.reset();
        --eventBlocks_;
    }
    pending_ = PendingEvent{};
}

bool SongPlayer::ReadTrackEvent(Track& track) {
    ReleaseEventData();
    if ((track.flags & Track::kEnded) != 0) return false;
    std::uint8_t byte = 0;
    if (!ReadTrackByte(data_, track, byte)) return false;

    if (byte < 0x80) {
        if (track.runningStatus == 0) {
            TrackError(track, "Reference to missing running status.");
            return false;
        }
        pending_.shortData[0] = track.runningStatus;
        pending_.shortData[1] = byte;
        if (!HasOneDataByte(track.runningStatus) &&
            !ReadTrackByte(data_, track, pending_.shortData[2])) {
            return false;
        }
    } else if (byte <= 0xEF) {
        track.runningStatus = byte;
        pending_.shortData[0] = byte;
        if (!ReadTrackByte(data_, track, pending_.shortData[1])) return false;
        if (!HasOneDataByte(byte) && !ReadTrackByte(data_, track, pending_.shortData[2])) return false;
    } else if (byte == 0xF0 || byte == 0xF7) {
        pending_.shortData[0] = byte;
        std::uint32_t length = 0;
        if (!ReadVariableLength(data_, track, length)) {
            TrackError(track, "SysEx event truncated (length)");
            return false;
        }
        if (!AllocateEventData(track, length, "SysEx event truncated")) return false;
    } else if (byte == 0xFF) {
        pending_.shortData[0] = byte;
        if (!ReadTrackByte(data_, track, pending_.shortData[1])) return false;
        std::uint32_t length = 0;
        if (!ReadVariableLength(data_, track, length)) {
            TrackError(track, "Meta event truncated (length)");
            return false;
        }
        if (length != 0 && !AllocateEventData(track, length, "Meta event truncated")) {
            return false;
        }
        if (pending_.shortData[1] == kMetaEndOfTrack) track.flags |= Track::kEnded;
    } else {
        return false;
    }

    pending_.tick = track.nextTick;
    if ((track.flags & Track::kEnded) == 0) {
        std::uint32_t delta = 0;
        if (!ReadVariableLength(data_, track, delta)) return false;
        track.nextTick += delta;
    }
    return true;
}

void SongPlayer::WriteStreamEvent(StreamBuffer& buffer, std::uint32_t delta, std::uint32_t word) {
    std::uint8_t* at = buffer.block.get() + buffer.startOffset + buffer.bytesRecorded;
    PutLittle32(at, delta);
    PutLittle32(at + 4, 0);  // stream id
    PutLittle32(at + 8, word);
    buffer.bytesRecorded += platform::kMidiShortEventSize;
    ++eventsWritten_;
    if (roundMicros_ < kMinimumRoundMicros && delta != 0) {
        // The delta's length at the tempo in force (a tempo event takes effect after its
        // own delta), as the stream plays it.
        const std::uint64_t tempo = tempo_ != 0 ? tempo_ : platform::kMidiDefaultTempo;
        const auto division = static_cast<std::uint32_t>(division_);
        if ((division & 0x8000) == 0) {
            if (division != 0) roundMicros_ += std::uint64_t{delta} * tempo / division;
        } else {
            // SMPTE: frames per second (a negative byte) times ticks per frame.
            const auto frames = static_cast<std::uint64_t>(
                -static_cast<int>(static_cast<std::int8_t>(division >> 8)));
            const std::uint64_t ticksPerSecond = frames * (division & 0xFF);
            if (ticksPerSecond != 0) {
                roundMicros_ += std::uint64_t{delta} * 1000000 / ticksPerSecond;
            }
        }
    }
}

// Places the pending event in the buffer. The current tick moves to the event's tick only when
// a stream event is written, so that the time of a skipped event (system exclusive, other meta
// events) and of an event that must wait for the next buffer stays in the next delta.
int SongPlayer::AppendEvent(StreamBuffer& buffer) {
    if (buffer.bytesRecorded == 0) buffer.startTick = currentTick_;
    if (currentTick_ - buffer.startTick > bufferTickLength_) {
        if (buffer.timeUp) {
            buffer.timeUp = false;
            return kConvertBufferFull;
        }
        buffer.timeUp = true;  // this event still goes in
    }
    const std::uint32_t delta = pending_.tick - currentTick_;
    const auto roomFor = [&buffer] {
        return buffer.maxLength - buffer.bytesRecorded >= platform::kMidiShortEventSize;
    };

    if (insertTempo_) {
        insertTempo_ = false;
        if (!roomFor()) return kConvertBufferFull;
        if (tempo_ != 0) {
            WriteStreamEvent(buffer, 0,
                             platform::kMidiEventTempo << 24 | tempo_ * 100 / kTempoMultiplier);
        }
    }

    const std::uint8_t status = pending_.shortData[0];
    if (status < 0xF0) {
        if (!roomFor()) return kConvertBufferFull;
        WriteStreamEvent(buffer, delta,
                         static_cast<std::uint32_t>(status) |
                             static_cast<std::uint32_t>(pending_.shortData[1]) << 8 |
                             static_cast<std::uint32_t>(pending_.shortData[2]) << 16);
        currentTick_ = pending_.tick;
        ReleaseEventData();
        return kConvertOk;
    }
    if (status == 0xF0 || status == 0xF7) {
        ReleaseEventData();
        return kConvertOk;
    }
    // A tempo event needs its three bytes and a tempo above 0; anything else is skipped.
    if (pending_.shortData[1] != kMetaTempo || pending_.length < 3 ||
        (pending_.data[0] | pending_.data[1] | pending_.data[2]) == 0) {
        ReleaseEventData();
        return kConvertMetaSkipped;
    }
    if (!roomFor()) return kConvertBufferFull;
    const std::uint32_t tempo = static_cast<std::uint32_t>(pending_.data[0]) << 16 |
                                static_cast<std::uint32_t>(pending_.data[1]) << 8 |
                                static_cast<std::uint32_t>(pending_.data[2]);
    WriteStreamEvent(buffer, delta,
                     platform::kMidiEventTempo << 24 | tempo * 100 / kTempoMultiplier);
    currentTick_ = pending_.tick;
    tempo_ = tempo;
    bufferTickLength_ = static_cast<std::uint32_t>(division_) * 60000u / tempo;
    const unsigned long traced = bufferTickLength_;
    Trace("m_dwBufferTickLength = ", &traced);
    ReleaseEventData();
    return kConvertOk;
}

}  // namespace quillax
