#include "engine/midi/midi_file.h"

#include <cstring>
#include <utility>

namespace quillax {

namespace {

std::uint32_t Big32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

int Big16(const std::uint8_t* p) { return p[0] << 8 | p[1]; }

}  // namespace

bool ReadMidiFileLayout(const std::uint8_t* data, std::size_t size, MidiFileLayout& layout) {
    if (data == nullptr || size < 14 || std::memcmp(data, "MThd", 4) != 0 ||
        Big32(data + 4) != 6) {
        return false;
    }
    const int format = Big16(data + 8);
    const int trackCount = Big16(data + 10);
    const int division = Big16(data + 12);

    std::vector<MidiTrack> tracks;
    try {
        tracks.resize(static_cast<std::size_t>(trackCount));
    } catch (...) {
        return false;
    }
    std::size_t offset = 14;
    for (MidiTrack& track : tracks) {
        if (size - offset < 8 || std::memcmp(data + offset, "MTrk", 4) != 0) return false;
        const std::uint32_t length = Big32(data + offset + 4);
        if (size - offset - 8 < length) return false;
        track.length = length;
        track.start = offset + 8;
        track.cursor = track.start;
        offset = track.start + length;
    }
    layout.format = format;
    layout.division = division;
    layout.tracks = std::move(tracks);
    return true;
}

bool ReadTrackByte(const std::uint8_t* song, MidiTrack& track, std::uint8_t& value) {
    if (track.cursor >= track.start + track.length) return false;
    value = song[track.cursor++];
    return true;
}

bool ReadVariableLength(const std::uint8_t* song, MidiTrack& track, std::uint32_t& value) {
    value = 0;
    std::uint8_t byte = 0;
    do {
        if (!ReadTrackByte(song, track, byte)) return false;
        value = value << 7 | (byte & 0x7Fu);
    } while ((byte & 0x80) != 0);
    return true;
}

bool RestartTrack(const std::uint8_t* song, MidiTrack& track) {
    track.cursor = track.start;
    track.runningStatus = 0;
    track.nextTick = 0;
    track.flags = 0;
    if (track.length == 0) {
        track.flags |= MidiTrack::kEnded;
        return true;
    }
    return ReadVariableLength(song, track, track.nextTick);
}

bool HasOneDataByte(std::uint8_t status) {
    return (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0;
}

}  // namespace quillax
