// Writes small ZIP archives byte by byte for the unzip tests: stored or deflated entries with
// the DOS date, attributes and "version made by" that the reader must give back.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace quillax {
namespace testzip {

struct Entry {
    std::string name;
    std::string data;
    bool deflate = false;
    std::uint32_t dosDateTime = 0;   // date in the high 16 bits, time in the low ones
    std::uint32_t externalAttributes = 0;
    std::uint16_t versionMadeBy = 20;
};

inline void Put16(std::string& out, std::uint32_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

inline void Put32(std::string& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// Raw deflate (no zlib header), as ZIP method 8 stores it.
inline std::string Deflate(const std::string& data) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        return {};
    }
    std::vector<unsigned char> input(data.begin(), data.end());
    std::vector<unsigned char> output(deflateBound(&stream, static_cast<uLong>(input.size())) + 16);
    stream.next_in = input.data();
    stream.avail_in = static_cast<uInt>(input.size());
    stream.next_out = output.data();
    stream.avail_out = static_cast<uInt>(output.size());
    const int result = deflate(&stream, Z_FINISH);
    const std::size_t produced = output.size() - stream.avail_out;
    deflateEnd(&stream);
    if (result != Z_STREAM_END) {
        return {};
    }
    return std::string(output.begin(), output.begin() + static_cast<std::ptrdiff_t>(produced));
}

inline std::uint32_t Crc(const std::string& data) {
    return static_cast<std::uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

// The whole archive. corruptCrcOf names an entry whose recorded CRC is made wrong.
inline std::string BuildZip(const std::vector<Entry>& entries, const std::string& corruptCrcOf = {}) {
    std::string archive;
    std::string directory;
    for (const Entry& entry : entries) {
        const std::string packed = entry.deflate ? Deflate(entry.data) : entry.data;
        std::uint32_t crc = Crc(entry.data);
        if (entry.name == corruptCrcOf) {
            crc ^= 0x5A5A5A5Au;
        }
        const auto offset = static_cast<std::uint32_t>(archive.size());
        const std::uint32_t method = entry.deflate ? 8 : 0;

        Put32(archive, 0x04034b50);
        Put16(archive, 20);
        Put16(archive, 0);
        Put16(archive, method);
        Put16(archive, entry.dosDateTime & 0xFFFF);
        Put16(archive, entry.dosDateTime >> 16);
        Put32(archive, crc);
        Put32(archive, static_cast<std::uint32_t>(packed.size()));
        Put32(archive, static_cast<std::uint32_t>(entry.data.size()));
        Put16(archive, static_cast<std::uint32_t>(entry.name.size()));
        Put16(archive, 0);
        archive += entry.name;
        archive += packed;

        Put32(directory, 0x02014b50);
        Put16(directory, entry.versionMadeBy);
        Put16(directory, 20);
        Put16(directory, 0);
        Put16(directory, method);
        Put16(directory, entry.dosDateTime & 0xFFFF);
        Put16(directory, entry.dosDateTime >> 16);
        Put32(directory, crc);
        Put32(directory, static_cast<std::uint32_t>(packed.size()));
        Put32(directory, static_cast<std::uint32_t>(entry.data.size()));
        Put16(directory, static_cast<std::uint32_t>(entry.name.size()));
        Put16(directory, 0);
        Put16(directory, 0);
        Put16(directory, 0);
        Put16(directory, 0);
        Put32(directory, entry.externalAttributes);
        Put32(directory, offset);
        directory += entry.name;
    }
    const auto directoryOffset = static_cast<std::uint32_t>(archive.size());
    archive += directory;
    Put32(archive, 0x06054b50);
    Put16(archive, 0);
    Put16(archive, 0);
    Put16(archive, static_cast<std::uint32_t>(entries.size()));
    Put16(archive, static_cast<std::uint32_t>(entries.size()));
    Put32(archive, static_cast<std::uint32_t>(directory.size()));
    Put32(archive, directoryOffset);
    Put16(archive, 0);
    return archive;
}

inline bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace testzip
}  // namespace quillax
