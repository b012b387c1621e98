#include "setup/module_index.h"

#include <cstdint>
#include <limits>
#include <vector>

#include "platform/files.h"
#include "setup/index_writer.h"
#include "setup/main_text.h"
#include "setup/path_text.h"
#include "textlib/config_text.h"
#include "textlib/gb_list.h"

namespace quillax {

const std::array<ModuleTableRow, 10> ModuleTable = {{
    {"sys\\Corpa", "=", true},
    {"sys\\Tessaly", ":=", false},
    {"sys\\emendo", "=", true},
    {"sys\\tidoran", "", true},
    {"sys\\oblix", "", true},
    {"sys\\amberly", "<h1>", true},
    {"sys\\rovask", "<h1>", true},
    {"sys\\zendri", ":=", false},
    {"usr\\niv", ":=", false},
    {"usr\\nasb", ":=", false},
}};

namespace {

constexpr std::string_view kKeyTag = "<key:";
constexpr int kKeyTagLength = 5;

// The module whose index is always built as the installation builds it, whatever marker is
// asked for (see BuildModuleIndex).
constexpr std::string_view kChainReferenceModule = "sys\\tessaly";

// A name compared as the program writes paths: "/" taken as "\" (on Linux a module name may be
// given with "/").
bool SameModuleName(std::string_view lowerName, std::string_view wanted) {
    if (lowerName.size() != wanted.size()) {
        return false;
    }
    for (std::size_t i = 0; i < lowerName.size(); ++i) {
        const char c = lowerName[i] == '/' ? '\\' : lowerName[i];
        if (c != wanted[i]) {
            return false;
        }
    }
    return true;
}

// Whether a lower-cased module name is one of the fixed table's.
bool IsTableModule(std::string_view lowerName) {
    for (const ModuleTableRow& row : ModuleTable) {
        GbString rowName(row.name);
        rowName.MakeLower();
        if (SameModuleName(lowerName, rowName.view())) {
            return true;
        }
    }
    return false;
}

std::uint32_t Offset(std::uint64_t position) { return static_cast<std::uint32_t>(position); }

}  // namespace

IndexMode IndexModeOf(std::string_view marker) {
    if (marker.substr(0, kKeyTag.size()) == kKeyTag) {
        return IndexMode::KeyMarker;
    }
    if (!marker.empty() && marker.front() == '<' && marker.back() == '>') {
        return IndexMode::TagMarker;
    }
    return marker.empty() ? IndexMode::EmptyMarker : IndexMode::PlainMarker;
}

GbString SequenceNumberText(int n) {
    GbString text;
    text.SetPadded(n, "000");
    return text;
}

std::string BuildIndexBytes(LineReader& reader, IndexMode mode, std::string_view markerText,
                            bool lineFlag) {
    IndexWriter writer;
    GbString line;
    GbString key;
    int sequence = 1;
    while (!reader.AtEnd()) {
        const std::uint64_t lineStart = reader.Position();
        reader.ReadLine(line);
        const int p = line.Find(markerText, 0);
        switch (mode) {
            case IndexMode::KeyMarker:
                if (p > 0) {
                    const int keyStart = p + kKeyTagLength;
                    const int close = line.Find(">", keyStart);
                    key.Assign(close >= 0 ? line.Slice(keyStart, close - keyStart) : line.Slice(keyStart));
                    writer.Add(key);
                    writer.SetOffset(Offset(lineFlag ? reader.Position() : lineStart));
                }
                break;
            case IndexMode::TagMarker:
                if (p >= 0) {
                    key.Empty();
                    const int tag = line.Find(kKeyTag, 0);
                    if (tag >= 0) {
                        const int keyStart = tag + kKeyTagLength;
                        const int close = line.Find(">", keyStart);
                        if (close >= 0) {
                            key.Assign(line.Slice(keyStart, close - keyStart));
                        }
                    }
                    if (key.IsEmpty()) {
                        key = SequenceNumberText(sequence);
                    }
                    writer.Add(key);
                    writer.SetOffset(Offset(lineStart));
                    ++sequence;
                }
                break;
            case IndexMode::PlainMarker:
                if (p > 0) {
                    key.Assign(line.Slice(0, p));
                    writer.Add(key);
                    writer.SetOffset(Offset(lineFlag ? lineStart : reader.Position()));
                }
                break;
            case IndexMode::EmptyMarker:
                if (lineFlag) {
                    writer.Add(SequenceNumberText(sequence));
                    writer.SetOffset(Offset(lineStart));
                    ++sequence;
                }
                break;
        }
        key.Empty();
    }
    writer.Add("");
    writer.SetOffset(Offset(reader.Position()));
    return std::string(writer.Bytes());
}

bool BuildModuleIndex(std::string_view configDir, std::string_view name, bool lineFlag,
                      std::string_view marker) {
    if (name.empty()) {
        return false;
    }
    IndexMode mode = IndexModeOf(marker);
    GbString lowerName(name);
    lowerName.MakeLower();
    std::string_view markerText = marker;
    if (SameModuleName(lowerName, kChainReferenceModule)) {
        // Its records start at the key lines "BBCCC:=" and run from the line after them: any
        // other mode would give keys the engine never asks for.
        mode = IndexMode::PlainMarker;
        markerText = ":=";
        lineFlag = false;
    }
    const GbString stem = GbString(configDir) + lowerName;
    const GbString textPath = stem + ".txt";
    const GbString indexPath = stem + ".inx";

    bool written = false;
    if (platform::FileExists(textPath)) {
        LineReader reader(textPath);
        // Offsets are 32-bit: a text that does not fit keeps its old index.
        if (reader.IsOpen() && reader.FileSize() <= std::numeric_limits<std::uint32_t>::max()) {
            const std::string bytes = BuildIndexBytes(reader, mode, markerText, lineFlag);
            platform::SetReadOnly(indexPath, false);
            written = platform::WriteWholeFile(indexPath, bytes);
        }
    }
    if (platform::PathExists(indexPath)) {
        platform::SetReadOnly(indexPath, true);
    }
    return written;
}

void PrepareModules(std::string_view configDir) {
    const GbString dir(configDir);
    if (!platform::FileExists(dir + "sys\\corpa.txt")) {
        DeriveMainText(dir);
    }
    for (const ModuleTableRow& row : ModuleTable) {
        BuildModuleIndex(dir, row.name, row.lineFlag, row.marker);
    }
    IndexParallelModules(configDir);
}

int IndexParallelModules(std::string_view configDir) {
    const GbString dir(configDir);
    const GbString configText = ReadConfigFile((dir + "bible.ini").view());
    std::vector<GbString> done;
    int written = 0;
    for (const GbString& entry : ReadConfigList(configText, "EQUATEFILE=")) {
        GbString name(entry);
        name.MakeLower();
        if (name.IsEmpty() || !StaysInside(name.view()) || IsTableModule(name.view())) {
            continue;
        }
        bool seen = false;
        for (const GbString& previous : done) {
            seen = seen || SameModuleName(name.view(), previous.view());
        }
        if (seen) {
            continue;
        }
        done.push_back(name);
        if (BuildModuleIndex(dir, name.view(), false, ":=")) {
            ++written;
        }
    }
    return written;
}

}  // namespace quillax
