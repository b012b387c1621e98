// SongPlayer: plays a Standard MIDI File held in memory through the platform's MIDI stream
// output (platform/midi_stream.h), looping without a gap when asked.
//
// The song is never converted ahead of time. The tracks are merged on the fly (the event due
// first wins; on equal ticks the lower track) into two stream buffers of 1,024 bytes that hold
// about 60 ms of music each; the platform hands a buffer back when it has been played and the
// callback refills and queues it again. Channel messages and tempo changes are played; system
// exclusive and other meta events are skipped, their time kept.
//
// Threads: Load, Rewind, Play, Stop and the destructor run on the owner's thread; the stream's
// callback runs on the platform's MIDI thread and converts there. One lock guards the converter
// and the tracks, so a Rewind during playback waits for a refill in progress and vice versa.
// Stop requests the stop from the callback and waits (at most 2 s) until both buffers are back.
// The hooks run on either thread, sometimes under the lock: they must not call the player.
//
// No function throws; failures are results (false) and go to the hooks.
//
// The file is read by midi_file.h; song_player.cpp holds the life cycle of the stream and the
// threads, song_converter.cpp the converter.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/midi/midi_file.h"
#include "platform/midi_stream.h"

namespace quillax {

class SongPlayer {
public:
    // One line of the component's diagnostic trace, with its "\n".
    using TraceHook = std::function<void(const std::string& line)>;
    // A failed stream operation ("open", "time division", "prepare", "queue", "restart",
    // "stop", "reset", "unprepare", "close") with the platform's error number.
    using ErrorHook = std::function<void(const char* operation, platform::MidiResult code)>;

    // Converter results.
    static constexpr int kConvertOk = 0;
    static constexpr int kConvertCorrupt = -101;
    static constexpr int kConvertStuck = -102;
    static constexpr int kConvertDone = -103;
    static constexpr int kConvertBufferFull = -104;
    static constexpr int kConvertMetaSkipped = -105;

    // Callback states.
    static constexpr int kStateNormal = 0;
    static constexpr int kStateStopRequested = 100;
    static constexpr int kStateCallbackFinished = 200;
    static constexpr int kStateSongEnded = 300;

    static constexpr int kBufferCount = 2;
    static constexpr std::uint32_t kBufferSize = 1024;
    static constexpr std::uint32_t kBufferMilliseconds = 60;
    static constexpr int kStopWaitMilliseconds = 2000;
    static constexpr std::uint32_t kTempoMultiplier = 100;
    // A looping song must last at least this long (microseconds) per round; a shorter one,
    // such as a song whose events all stand at tick 0, would replay for ever at one instant
    // and keep the MIDI thread busy, so it plays once.
    static constexpr std::uint64_t kMinimumRoundMicros = 1000;

    // Plays through streams of `opener`: the system's MIDI mapper unless told otherwise.
    explicit SongPlayer(platform::MidiStreamOpener opener = platform::SystemMidiStreamOpener());
    ~SongPlayer();
    SongPlayer(const SongPlayer&) = delete;
    SongPlayer& operator=(const SongPlayer&) = delete;

    // Parses the file, builds the track table and sets up the stream: open, paused, the
    // buffers filled from the start and queued. The data is not copied: it must stay valid
    // while the player exists. False for a malformed file or a platform failure.
    bool Load(const std::uint8_t* data, std::size_t size);
    // Puts every track back to its start. When the player is not playing, buffers already
    // queued from another position are set up again from the start.
    bool Rewind();
    // Starts (or restarts) the stream; a playing song is stopped and set up again first.
    bool Play(bool looping);
    // Stops the stream, frees the buffers and closes the stream; with reopen, sets it up again,
    // paused, ready for Play (from the start unless the song was looping).
    bool Stop(bool reopen);

    // Set before Load.
    void SetTraceHook(TraceHook hook) { trace_ = std::move(hook); }
    void SetErrorHook(ErrorHook hook) { error_ = std::move(hook); }

    // True from Play until Stop, or until a song played without looping has ended.
    bool IsPlaying() const;
    int CallbackState() const;
    // Event data blocks (system exclusive and meta data) currently held: 0 between events.
    int EventBlocksAllocated() const;
    // From the file header.
    int Format() const;
    int TrackCount() const;
    int Division() const;

private:
    static constexpr std::uint32_t kStatusDone = 1;
    static constexpr std::uint32_t kStatusStuck = 2;
    static constexpr std::uint32_t kStatusEventPending = 4;

    using Track = MidiTrack;

    struct StreamBuffer {
        platform::MidiStreamHeader header;
        std::unique_ptr<std::uint8_t[]> block;
        std::uint32_t startOffset = 0;
        std::uint32_t maxLength = kBufferSize;
        std::uint32_t bytesRecorded = 0;
        std::uint32_t startTick = 0;
        bool timeUp = false;
    };

    struct PendingEvent {
        std::uint32_t tick = 0;
        std::uint8_t shortData[3] = {0, 0, 0};
        std::uint32_t length = 0;
        std::unique_ptr<std::uint8_t[]> data;
    };

    // The auto-reset event by which the callback tells Stop that the buffers are back.
    class BufferReturnEvent {
    public:
        void Signal();
        void Reset();
        bool Wait(int milliseconds);

    private:
        std::mutex mutex_;
        std::condition_variable signalled_cv_;
        bool signalled_ = false;
    };

    static void StreamCallback(void* instance, platform::MidiStreamMessage message,
                               platform::MidiStreamHeader* header);
    void OnBufferDone();
    void EndOfSong();

    bool SetUpStream();
    void FreeBuffers();
    bool RewindTracks();
    int FillBuffer(bool reset, StreamBuffer& buffer);
    bool ReadTrackEvent(Track& track);
    int AppendEvent(StreamBuffer& buffer);
    void WriteStreamEvent(StreamBuffer& buffer, std::uint32_t delta, std::uint32_t word);
    bool AllocateEventData(Track& track, std::uint32_t length, const char* truncated);
    void ReleaseEventData();
    void TrackError(const Track& track, const char* message) noexcept;
    // One trace line: the text, the value when there is one, "\n".
    void Trace(const char* text, const unsigned long* value = nullptr) noexcept;
    void PlatformError(const char* operation, platform::MidiResult code) noexcept;

    platform::MidiStreamOpener opener_;
    TraceHook trace_;
    ErrorHook error_;
    BufferReturnEvent bufferReturn_;

    // Guards everything below against the callback thread. stream_ is written under it, on
    // the owner's thread only.
    mutable std::mutex mutex_;
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    int format_ = 0;
    int division_ = 0;
    std::vector<Track> tracks_;
    bool playing_ = false;
    bool looping_ = false;
    std::unique_ptr<platform::MidiStream> stream_;
    std::uint32_t currentTick_ = 0;
    std::uint32_t bufferTickLength_ = 0;
    std::uint32_t tempo_ = 0;
    bool insertTempo_ = false;
    bool buffersPrepared_ = false;
    int currentBuffer_ = 0;
    // Buffers not queued on the stream (never queued, or handed back and not refilled).
    int returnedBuffers_ = kBufferCount;
    int callbackState_ = kStateNormal;
    StreamBuffer buffers_[kBufferCount];
    std::uint32_t converterStatus_ = 0;
    PendingEvent pending_;
    int eventBlocks_ = 0;
    bool atStart_ = false;          // no event converted since the tracks were rewound
    bool queuedFromStart_ = false;  // the set-up buffers begin at the start of the song
    std::uint32_t eventsWritten_ = 0;  // stream events written since the tracks were rewound
    // Music written since the tracks were rewound, in microseconds (counted up to
    // kMinimumRoundMicros only).
    std::uint64_t roundMicros_ = 0;
};

}  // namespace quillax
