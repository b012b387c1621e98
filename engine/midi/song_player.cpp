// SongPlayer: file parsing, the on-the-fly converter into stream buffers, and the hand-over
// between the owner's thread and the platform's MIDI callback thread.
#include "engine/midi/song_player.h"

#include <chrono>
#include <cstring>
#include <new>
#include <utility>

namespace quillax {

using platform::MidiResult;
using platform::MidiStreamHeader;
using platform::MidiStreamMessage;

namespace {

std::uint32_t Big32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

int Big16(const std::uint8_t* p) { return p[0] << 8 | p[1]; }

void PutLittle32(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value >> 16);
    p[3] = static_cast<std::uint8_t>(value >> 24);
}

// Program change and channel pressure carry one data byte, the other channel messages two.
bool HasOneDataByte(std::uint8_t status) {
    return (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0;
}

constexpr std::uint8_t kMetaEndOfTrack = 0x2F;
constexpr std::uint8_t kMetaTempo = 0x51;

}  // namespace

// ---- the buffer-return event -------------------------------------------------------------------

void SongPlayer::BufferReturnEvent::Signal() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        signalled_ = true;
    }
    signalled_cv_.notify_all();
}

void SongPlayer::BufferReturnEvent::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = false;
}

bool SongPlayer::BufferReturnEvent::Wait(int milliseconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    const bool signalled = signalled_cv_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                                  [this] { return signalled_; });
    signalled_ = false;
    return signalled;
}

// ---- life ---------------------------------------------------------------------------------------

SongPlayer::SongPlayer(platform::MidiStreamOpener opener) : opener_(std::move(opener)) {}

SongPlayer::~SongPlayer() { Stop(false); }

bool SongPlayer::IsPlaying() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return playing_ && callbackState_ != kStateCallbackFinished;
}

int SongPlayer::CallbackState() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return callbackState_;
}

int SongPlayer::EventBlocksAllocated() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return eventBlocks_;
}

int SongPlayer::Format() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return format_;
}

int SongPlayer::TrackCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(tracks_.size());
}

int SongPlayer::Division() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return division_;
}

// ---- hooks --------------------------------------------------------------------------------------

// The hooks run inside the converter and on the callback thread: nothing they throw (nor a
// failed allocation of the text) may escape into the player.
void SongPlayer::Trace(const char* text, const unsigned long* value) noexcept {
    try {
        if (!trace_) return;
        std::string line = text;
        if (value != nullptr) line += std::to_string(*value);
        trace_(line + "\n");
    } catch (...) {
    }
}

void SongPlayer::PlatformError(const char* operation, MidiResult code) noexcept {
    try {
        if (error_) error_(operation, code);
    } catch (...) {
    }
}

void SongPlayer::TrackError(const Track& track, const char* message) noexcept {
    // A track holds at most 2^32 - 1 bytes (its length field), so the offset fits.
    const auto offset = static_cast<unsigned long>(track.cursor - track.start);
    const unsigned long length = track.length;
    Trace("Track buffer offset ", &offset);
    Trace("Track total length ", &length);
    Trace(message);
}

// ---- Load --------------------------------------------------------------------------------------

bool SongPlayer::Load(const std::uint8_t* data, std::size_t size) {
    // A player that already holds a song lets go of its stream first: its buffers are about
    // to be set up anew.
    if (stream_) Stop(false);

    if (data == nullptr || size < 14 || std::memcmp(data, "MThd", 4) != 0 ||
        Big32(data + 4) != 6) {
        return false;
    }
    const int format = Big16(data + 8);
    const int trackCount = Big16(data + 10);
    const int division = Big16(data + 12);

    std::vector<Track> tracks;
    try {
        tracks.resize(static_cast<std::size_t>(trackCount));
    } catch (...) {
        return false;
    }
    std::size_t offset = 14;
    for (Track& track : tracks) {
        if (size - offset < 8 || std::memcmp(data + offset, "MTrk", 4) != 0) return false;
        const std::uint32_t length = Big32(data + offset + 4);
        if (size - offset - 8 < length) return false;
        track.length = length;
        track.start = offset + 8;
        track.cursor = track.start;
        offset = track.start + length;
    }

    {
        std::lock_guard<std::mutex> lock(mutex_);
        data_ = data;
        size_ = size;
        format_ = format;
        division_ = division;
        tracks_ = std::move(tracks);
        if (!RewindTracks()) {
            // A track whose first delta time cannot be read.
            data_ = nullptr;
            size_ = 0;
            tracks_.clear();
            return false;
        }
    }
    return SetUpStream();
}

bool SongPlayer::ReadTrackByte(Track& track, std::uint8_t& value) const {
    if (track.cursor >= track.start + track.length) return false;
    value = data_[track.cursor++];
    return true;
}

bool SongPlayer::ReadVariable(Track& track, std::uint32_t& value) const {
    value = 0;
    std::uint8_t byte = 0;
    do {
        if (!ReadTrackByte(track, byte)) return false;
        value = value << 7 | (byte & 0x7Fu);
    } while ((byte & 0x80) != 0);
    return true;
}

// ---- Rewind ------------------------------------------------------------------------------------

bool SongPlayer::RewindTracks() {
    for (Track& track : tracks_) {
        track.cursor = track.start;
        track.runningStatus = 0;
        track.nextTick = 0;
        track.flags = 0;
        if (track.length == 0) {
            track.flags |= kTrackEnded;
        } else if (!ReadVariable(track, track.nextTick)) {
            return false;
        }
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

bool SongPlayer::Rewind() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (data_ == nullptr) return false;
        const bool setUp = !playing_ && stream_ && buffersPrepared_;
        // Buffers queued from the start, with the tracks standing right after them: that is
        // the rewound state already.
        if (setUp && queuedFromStart_) return true;
        if (!RewindTracks()) return false;
        if (!setUp) return true;
    }
    // The queued buffers hold music from elsewhere in the song, which would play before the
    // start: set them up again from the rewound tracks.
    return Stop(true);
}

// ---- Play and Stop ------------------------------------------------------------------------------

bool SongPlayer::Play(bool looping) {
    bool wasPlaying = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        wasPlaying = playing_;
    }
    if (wasPlaying) Stop(true);

    {
        std::lock_guard<std::mutex> lock(mutex_);
        callbackState_ = kStateNormal;
        if (!looping_) insertTempo_ = true;
        // Set before the stream runs: its first buffer may come back at once.
        playing_ = true;
        queuedFromStart_ = false;
        looping_ = looping;
    }
    const MidiResult result = stream_ ? stream_->Restart() : platform::kMidiInvalidHandle;
    if (result != platform::kMidiOk) {
        PlatformError("restart", result);
        std::lock_guard<std::mutex> lock(mutex_);
        playing_ = false;
        return false;
    }
    return true;
}

bool SongPlayer::Stop(bool reopen) {
    bool stopStream = false;
    bool nothingQueued = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopStream = playing_ || callbackState_ != kStateCallbackFinished;
        if (stopStream) {
            playing_ = false;
            if (callbackState_ != kStateCallbackFinished && callbackState_ != kStateSongEnded) {
                callbackState_ = kStateStopRequested;
            }
            bufferReturn_.Reset();
            // With no buffer on the stream no callback will come to answer.
            nothingQueued = !stream_ || returnedBuffers_ >= kBufferCount;
        }
    }
    if (stopStream) {
        if (stream_) {
            MidiResult result = stream_->Stop();
            if (result != platform::kMidiOk) {
                PlatformError("stop", result);
                return false;
            }
            result = stream_->Reset();
            if (result != platform::kMidiOk) {
                PlatformError("reset", result);
                return false;
            }
        }
        const bool answered = nothingQueued || bufferReturn_.Wait(kStopWaitMilliseconds);
        std::lock_guard<std::mutex> lock(mutex_);
        if (!answered || nothingQueued) callbackState_ = kStateCallbackFinished;
        if (callbackState_ != kStateCallbackFinished) return true;
    }

    // The state stays "finished" until the stream is closed, so that a late callback does
    // nothing; then it is normal again.
    FreeBuffers();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        callbackState_ = kStateNormal;
    }

    if (reopen) {
        if (!looping_) {
            // The next Play starts at the beginning: rewind before the buffers are filled.
            std::lock_guard<std::mutex> lock(mutex_);
            RewindTracks();
        }
        if (!SetUpStream()) return false;
    }
    return true;
}

void SongPlayer::FreeBuffers() {
    if (buffersPrepared_ && stream_) {
        for (StreamBuffer& buffer : buffers_) {
            const MidiResult result = stream_->Unprepare(buffer.header);
            if (result != platform::kMidiOk) PlatformError("unprepare", result);
        }
    }
    std::unique_ptr<platform::MidiStream> stream;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        buffersPrepared_ = false;
        stream = std::move(stream_);
        returnedBuffers_ = kBufferCount;
    }
    if (stream) {
        const MidiResult result = stream->Close();
        if (result != platform::kMidiOk) {
            PlatformError("close", result);
            // The stream may still hold the buffers: leave it and them alone for good rather
            // than free memory that it could write to.
            stream.release();
            for (StreamBuffer& buffer : buffers_) buffer.block.release();
        }
    }
    // Released only now that no stream can touch them.
    for (StreamBuffer& buffer : buffers_) {
        buffer.block.reset();
        buffer.header = MidiStreamHeader{};
    }
}

// ---- setting up the stream ----------------------------------------------------------------------

bool SongPlayer::SetUpStream() {
    {
        // Nothing is queued until the loop below queues it: a set-up that fails before then
        // (a time division the stream refuses, no memory for a block) must not leave a Stop
        // waiting for buffers to come back.
        std::lock_guard<std::mutex> lock(mutex_);
        returnedBuffers_ = kBufferCount;
    }
    if (!stream_) {
        MidiResult result = platform::kMidiError;
        std::unique_ptr<platform::MidiStream> opened =
            opener_ ? opener_(&SongPlayer::StreamCallback, this, &result) : nullptr;
        if (!opened) {
            PlatformError("open", result);
            return false;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        stream_ = std::move(opened);
    }
    MidiResult result = stream_->SetTimeDivision(static_cast<std::uint32_t>(division_));
    if (result != platform::kMidiOk) {
        PlatformError("time division", result);
        return false;
    }

    // Both buffers get their block and are prepared, even when the song ends inside the first:
    // a looping song brings the second into play later.
    for (StreamBuffer& buffer : buffers_) {
        if (!buffer.block) {
            buffer.block.reset(new (std::nothrow) std::uint8_t[kBufferSize]);
            if (!buffer.block) {
                PlatformError("prepare", platform::kMidiNoMemory);
                return false;
            }
        }
        buffer.header.data = buffer.block.get();
        buffer.header.bufferLength = kBufferSize;
        buffer.header.bytesRecorded = 0;
        if (!buffersPrepared_) {
            result = stream_->Prepare(buffer.header);
            if (result != platform::kMidiOk) {
                PlatformError("prepare", result);
                return false;
            }
        }
    }

    bool fromStart = false;
    int queued = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        buffersPrepared_ = true;
        returnedBuffers_ = 0;
        fromStart = atStart_;
    }
    for (int i = 0; i < kBufferCount; ++i) {
        StreamBuffer& buffer = buffers_[i];
        bool songEnded = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            buffer.startOffset = 0;
            buffer.maxLength = kBufferSize;
            buffer.startTick = 0;
            buffer.timeUp = false;
            const int converted = FillBuffer(i == 0, buffer);
            if (converted == kConvertDone) {
                songEnded = true;
            } else if (converted != kConvertOk) {
                returnedBuffers_ = kBufferCount - queued;
                return false;
            }
            songEnded = songEnded || (converterStatus_ & kStatusDone) != 0;
            buffer.header.bytesRecorded = buffer.bytesRecorded;
        }
        result = stream_->Queue(buffer.header);
        if (result != platform::kMidiOk) {
            PlatformError("queue", result);
            break;
        }
        ++queued;
        if (songEnded) break;
    }

    std::lock_guard<std::mutex> lock(mutex_);
    currentBuffer_ = 0;
    returnedBuffers_ = kBufferCount - queued;
    queuedFromStart_ = fromStart;
    return true;
}

// ---- the callback -------------------------------------------------------------------------------

void SongPlayer::StreamCallback(void* instance, MidiStreamMessage message, MidiStreamHeader*) {
    // Opening and closing need nothing; position callbacks are not requested. Nothing may
    // escape into the platform's thread.
    if (message != MidiStreamMessage::Done) return;
    try {
        static_cast<SongPlayer*>(instance)->OnBufferDone();
    } catch (...) {
    }
}

// The song ended without looping and every buffer is back. The stream is stopped and set up
// again by the next Play or Stop on the owner's thread: stopping or closing a stream from
// inside its own callback is not allowed.
void SongPlayer::EndOfSong() {
    callbackState_ = kStateCallbackFinished;
    bufferReturn_.Signal();
}

void SongPlayer::OnBufferDone() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (callbackState_ == kStateCallbackFinished) return;
    ++returnedBuffers_;
    if (callbackState_ == kStateSongEnded) {
        if (returnedBuffers_ >= kBufferCount) EndOfSong();
        return;
    }
    if (callbackState_ == kStateStopRequested) {
        if (returnedBuffers_ >= kBufferCount) {
            callbackState_ = kStateCallbackFinished;
            bufferReturn_.Signal();
        }
        return;
    }
    if (!playing_ || !stream_) return;
    // Refill every buffer that is back (two when the song ended inside the first buffer of the
    // set-up and loops), each in turn.
    while (returnedBuffers_ > 0) {
        StreamBuffer& buffer = buffers_[currentBuffer_];
        buffer.startOffset = 0;
        buffer.maxLength = kBufferSize;
        buffer.startTick = 0;
        buffer.bytesRecorded = 0;
        buffer.timeUp = false;
        const int converted = FillBuffer(false, buffer);
        if (converted == kConvertDone) {
            callbackState_ = kStateSongEnded;
            if (returnedBuffers_ >= kBufferCount) EndOfSong();
            return;
        }
        if (converted != kConvertOk) return;  // stuck: the queued music plays out
        buffer.header.bytesRecorded = buffer.bytesRecorded;
        const MidiResult result = stream_->Queue(buffer.header);
        if (result != platform::kMidiOk) {
            PlatformError("queue", result);
            return;
        }
        currentBuffer_ = (currentBuffer_ + 1) % kBufferCount;
        --returnedBuffers_;
    }
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
            if ((track.flags & kTrackEnded) != 0) continue;
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
    if ((track.flags & kTrackEnded) != 0) return false;
    std::uint8_t byte = 0;
    if (!ReadTrackByte(track, byte)) return false;

    if (byte < 0x80) {
        if (track.runningStatus == 0) {
            TrackError(track, "Reference to missing running status.");
            return false;
        }
        pending_.shortData[0] = track.runningStatus;
        pending_.shortData[1] = byte;
        if (!HasOneDataByte(track.runningStatus) &&
            !ReadTrackByte(track, pending_.shortData[2])) {
            return false;
        }
    } else if (byte <= 0xEF) {
        track.runningStatus = byte;
        pending_.shortData[0] = byte;
        if (!ReadTrackByte(track, pending_.shortData[1])) return false;
        if (!HasOneDataByte(byte) && !ReadTrackByte(track, pending_.shortData[2])) return false;
    } else if (byte == 0xF0 || byte == 0xF7) {
        pending_.shortData[0] = byte;
        std::uint32_t length = 0;
        if (!ReadVariable(track, length)) {
            TrackError(track, "SysEx event truncated (length)");
            return false;
        }
        if (!AllocateEventData(track, length, "SysEx event truncated")) return false;
    } else if (byte == 0xFF) {
        pending_.shortData[0] = byte;
        if (!ReadTrackByte(track, pending_.shortData[1])) return false;
        std::uint32_t length = 0;
        if (!ReadVariable(track, length)) {
            TrackError(track, "Meta event truncated (length)");
            return false;
        }
        if (length != 0 && !AllocateEventData(track, length, "Meta event truncated")) {
            return false;
        }
        if (pending_.shortData[1] == kMetaEndOfTrack) track.flags |= kTrackEnded;
    } else {
        return false;
    }

    pending_.tick = track.nextTick;
    if ((track.flags & kTrackEnded) == 0) {
        std::uint32_t delta = 0;
        if (!ReadVariable(track, delta)) return false;
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
