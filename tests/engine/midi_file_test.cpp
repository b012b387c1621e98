// Reading a Standard MIDI File: the track table and the reads inside one track, which never
// run into the next track.
#include <gtest/gtest.h>

#include <cstdint>

#include "engine/midi/midi_file.h"
#include "support/midi_song.h"

namespace quillax {
namespace {

using testing::Bytes;
using testing::Cat;
using testing::Header;
using testing::TrackChunk;
using testing::Vlq;

TEST(MidiFileTest, TheTrackTableSpansEachChunkAndNothingElse) {
    // Two tracks: the first an empty chunk, the second a delta of 200 (two bytes) and a note.
    const Bytes song = Cat({Header(1, 2, 96), TrackChunk({}),
                            TrackChunk(Cat({Vlq(200), {0x90, 60, 100}})), {0xAA, 0xBB}});
    MidiFileLayout layout;
    ASSERT_TRUE(ReadMidiFileLayout(song.data(), song.size(), layout));
    EXPECT_EQ(layout.format, 1);
    EXPECT_EQ(layout.division, 96);
    ASSERT_EQ(layout.tracks.size(), 2u);
    EXPECT_EQ(layout.tracks[0].start, 22u);  // 14 header bytes, 8 chunk header bytes
    EXPECT_EQ(layout.tracks[0].length, 0u);
    EXPECT_EQ(layout.tracks[1].start, 30u);
    EXPECT_EQ(layout.tracks[1].length, 5u);

    // The empty track ends at once; the other stands at its first event, tick 200.
    MidiTrack& empty = layout.tracks[0];
    ASSERT_TRUE(RestartTrack(song.data(), empty));
    EXPECT_EQ(empty.flags, MidiTrack::kEnded);
    MidiTrack& notes = layout.tracks[1];
    notes.runningStatus = 0x90;
    notes.flags = MidiTrack::kEnded;
    ASSERT_TRUE(RestartTrack(song.data(), notes));
    EXPECT_EQ(notes.nextTick, 200u);
    EXPECT_EQ(notes.flags, 0u);
    EXPECT_EQ(notes.runningStatus, 0);
    std::uint8_t byte = 0;
    for (const int expected : {0x90, 60, 100}) {
        ASSERT_TRUE(ReadTrackByte(song.data(), notes, byte));
        EXPECT_EQ(byte, expected);
    }
    // The bytes after the track belong to no track.
    EXPECT_FALSE(ReadTrackByte(song.data(), notes, byte));
    EXPECT_EQ(notes.cursor, 35u);

    // A layout that fails leaves the one given untouched.
    const Bytes cut(song.begin(), song.begin() + 33);
    EXPECT_FALSE(ReadMidiFileLayout(cut.data(), cut.size(), layout));
    EXPECT_EQ(layout.tracks.size(), 2u);
    EXPECT_FALSE(ReadMidiFileLayout(nullptr, 0, layout));
}

TEST(MidiFileTest, VariableLengthNumbersStopAtTheEndOfTheirTrack) {
    // The largest four-byte number, then a number whose continuation bytes run out in the
    // track although the song goes on (the next chunk's bytes must not be read).
    const Bytes song = Cat({Header(0, 2, 96), TrackChunk(Cat({Vlq(0x0FFFFFFF), {0x81, 0x80}})),
                            TrackChunk({0x00, 0xFF, 0x2F, 0x00})});
    MidiFileLayout layout;
    ASSERT_TRUE(ReadMidiFileLayout(song.data(), song.size(), layout));
    MidiTrack& track = layout.tracks[0];
    std::uint32_t value = 0;
    ASSERT_TRUE(ReadVariableLength(song.data(), track, value));
    EXPECT_EQ(value, 0x0FFFFFFFu);
    EXPECT_FALSE(ReadVariableLength(song.data(), track, value));
    EXPECT_EQ(track.cursor, track.start + track.length);

    // A track whose first delta is cut cannot be restarted.
    const Bytes cutDelta = Cat({Header(0, 1, 96), TrackChunk({0x81})});
    ASSERT_TRUE(ReadMidiFileLayout(cutDelta.data(), cutDelta.size(), layout));
    EXPECT_FALSE(RestartTrack(cutDelta.data(), layout.tracks[0]));

    // Program change and channel pressure carry one data byte, on every channel.
    for (int channel = 0; channel < 16; ++channel) {
        EXPECT_TRUE(HasOneDataByte(static_cast<std::uint8_t>(0xC0 | channel)));
        EXPECT_TRUE(HasOneDataByte(static_cast<std::uint8_t>(0xD0 | channel)));
        EXPECT_FALSE(HasOneDataByte(static_cast<std::uint8_t>(0x90 | channel)));
        EXPECT_FALSE(HasOneDataByte(static_cast<std::uint8_t>(0xE0 | channel)));
    }
}

}  // namespace
}  // namespace quillax
