#include "textlib/index_builder.h"

#include <cstdint>

#include "textlib/index_writer.h"

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
// asked for (see IndexRuleOf).
constexpr std::string_view kChainReferenceModule = "sys\\tessaly";
// How imported texts (and any module the installation does not list) are indexed.
constexpr std::string_view kImportedMarker = ":=";

// The file name of a module name, lower-cased: the part after its last "\" or "/".
GbString LowerFileName(std::string_view name) {
    std::size_t start = name.size();
    while (start > 0 && name[start - 1] != '\\' && name[start - 1] != '/') {
        --start;
    }
    GbString file(name.substr(start));
    file.MakeLower();
    return file;
}

std::uint32_t Offset(std::uint64_t position) { return static_cast<std::uint32_t>(position); }

}  // namespace

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

IndexRule IndexRuleOf(std::string_view lowerName, bool lineFlag, std::string_view marker) {
    if (SameModuleName(lowerName, kChainReferenceModule)) {
        // Its records start at the key lines "BBCCC:=" and run from the line after them: any
        // other mode would give keys the engine never asks for.
        return IndexRule{IndexMode::PlainMarker, ":=", false};
    }
    return IndexRule{IndexModeOf(marker), marker, lineFlag};
}

ModuleTableRow InstalledIndexRow(std::string_view module) {
    const GbString file = LowerFileName(module);
    for (const ModuleTableRow& row : ModuleTable) {
        if (LowerFileName(row.name) == file) {
            return row;
        }
    }
    return ModuleTableRow{module, kImportedMarker, false};
}

std::string BuildInstalledIndex(std::string_view module, std::string text) {
    const ModuleTableRow row = InstalledIndexRow(module);
    GbString lowerName(row.name);
    lowerName.MakeLower();
    const IndexRule rule = IndexRuleOf(lowerName, row.lineFlag, row.marker);
    LineReader reader = LineReader::FromBytes(std::move(text));
    return BuildIndexBytes(reader, rule.mode, rule.markerText, rule.lineFlag);
}

}  // namespace quillax
