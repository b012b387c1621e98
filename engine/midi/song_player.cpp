// SongPlayer: the song's life on the stream: loading, rewinding, playing and stopping, the
// stream and its buffers, and the hand-over between the owner's thread and the platform's MIDI
// callback thread. The file is read by midi_file.cpp, the music converted into the buffers by
// song_converter.cpp.
#include "engine/midi/song_player.h"

#include <chrono>
#include <new>
#include <utility>

namespace quillax {

using platform::MidiResult;
using platform::MidiStreamHeader;
using platform::MidiStreamMessage;

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

    MidiFileLayout layout;
    if (!ReadMidiFileLayout(data, size, layout)) return false;

    {
        std::lock_guard<std::mutex> lock(mutex_);
        data_ = data;
        size_ = size;
        format_ = layout.format;
        division_ = layout.division;
        tracks_ = std::move(layout.tracks);
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

}  // namespace quillax
