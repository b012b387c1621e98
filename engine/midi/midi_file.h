// Reading a Standard MIDI File held in memory: the header and the track table, and the bytes
// and variable-length numbers of one track. Nothing here owns or copies the song: a track is
// a span of offsets into it, with the read position and the running status of the reader.
//
// No function throws; a read past the end of a track or of the song is a result (false).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillax {

// Meta event types the player acts on.
constexpr std::uint8_t kMetaEndOfTrack = 0x2F;
constexpr std::uint8_t kMetaTempo = 0x51;

// One track ("MTrk" chunk) of a song and the reader's place in it.
struct MidiTrack {
    static constexpr std::uint32_t kEnded = 1;  // flags: the end-of-track event was read

    std::uint32_t flags = 0;
    std::uint32_t length = 0;
    std::size_t start = 0;   // offset of the track's data in the song (after "MTrk" + length)
    std::size_t cursor = 0;  // offset of the next byte to read
    std::uint32_t nextTick = 0;
    std::uint8_t runningStatus = 0;
};

// The header chunk ("MThd") and the track table of a song.
struct MidiFileLayout {
    int format = 0;
    int division = 0;  // ticks per quarter note, or SMPTE frames (negative high byte) x ticks
    std::vector<MidiTrack> tracks;
};

// Reads the header and the track table of the song of size bytes at data: a header chunk of
// length 6, then as many "MTrk" chunks as it announces, each wholly inside the song (bytes
// after the last are ignored). False for anything else, or when the table cannot be allocated.
bool ReadMidiFileLayout(const std::uint8_t* data, std::size_t size, MidiFileLayout& layout);

// The next byte of track in song; false at the track's end.
bool ReadTrackByte(const std::uint8_t* song, MidiTrack& track, std::uint8_t& value);

// A variable-length number (7 bits a byte, high bit set on all but the last) of track.
bool ReadVariableLength(const std::uint8_t* song, MidiTrack& track, std::uint32_t& value);

// Puts track back to its start and reads the delta time of its first event into nextTick; an
// empty track is ended at once. False when that delta time runs past the track's end.
bool RestartTrack(const std::uint8_t* song, MidiTrack& track);

// Program change and channel pressure carry one data byte, the other channel messages two.
bool HasOneDataByte(std::uint8_t status);

}  // namespace quillax
