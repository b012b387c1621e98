// Fuzz target: archive entry names and extraction. The input is either taken as the archive
// itself or describes one (entries with hostile names, stored or deflated data, attributes,
// times and extra fields), which the target writes as a ZIP file and extracts into a directory
// three levels below the scratch directory, that directory also being the working directory.
//
// Checked: CleanEntryName + ContainedPath keep no root, drive, "." or ".." part; after the
// extraction nothing exists outside the working directory but the archive, no symbolic link
// was made, and file entries landed flat in the base directory or not at all.
#include <fuzzer/FuzzedDataProvider.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/files.h"
#include "updater/archive.h"

namespace {

using namespace quillax;
using fuzzing::Finding;

constexpr const char* kName = "archive_fuzz";

void Put16(std::string& out, unsigned v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

std::string Deflate(const std::string& data) {
    z_stream z{};
    if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return data;
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

struct Entry {
    std::string name;
    std::string data;
    std::string extra;
    bool deflated = false;
    unsigned madeBy = 0;
    std::uint32_t external = 0;
    unsigned dosTime = 0;
    unsigned dosDate = 0;
};

std::string BuildZip(const std::vector<Entry>& entries) {
    std::string zip;
    std::string central;
    for (const Entry& e : entries) {
        const std::string stored = e.deflated ? Deflate(e.data) : e.data;
        const auto crc = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
        const auto offset = static_cast<std::uint32_t>(zip.size());
        const unsigned method = e.deflated ? 8 : 0;
        Put32(zip, 0x04034b50);
        Put16(zip, 20);
        Put16(zip, 0);
        Put16(zip, method);
        Put16(zip, e.dosTime);
        Put16(zip, e.dosDate);
        Put32(zip, crc);
        Put32(zip, static_cast<std::uint32_t>(stored.size()));
        Put32(zip, static_cast<std::uint32_t>(e.data.size()));
        Put16(zip, static_cast<unsigned>(e.name.size()));
        Put16(zip, static_cast<unsigned>(e.extra.size()));
        zip += e.name + e.extra + stored;

        Put32(central, 0x02014b50);
        Put16(central, e.madeBy);
        Put16(central, 20);
        Put16(central, 0);
        Put16(central, method);
        Put16(central, e.dosTime);
        Put16(central, e.dosDate);
        Put32(central, crc);
        Put32(central, static_cast<std::uint32_t>(stored.size()));
        Put32(central, static_cast<std::uint32_t>(e.data.size()));
        Put16(central, static_cast<unsigned>(e.name.size()));
        Put16(central, static_cast<unsigned>(e.extra.size()));
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put32(central, e.external);
        Put32(central, offset);
        central += e.name + e.extra;
    }
    const auto centralAt = static_cast<std::uint32_t>(zip.size());
    zip += central;
    Put32(zip, 0x06054b50);
    Put16(zip, 0);
    Put16(zip, 0);
    Put16(zip, static_cast<unsigned>(entries.size()));
    Put16(zip, static_cast<unsigned>(entries.size()));
    Put32(zip, static_cast<std::uint32_t>(central.size()));
    Put32(zip, centralAt);
    Put16(zip, 0);
    return zip;
}

void CheckCleanName(std::string_view name) {
    // Split below at every separator byte: only names without GBK characters, whose trail
    // bytes may be 0x5C.
    for (const char c : name) {
        if (static_cast<unsigned char>(c) >= 0x80) return;
    }
    const GbString safe = ContainedPath(CleanEntryName(name).view());
    const std::string_view s = safe.view();
    if (!s.empty() && (s.front() == '\\' || s.front() == '/')) Finding(kName, "a contained path from the root");
    std::size_t start = 0;
    while (start <= s.size()) {
        std::size_t end = s.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = s.size();
        const std::string_view part = s.substr(start, end - start);
        if (part == "." || part == ".." || (part.empty() && !s.empty())) {
            Finding(kName, "a contained path keeps an empty, \".\" or \"..\" part");
        }
        if (start == 0 && part.size() == 2 && part[1] == ':') Finding(kName, "a contained path keeps a drive");
        start = end + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string top = fuzzing::ScratchDirectory() + "/a";
    static const std::string work = top + "/b/c/work";
    static const std::string archive = top + "/b/c/archive.zip";

    FuzzedDataProvider input(data, size);
    const std::uint8_t mode = input.ConsumeIntegral<std::uint8_t>();
    std::string zip;
    std::vector<Entry> entries;
    if ((mode & 1) != 0) {
        zip = input.ConsumeRemainingBytesAsString();
    } else {
        const int count = input.ConsumeIntegralInRange<int>(1, 6);
        for (int i = 0; i < count && input.remaining_bytes() > 0; ++i) {
            Entry e;
            e.name = input.ConsumeRandomLengthString(300);
            e.deflated = input.ConsumeBool();
            e.madeBy = input.ConsumeIntegral<std::uint16_t>();
            e.external = input.ConsumeIntegral<std::uint32_t>();
            e.dosTime = input.ConsumeIntegral<std::uint16_t>();
            e.dosDate = input.ConsumeIntegral<std::uint16_t>();
            e.extra = input.ConsumeRandomLengthString(40);
            e.data = input.ConsumeRandomLengthString(200);
            CheckCleanName(e.name);
            (void)EntryAttributes(static_cast<std::uint16_t>(e.madeBy), e.external);
            entries.push_back(std::move(e));
        }
        zip = BuildZip(entries);
    }

    fuzzing::ResetDirectory(top);
    fuzzing::ResetDirectory(work + "/base");
    fuzzing::PutFile(archive, zip);
    ExtractSummary summary;
    {
        const fuzzing::WorkingDirectory inWork(work);
        summary = ExtractArchive(archive, work + "/base/");
    }

    int filesInBase = 0;
    constexpr std::string_view kBase = "b/c/work/base/";
    for (const std::string& path : fuzzing::ListTree(top)) {
        if (fuzzing::IsLinkEntry(path)) {
            std::fprintf(stderr, "link: %s\n", path.c_str());
            Finding(kName, "extraction made a symbolic link");
        }
        if (path == "b/" || path == "b/c/" || path == "b/c/archive.zip" || path == "b/c/work/" ||
            path == "b/c/work/base/") {
            continue;
        }
        if (path.rfind("b/c/work/", 0) != 0) {
            std::fprintf(stderr, "written outside: %s\n", path.c_str());
            Finding(kName, "extraction wrote outside the working directory");
        }
        if (path.back() != '/') {
            if (path.rfind(kBase, 0) != 0 || path.find('/', kBase.size()) != std::string::npos) {
                std::fprintf(stderr, "file not in the base directory: %s\n", path.c_str());
                Finding(kName, "a file entry was not written flat into the base directory");
            }
            ++filesInBase;
        }
    }
    if (summary.files > 0 && filesInBase == 0) Finding(kName, "a file entry was written but is not in the base directory");
    if (summary.files + summary.directories + summary.failed > 0 && !summary.opened) {
        Finding(kName, "entries counted in an archive that did not open");
    }
    if (!entries.empty() && !summary.opened) Finding(kName, "a well-formed archive did not open");
    return 0;
}
