// The song player's file parsing and converter, seen through the buffers it queues on a stream
// that keeps them (FakeStream): header and chunk checks, the track merge, running status, the
// buffer time, looping, the stuck converter and the stop hand-over.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "engine/midi/song_player.h"
#include "support/midi_song.h"

namespace quillax {
namespace {

using namespace quillax::testing;
using platform::kMidiEventTempo;

constexpr std::uint32_t kTempoWord = kMidiEventTempo << 24;

// A player on a FakeStream, with its song and its trace.
struct Rig {
    explicit Rig(Bytes bytes) : song(std::move(bytes)) {
        player.SetTraceHook([this](const std::string& line) { trace.push_back(line); });
        player.SetErrorHook([this](const char* operation, platform::MidiResult code) {
            errors.push_back(std::string(operation) + " " + std::to_string(code));
        });
    }
    bool Load() { return player.Load(song.data(), song.size()); }
    // Hands back buffers as played until none is queued (at most `limit`).
    void PlayOut(int limit = 1000) {
        for (int i = 0; i < limit && log->CompleteOne(); ++i) {
        }
    }
    std::vector<std::string> TraceWithout(const std::string& prefix) const {
        std::vector<std::string> lines;
        for (const std::string& line : trace) {
            if (line.rfind(prefix, 0) != 0) lines.push_back(line);
        }
        return lines;
    }

    Bytes song;
    std::shared_ptr<FakeStreamLog> log = std::make_shared<FakeStreamLog>();
    std::vector<std::string> trace;
    std::vector<std::string> errors;
    SongPlayer player{FakeOpener(log)};
};

// The channel messages of a list of stream events, with their absolute ticks.
std::vector<std::pair<std::uint32_t, std::uint32_t>> Messages(
    const std::vector<StreamEvent>& events) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> out;
    std::uint32_t tick = 0;
    for (const StreamEvent& e : events) {
        tick += e.delta;
        if ((e.word >> 24) == 0) out.emplace_back(tick, e.word);
    }
    return out;
}

std::vector<StreamEvent> Joined(std::vector<StreamEvent> first,
                                const std::vector<StreamEvent>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

template <typename T>
std::vector<T> Prefix(const std::vector<T>& all, std::size_t count) {
    return std::vector<T>(all.begin(),
                          all.begin() + static_cast<long>(std::min(count, all.size())));
}

Bytes OneNoteTrack() {
    return TrackChunk(TrackBody({{0, NoteOn(0, 60, 100)}, {10, NoteOn(0, 60, 0)}}));
}

TEST(SongPlayerLoad, ChecksHeaderAndChunks) {
    {
        Rig rig(Cat({Header(1, 1, 480), OneNoteTrack(), {0x00, 0x01, 0x02}}));
        ASSERT_TRUE(rig.Load()) << "trailing bytes after the tracks are ignored";
        EXPECT_EQ(rig.player.Format(), 1);
        EXPECT_EQ(rig.player.TrackCount(), 1);
        EXPECT_EQ(rig.player.Division(), 480);
        EXPECT_EQ(rig.log->division, 480u);
        EXPECT_EQ(rig.log->opened, 1);
        EXPECT_EQ(rig.log->queued.size(), 1u);
    }
    const Bytes body = TrackBody({{0, NoteOn(0, 60, 100)}});
    Bytes pastEnd =
        Cat({{'M', 'T', 'r', 'k'}, Big(static_cast<std::uint32_t>(body.size() + 1), 4), body});
    Bytes wrongMagic = Cat({Header(1, 1, 480), OneNoteTrack()});
    wrongMagic[3] = 'x';
    const std::vector<std::pair<const char*, Bytes>> bad = {
        {"header length 7", Cat({Header(1, 1, 480, 7), OneNoteTrack()})},
        {"header length 0", Cat({Header(1, 1, 480, 0), OneNoteTrack()})},
        {"no MThd", wrongMagic},
        {"short header", Bytes(wrongMagic.begin(), wrongMagic.begin() + 10)},
        {"other chunk instead of MTrk", Cat({Header(1, 1, 480), Chunk("MTrx", body)})},
        {"second track missing", Cat({Header(1, 2, 480), OneNoteTrack()})},
        {"track past the data", Cat({Header(1, 1, 480), pastEnd})},
        {"cut track header", Cat({Header(1, 1, 480), Bytes{'M', 'T', 'r', 'k', 0, 0}})},
        {"first delta cut", Cat({Header(1, 1, 480), TrackChunk({0x81})})},
    };
    for (const auto& [what, bytes] : bad) {
        Rig rig(bytes);
        EXPECT_FALSE(rig.Load()) << what;
        EXPECT_EQ(rig.log->opened, 0) << what;
        EXPECT_FALSE(rig.player.Play(true)) << what;
    }

    // A stream that cannot be opened: the error hook hears of it, Load fails.
    const Bytes song = Cat({Header(1, 1, 480), OneNoteTrack()});
    SongPlayer player([](platform::MidiStreamCallback, void*, platform::MidiResult* result) {
        *result = platform::kMidiNoDriver;
        return std::unique_ptr<platform::MidiStream>();
    });
    std::vector<std::string> errors;
    player.SetErrorHook([&](const char* operation, platform::MidiResult code) {
        errors.push_back(std::string(operation) + " " + std::to_string(code));
    });
    EXPECT_FALSE(player.Load(song.data(), song.size()));
    EXPECT_EQ(errors, std::vector<std::string>{"open 6"});
}

TEST(SongPlayerConvert, ZeroLengthTracksAreEndedFromTheStart) {
    Rig rig(Cat({Header(1, 3, 96), TrackChunk({}),
                 TrackChunk(TrackBody({{0, NoteOn(1, 64, 90)}, {30, NoteOn(1, 64, 0)}})),
                 TrackChunk({})}));
    ASSERT_TRUE(rig.Load());
    ASSERT_EQ(rig.log->queued.size(), 1u);
    EXPECT_EQ(rig.log->queued[0], (std::vector<StreamEvent>{{0, Word(NoteOn(1, 64, 90))},
                                                            {30, Word(NoteOn(1, 64, 0))}}));

    // A song of empty tracks ends at once, looping or not, instead of cycling empty buffers.
    for (bool looping : {false, true}) {
        Rig empty(Cat({Header(0, 1, 96), TrackChunk({})}));
        ASSERT_TRUE(empty.Load());
        ASSERT_EQ(empty.log->queued.size(), 1u);
        EXPECT_TRUE(empty.log->queued[0].empty());
        ASSERT_TRUE(empty.player.Play(looping));
        EXPECT_TRUE(empty.log->CompleteOne());
        EXPECT_FALSE(empty.player.IsPlaying()) << looping;
        EXPECT_EQ(empty.player.CallbackState(), SongPlayer::kStateCallbackFinished);
        EXPECT_EQ(empty.log->queued.size(), 1u) << looping;
    }
}

TEST(SongPlayerConvert, MergesTracksWithTiesToTheLowerTrack) {
    Rig rig(Cat({Header(1, 3, 480),
                 TrackChunk(TrackBody({{0, NoteOn(0, 60, 1)}, {20, NoteOn(0, 61, 1)}})),
                 TrackChunk(TrackBody({{0, NoteOn(1, 62, 1)}, {10, NoteOn(1, 63, 1)},
                                       {20, NoteOn(1, 64, 1)}})),
                 TrackChunk(TrackBody({{0, NoteOn(2, 65, 1)}, {20, NoteOn(2, 66, 1)}}))}));
    ASSERT_TRUE(rig.Load());
    ASSERT_TRUE(rig.player.Play(false));
    rig.PlayOut();
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> expected = {
        {0, Word(NoteOn(0, 60, 1))},  {0, Word(NoteOn(1, 62, 1))},  {0, Word(NoteOn(2, 65, 1))},
        {10, Word(NoteOn(1, 63, 1))}, {20, Word(NoteOn(0, 61, 1))}, {20, Word(NoteOn(1, 64, 1))},
        {20, Word(NoteOn(2, 66, 1))}};
    EXPECT_EQ(Messages(rig.log->AllQueued()), expected);
    EXPECT_FALSE(rig.player.IsPlaying());
}

TEST(SongPlayerConvert, RunningStatusSurvivesMetaAndSysexWhoseTimeIsKept) {
    const Bytes body = {0x00, 0x90, 0x3C, 0x40,                    // note on at 0
                        0x10, 0xFF, 0x01, 0x03, 'a', 'b', 'c',     // text at 0x10
                        0x00, 0xF0, 0x02, 0x7E, 0xF7,              // sysex at 0x10
                        0x10, 0x3E, 0x40,                          // running status at 0x20
                        0x00, 0xC5, 0x05,                          // program change at 0x20
                        0x10, 0x07,                                // running, one byte, 0x30
                        0x00, 0xFF, 0x2F, 0x00};
    Rig rig(Cat({Header(0, 1, 96), TrackChunk(body)}));
    ASSERT_TRUE(rig.Load());
    ASSERT_EQ(rig.log->queued.size(), 2u);
    EXPECT_EQ(
        rig.log->AllQueued(),
        (std::vector<StreamEvent>{{0, 0x403C90}, {0x20, 0x403E90}, {0, 0x05C5}, {0x10, 0x07C5}}));
    EXPECT_EQ(rig.player.EventBlocksAllocated(), 0);
    EXPECT_TRUE(rig.trace.empty());
}

TEST(SongPlayerConvert, DataByteWithoutRunningStatusIsATrackError) {
    // At the very start: the set-up fails, so Load does.
    const Bytes start = {0x00, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00};
    Rig first(Cat({Header(0, 1, 96), TrackChunk(start)}));
    EXPECT_FALSE(first.Load());
    EXPECT_EQ(first.trace, (std::vector<std::string>{"Track buffer offset 2\n",
                                                     "Track total length 7\n",
                                                     "Reference to missing running status.\n"}));

    // In the middle: the converter sticks, the queued music plays out, the player counts as
    // playing until it is stopped, and Stop does not wait for buffers that never come.
    std::vector<TimedEvent> notes = {{0, TempoMeta(500000)}};
    for (std::uint32_t tick = 0; tick <= 1200; tick += 60)
        notes.push_back({tick, NoteOn(0, 60, 1)});
    const Bytes late = {0x84, 0x58, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00};  // data byte at 600
    Rig rig(Cat({Header(1, 2, 480), TrackChunk(TrackBody(notes)), TrackChunk(late)}));
    ASSERT_TRUE(rig.Load());
    ASSERT_TRUE(rig.player.Play(false));
    rig.PlayOut();
    EXPECT_EQ(rig.TraceWithout("m_dw"), (std::vector<std::string>{
                                            "Track buffer offset 3\n", "Track total length 8\n",
                                            "Reference to missing running status.\n"}));
    const auto messages = Messages(rig.log->AllQueued());
    ASSERT_FALSE(messages.empty());
    EXPECT_LE(messages.back().first, 600u);
    EXPECT_GE(messages.back().first, 420u);
    EXPECT_TRUE(rig.log->queue.empty());
    EXPECT_TRUE(rig.player.IsPlaying());
    const std::size_t queuedBefore = rig.log->queued.size();
    EXPECT_TRUE(rig.player.Stop(true));
    EXPECT_EQ(rig.player.CallbackState(), SongPlayer::kStateNormal);
    EXPECT_EQ(rig.log->closed, 1);
    EXPECT_EQ(rig.log->opened, 2);
    // Set up again from the start (the song was not looping).
    ASSERT_GT(rig.log->queued.size(), queuedBefore);
    EXPECT_EQ(rig.log->queued[queuedBefore], rig.log->queued[0]);
}

TEST(SongPlayerConvert, BadEventsFailCleanly) {
    // A sysex length far beyond the data is caught before anything is allocated.
    Rig sysex(
        Cat({Header(0, 1, 96), TrackChunk({0x00, 0xF0, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0x01})}));
    EXPECT_FALSE(sysex.Load());
    EXPECT_EQ(sysex.trace.back(), "SysEx event truncated\n");
    Rig sysexLength(Cat({Header(0, 1, 96), TrackChunk({0x00, 0xF0, 0x81})}));
    EXPECT_FALSE(sysexLength.Load());
    EXPECT_EQ(sysexLength.trace.back(), "SysEx event truncated (length)\n");
    Rig meta(Cat({Header(0, 1, 96), TrackChunk({0x00, 0xFF, 0x01, 0x05, 'a'})}));
    EXPECT_FALSE(meta.Load());
    EXPECT_EQ(meta.trace.back(), "Meta event truncated\n");
    Rig metaLength(Cat({Header(0, 1, 96), TrackChunk({0x00, 0xFF, 0x01})}));
    EXPECT_FALSE(metaLength.Load());
    EXPECT_EQ(metaLength.trace.back(), "Meta event truncated (length)\n");
    // An undefined status byte fails without a message.
    Rig status(Cat({Header(0, 1, 96), TrackChunk({0x00, 0xF4, 0x00, 0xFF, 0x2F, 0x00})}));
    EXPECT_FALSE(status.Load());
    EXPECT_TRUE(status.trace.empty());

    // A tempo of 0 or with fewer than three bytes is skipped like any other meta event.
    Rig tempo(Cat({Header(0, 1, 96),
                   TrackChunk(TrackBody({{0, {0xFF, 0x51, 0x03, 0, 0, 0}},
                                         {5, {0xFF, 0x51, 0x01, 0x10}},
                                         {10, NoteOn(0, 60, 1)}}))}));
    ASSERT_TRUE(tempo.Load());
    EXPECT_EQ(tempo.log->AllQueued(), (std::vector<StreamEvent>{{10, Word(NoteOn(0, 60, 1))}}));
    EXPECT_EQ(tempo.player.EventBlocksAllocated(), 0);
}

TEST(SongPlayerConvert, BuffersCloseByTheBufferTime) {
    std::vector<TimedEvent> events;
    for (std::uint32_t tick = 0; tick < 100; tick += 10) events.push_back({tick, NoteOn(0, 60, 1)});
    events.push_back({100, TempoMeta(500000)});
    for (std::uint32_t tick = 110; tick <= 400; tick += 10)
        events.push_back({tick, NoteOn(0, 61, 1)});
    Rig rig(Cat({Header(0, 1, 480), TrackChunk(TrackBody(events))}));
    ASSERT_TRUE(rig.Load());
    // Before the first tempo the buffer time is 0 ticks: a buffer closes once it holds an event
    // later than its start and one more.
    const std::uint32_t c = Word(NoteOn(0, 60, 1));
    ASSERT_EQ(rig.log->queued.size(), 2u);
    EXPECT_EQ(rig.log->queued[0], (std::vector<StreamEvent>{{0, c}, {10, c}, {10, c}}));
    EXPECT_EQ(rig.log->queued[1], (std::vector<StreamEvent>{{10, c}, {10, c}}));

    ASSERT_TRUE(rig.player.Play(false));
    rig.PlayOut();
    // 480 ticks a quarter at 500,000 us: 60 ms are 57 ticks.
    EXPECT_EQ(rig.trace, std::vector<std::string>{"m_dwBufferTickLength = 57\n"});
    // From the tempo on, a buffer spans more than 57 ticks: it closes after the first event
    // past that and one more, 10 ticks apart here.
    for (std::size_t i = 0; i < rig.log->queued.size(); ++i) {
        const auto messages = Messages(rig.log->queued[i]);
        if (messages.empty() || i + 1 == rig.log->queued.size()) continue;
        std::uint32_t tick = 0;
        for (std::size_t j = 0; j < i; ++j) {
            for (const StreamEvent& e : rig.log->queued[j]) tick += e.delta;
        }
        if (tick < 100) continue;
        std::uint32_t span = 0;
        for (std::size_t j = 1; j < rig.log->queued[i].size(); ++j)
            span += rig.log->queued[i][j].delta;
        EXPECT_GE(span, 60u) << "buffer " << i;
        EXPECT_LE(span, 80u) << "buffer " << i;
    }
    const auto messages = Messages(rig.log->AllQueued());
    EXPECT_EQ(messages.size(), 40u);
    EXPECT_EQ(messages.back().first, 400u);
}

TEST(SongPlayerConvert, ShortSongQueuesOneBufferAndLoopsWithDeltasFromZero) {
    const Bytes song = Cat({Header(0, 1, 480),
                            TrackChunk(TrackBody({{0, TempoMeta(500000)},
                                                  {5, NoteOn(0, 60, 90)},
                                                  {20, NoteOn(0, 60, 0)},
                                                  {40, NoteOn(0, 62, 90)},
                                                  {60, NoteOn(0, 62, 0)}}))});
    const std::vector<StreamEvent> once = {{0, kTempoWord | 500000},
                                           {5, Word(NoteOn(0, 60, 90))},
                                           {15, Word(NoteOn(0, 60, 0))},
                                           {20, Word(NoteOn(0, 62, 90))},
                                           {20, Word(NoteOn(0, 62, 0))}};
    {
        Rig rig(song);
        ASSERT_TRUE(rig.Load());
        ASSERT_EQ(rig.log->queued.size(), 1u);
        EXPECT_EQ(rig.log->queued[0], once);
        ASSERT_TRUE(rig.player.Play(true));
        ASSERT_TRUE(rig.log->CompleteOne());
        // Both buffers are back in play, each holding the whole song again from tick 0; the
        // first refill of a play also repeats the tempo in force.
        ASSERT_EQ(rig.log->queued.size(), 3u);
        EXPECT_EQ(rig.log->queued[1], Joined({{0, kTempoWord | 500000}}, once));
        EXPECT_EQ(rig.log->queued[2], once);
        ASSERT_TRUE(rig.log->CompleteOne());
        EXPECT_EQ(rig.log->queued.size(), 4u);
        EXPECT_TRUE(rig.player.IsPlaying());
        EXPECT_TRUE(rig.player.Stop(false));
        EXPECT_EQ(rig.log->closed, 1);
    }
    {
        Rig rig(song);
        ASSERT_TRUE(rig.Load());
        ASSERT_TRUE(rig.player.Play(false));
        ASSERT_TRUE(rig.log->CompleteOne());
        EXPECT_FALSE(rig.player.IsPlaying());
        EXPECT_EQ(rig.log->queued.size(), 1u);
        // Played again: set up afresh from the start.
        ASSERT_TRUE(rig.player.Play(false));
        EXPECT_EQ(rig.log->opened, 2);
        EXPECT_EQ(rig.log->restarts, 2);
        ASSERT_EQ(rig.log->queued.size(), 2u);
        EXPECT_EQ(rig.log->queued[1], Joined({{0, kTempoWord | 500000}}, once));
    }
}

TEST(SongPlayerConvert, LoopingSongWithoutDurationPlaysOnce) {
    // Every event at tick 0: a round takes no time, so looping it would replay for ever at one
    // instant. It plays once and ends like a song that does not loop.
    const Bytes song = Cat({Header(0, 1, 480),
                            TrackChunk(TrackBody({{0, TempoMeta(500000)},
                                                  {0, NoteOn(0, 60, 90)},
                                                  {0, NoteOn(0, 60, 0)}}))});
    Rig rig(song);
    ASSERT_TRUE(rig.Load());
    ASSERT_TRUE(rig.player.Play(true));
    for (int i = 0; i < 10 && rig.log->CompleteOne(); ++i) {
    }
    EXPECT_FALSE(rig.player.IsPlaying());
    EXPECT_LT(rig.log->queued.size(), 4u);
}

// A song long enough for many buffers: a tempo at 0, a note every 40 ticks.
Bytes LongSong(std::uint32_t tempo, std::uint32_t lastTick = 2000) {
    std::vector<TimedEvent> events = {{0, TempoMeta(tempo)}};
    for (std::uint32_t tick = 0; tick <= lastTick; tick += 40) {
        events.push_back({tick, NoteOn(0, static_cast<int>(40 + tick / 40 % 60), 64)});
    }
    return Cat({Header(0, 1, 480), TrackChunk(TrackBody(events))});
}

TEST(SongPlayerConvert, TempoIsRepeatedAfterAPlayWithoutLooping) {
    Rig rig(LongSong(600000));
    ASSERT_TRUE(rig.Load());
    const auto firstOfLatest = [&] { return rig.log->queued.back().at(0); };
    ASSERT_TRUE(rig.player.Play(false));  // the first play counts as following one without looping
    ASSERT_TRUE(rig.log->CompleteOne());
    EXPECT_EQ(firstOfLatest(), (StreamEvent{0, kTempoWord | 600000}));
    ASSERT_TRUE(rig.log->CompleteOne());
    EXPECT_NE(firstOfLatest().word >> 24, kMidiEventTempo) << "only once per play";

    ASSERT_TRUE(rig.player.Stop(true));
    ASSERT_TRUE(rig.player.Play(true));  // the previous play did not loop
    ASSERT_TRUE(rig.log->CompleteOne());
    EXPECT_EQ(firstOfLatest(), (StreamEvent{0, kTempoWord | 600000}));

    ASSERT_TRUE(rig.player.Stop(true));
    ASSERT_TRUE(rig.player.Play(true));  // the previous play looped
    ASSERT_TRUE(rig.log->CompleteOne());
    EXPECT_NE(firstOfLatest().word >> 24, kMidiEventTempo);
}

TEST(SongPlayerConvert, RewindNeverRepeatsNorSkipsMusic) {
    const Bytes song = LongSong(500000);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> whole;
    {
        Rig reference(song);
        ASSERT_TRUE(reference.Load());
        ASSERT_TRUE(reference.player.Play(false));
        reference.PlayOut();
        whole = Messages(reference.log->AllQueued());
        ASSERT_EQ(whole.size(), 51u);
    }

    // Rewind right after Load (what the wheel popup does on its first show).
    Rig rig(song);
    ASSERT_TRUE(rig.Load());
    ASSERT_TRUE(rig.player.Rewind());
    ASSERT_TRUE(rig.player.Play(true));
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(rig.log->CompleteOne());
    const auto played = Messages(rig.log->AllQueued());
    ASSERT_GT(played.size(), 8u);
    EXPECT_EQ(played, Prefix(whole, played.size()));

    // Stopped while looping, the buffers are set up again where the song stood; a Rewind
    // then sets them up from the start, so the next show begins at the beginning.
    ASSERT_TRUE(rig.player.Stop(true));
    const std::size_t afterStop = rig.log->queued.size();
    ASSERT_TRUE(rig.player.Rewind());
    EXPECT_EQ(rig.log->opened, 3);
    ASSERT_GT(rig.log->queued.size(), afterStop);
    ASSERT_TRUE(rig.player.Play(true));
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(rig.log->CompleteOne());
    std::vector<StreamEvent> again;
    for (std::size_t i = afterStop; i < rig.log->queued.size(); ++i) {
        again.insert(again.end(), rig.log->queued[i].begin(), rig.log->queued[i].end());
    }
    const auto replayed = Messages(again);
    ASSERT_GT(replayed.size(), 8u);
    EXPECT_EQ(replayed, Prefix(whole, replayed.size()));
}

TEST(SongPlayerStop, GivesUpWaitingAfterTwoSecondsAndStillCloses) {
    Rig rig(LongSong(500000));
    rig.log->returnOnStop = false;  // a stream that never answers a stop
    ASSERT_TRUE(rig.Load());
    ASSERT_TRUE(rig.player.Play(true));
    EXPECT_TRUE(rig.player.Stop(false));
    EXPECT_EQ(rig.log->closed, 1);
    EXPECT_EQ(rig.log->stops, 1);
    EXPECT_EQ(rig.log->resets, 1);
    EXPECT_EQ(rig.player.CallbackState(), SongPlayer::kStateNormal);
    EXPECT_FALSE(rig.player.IsPlaying());
    // A second stop has nothing left to do.
    EXPECT_TRUE(rig.player.Stop(false));
    EXPECT_EQ(rig.log->closed, 1);
}

// A set-up that fails before anything is queued (here the stream refuses the song's SMPTE time
// division) leaves nothing to wait for: Stop, a new Load and the destructor close the stream at
// once instead of waiting out the two seconds for buffers that were never queued.
TEST(SongPlayerStop, FailedSetUpLeavesNothingToWaitFor) {
    Rig rig(Cat({Header(1, 1, 0xE728), OneNoteTrack()}));
    rig.log->divisionResult = platform::kMidiInvalidParam;
    rig.log->returnOnStop = false;
    std::vector<std::string> errors;
    rig.player.SetErrorHook([&](const char* operation, platform::MidiResult code) {
        errors.push_back(std::string(operation) + " " + std::to_string(code));
    });
    ASSERT_FALSE(rig.Load());
    EXPECT_EQ(errors, std::vector<std::string>{"time division " +
                                               std::to_string(platform::kMidiInvalidParam)});
    EXPECT_EQ(rig.log->opened, 1);
    EXPECT_TRUE(rig.log->queued.empty());

    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(rig.player.Stop(false));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_LT(waited, std::chrono::milliseconds(SongPlayer::kStopWaitMilliseconds / 2));
    EXPECT_EQ(rig.log->closed, 1);
    EXPECT_EQ(rig.player.CallbackState(), SongPlayer::kStateNormal);
}

// Damaged copies of a song: Load and a full conversion pass never read outside the data nor
// lose track of event blocks, whatever the bytes (run under the sanitizers in CI).
TEST(SongPlayerConvert, DamagedSongsAreHandledSafely) {
    const Bytes original = Cat({Header(1, 2, 480), TrackChunk(TrackBody({
        {0, TempoMeta(400000)}, {0, {0xFF, 0x03, 0x04, 'n', 'a', 'm', 'e'}},
        {0, {0xF0, 0x03, 0x7E, 0x10, 0xF7}}, {0, {0xC0, 0x05}}, {10, NoteOn(0, 60, 80)},
        {100, NoteOn(0, 60, 0)}, {120, {0xE0, 0x00, 0x40}}, {200, TempoMeta(300000)},
        {240, {0xB0, 0x07, 0x64}}, {300, NoteOn(0, 62, 80)}, {400, {0xD0, 0x20}}})),
        TrackChunk(TrackBody({{5, NoteOn(1, 40, 70)}, {50, NoteOn(1, 40, 0)},
                              {60, {0xF7, 0x01, 0x01}}, {80, NoteOn(1, 43, 70)}}))});
    std::mt19937 random(20240607);
    for (int round = 0; round < 3000; ++round) {
        Bytes song = original;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < changes && !song.empty(); ++i) {
            const std::size_t at = random() % song.size();
            switch (random() % 3) {
            case 0: song[at] = static_cast<std::uint8_t>(random()); break;
            case 1: song.erase(song.begin() + static_cast<long>(at)); break;
            default: song.resize(at); break;
            }
        }
        if (song.empty()) continue;
        Rig rig(song);
        if (!rig.Load()) continue;
        ASSERT_TRUE(rig.player.Play(round % 2 == 0));
        rig.PlayOut(40);
        ASSERT_TRUE(rig.player.Rewind());
        rig.PlayOut(10);
        ASSERT_TRUE(rig.player.Stop(false));
        for (const auto& buffer : rig.log->queued) {
            ASSERT_LE(buffer.size(), SongPlayer::kBufferSize / 12);
        }
    }
}

}  // namespace
}  // namespace quillax
