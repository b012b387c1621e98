#include "textlib/module_reader.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "textlib/chapter_keys.h"
#include "textlib/index_builder.h"
#include "textlib/markup.h"
#include "textlib/text_helpers.h"
#include "textlib/vocabulary.h"

namespace quillax {
namespace {

// Bytes of a chapter-form key and of an entry's "=" and offset.
constexpr std::size_t kChapterKeyBytes = 3;
constexpr std::size_t kOffsetBytes = 4;
// Every key but the closing entry's has at least this many bytes; the "=" of the next entry is
// looked for only after them, because the first two bytes of a chapter-form key are a binary
// number that may well be 0x3D.
constexpr std::size_t kMinKeyBytes = 2;

std::uint32_t ReadLittleEndian32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = kOffsetBytes; i-- > 0;) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

std::int64_t NowUnixSeconds() {
    using std::chrono::duration_cast;
    using std::chrono::seconds;
    using std::chrono::system_clock;
    return static_cast<std::int64_t>(
        duration_cast<seconds>(system_clock::now().time_since_epoch()).count());
}

std::shared_ptr<const std::string> ReadModuleFile(const ModuleReaderContext& context,
                                                  std::string_view path) {
    if (context.files != nullptr) {
        return context.files->Read(path);
    }
    std::optional<std::string> bytes = platform::ReadWholeFile(path);
    if (!bytes) {
        return nullptr;
    }
    return std::make_shared<const std::string>(std::move(*bytes));
}

// Removes trailing LF, CR and "_" characters. An "_" that is the second byte of a GBK
// character belongs to that character and stays; telling the two apart needs a walk over the
// text from its start, which is only done when an "_" ends the text.
void StripTrailingBreaks(GbString& text) {
    int length = text.Length();
    const char* s = text.data();
    while (length > 0 && (s[length - 1] == '\n' || s[length - 1] == '\r')) {
        --length;
    }
    if (length > 0 && s[length - 1] == '_') {
        int keep = 0;  // end of the last character that is not a line break or "_"
        for (int i = 0; i < length;) {
            const char c = s[i];
            if (IsGbkLeadByte(static_cast<unsigned char>(c))) {
                i += 2;
                keep = std::min(i, length);
            } else {
                ++i;
                if (c != '\n' && c != '\r' && c != '_') {
                    keep = i;
                }
            }
        }
        length = keep;
    }
    text.SetLength(length);
}

// Whether the index's closing entry (its last 5 bytes: "=" and the offset) holds the size of
// the text as it was read.
bool IndexMatchesText(std::string_view index, std::size_t textSize) {
    constexpr std::size_t kClosingBytes = 1 + kOffsetBytes;
    if (index.size() < kClosingBytes || index[index.size() - kClosingBytes] != '=') {
        return false;
    }
    return ReadLittleEndian32(index, index.size() - kOffsetBytes) == textSize;
}

}  // namespace

// ---- index -------------------------------------------------------------------------------------

// Position of the "=" that ends the key of the entry starting at `entry`, or npos when the index
// ends first. A chapter entry is two number bytes, ":" and "=", and its number bytes may
// themselves be ":" or "="; any other key holds no "=" and ends at the first one.
std::size_t EntrySeparator(std::string_view index, std::size_t entry) {
    if (index.size() - entry >= kChapterKeyBytes + 1 && index[entry + 2] == ':' &&
        index[entry + 3] == '=') {
        return entry + kChapterKeyBytes;
    }
    return index.find('=', entry);
}

IndexRange IndexLookup(std::string_view indexText, std::string_view key) {
    IndexRange range;
    // The closing entry has the empty key; it marks the end and is no record.
    if (key.empty()) {
        return range;
    }

    std::string pattern;
    std::size_t keyLength = 0;  // bytes from the start of the match to the offset field
    if (const int number = IsChapterKey(key, false); number != 0) {
        const unsigned stored = static_cast<unsigned>(number - 1000);
        pattern.push_back(static_cast<char>(stored & 0xFFu));
        pattern.push_back(static_cast<char>((stored >> 8) & 0xFFu));
        pattern.push_back(':');
        keyLength = kChapterKeyBytes + 1;
    } else {
        pattern.assign(key);
        pattern.push_back('=');
        keyLength = pattern.size();
    }

    // Only a match at the start of an entry counts: the offsets are binary and, in a module
    // of a few megabytes, an offset's bytes can spell the key of a later chapter.
    for (std::size_t entry = 0; entry < indexText.size();) {
        const std::size_t separator = EntrySeparator(indexText, entry);
        if (separator == std::string_view::npos) {
            return range;  // the index ends inside this entry's key
        }
        if (indexText.size() - separator - 1 < kOffsetBytes) {
            return range;  // the index ends inside this entry's offset
        }
        if (indexText.compare(entry, pattern.size(), pattern) == 0 &&
            separator == entry + keyLength - 1) {
            const std::uint32_t offset = ReadLittleEndian32(indexText, separator + 1);
            range.offset = offset;
            const std::size_t next = separator + 1 + kOffsetBytes;
            const std::size_t nextSeparator =
                next < indexText.size() ? EntrySeparator(indexText, next) : std::string_view::npos;
            // The closing entry (empty key) is not taken as the next record: the last record,
            // like a record whose next entry is cut off, reads to the end of the text file.
            if (nextSeparator == std::string_view::npos || nextSeparator < next + kMinKeyBytes ||
                indexText.size() - nextSeparator - 1 < kOffsetBytes) {
                range.length = -1;
                return range;
            }
            const std::uint32_t nextOffset = ReadLittleEndian32(indexText, nextSeparator + 1);
            range.length = nextOffset >= offset ? static_cast<std::int64_t>(nextOffset - offset) : 0;
            return range;
        }
        entry = separator + 1 + kOffsetBytes;
    }
    return range;
}

// ---- file cache --------------------------------------------------------------------------------

ModuleFileCache::ModuleFileCache(std::size_t maxFiles, std::size_t maxBytes)
    : maxFiles_(maxFiles), maxBytes_(maxBytes) {}

std::shared_ptr<const std::string> ModuleFileCache::Read(std::string_view path) {
    // The clock is read before the file's state: a write after this moment gives the file a
    // time at least this late, which differs from any time that is kSettleSeconds older.
    const std::int64_t now = NowUnixSeconds();
    auto cached = std::find_if(entries_.begin(), entries_.end(),
                               [&](const Entry& e) { return e.path == path; });
    const auto forget = [&] {
        if (cached != entries_.end()) {
            totalBytes_ -= cached->bytes->size();
            entries_.erase(cached);
        }
    };

    const std::optional<std::uint64_t> size = platform::FileSize(path);
    const std::optional<platform::FileTimes> times = platform::GetFileTimes(path);
    if (!size || !times) {
        forget();
        return nullptr;
    }
    if (cached != entries_.end() && cached->size == *size && cached->lastWrite == times->lastWrite) {
        cached->lastUse = ++useCounter_;
        return cached->bytes;
    }

    std::optional<std::string> bytes = platform::ReadWholeFile(path);
    forget();
    if (!bytes) {
        return nullptr;
    }
    auto shared = std::make_shared<const std::string>(std::move(*bytes));
    const bool settled = times->lastWrite != 0 &&
                         now - platform::UnixSecondsFromFileTime(times->lastWrite) >= kSettleSeconds;
    if (settled && shared->size() == *size && shared->size() <= maxBytes_ && maxFiles_ > 0) {
        Entry entry;
        entry.path.assign(path);
        entry.size = *size;
        entry.lastWrite = times->lastWrite;
        entry.bytes = shared;
        Store(std::move(entry));
    }
    return shared;
}

void ModuleFileCache::Store(Entry entry) {
    while (!entries_.empty() &&
           (entries_.size() >= maxFiles_ || totalBytes_ + entry.bytes->size() > maxBytes_)) {
        auto oldest = std::min_element(entries_.begin(), entries_.end(),
                                       [](const Entry& a, const Entry& b) { return a.lastUse < b.lastUse; });
        totalBytes_ -= oldest->bytes->size();
        entries_.erase(oldest);
    }
    entry.lastUse = ++useCounter_;
    totalBytes_ += entry.bytes->size();
    entries_.push_back(std::move(entry));
}

std::shared_ptr<const std::string> ModuleFileCache::BuiltIndex(
    const std::shared_ptr<const std::string>& text, const std::function<std::string()>& build) {
    for (BuiltEntry& entry : built_) {
        if (entry.text.lock() == text) {
            entry.lastUse = ++useCounter_;
            return entry.index;
        }
    }
    BuiltEntry entry;
    entry.text = text;
    entry.index = std::make_shared<const std::string>(build());
    entry.lastUse = ++useCounter_;
    // Indexes of texts no longer served go first, then the least recently used.
    built_.erase(std::remove_if(built_.begin(), built_.end(),
                                [](const BuiltEntry& e) { return e.text.expired(); }),
                 built_.end());
    if (built_.size() >= kBuiltIndexes) {
        built_.erase(std::min_element(built_.begin(), built_.end(),
                                      [](const BuiltEntry& a, const BuiltEntry& b) { return a.lastUse < b.lastUse; }));
    }
    built_.push_back(entry);
    return entry.index;
}

void ModuleFileCache::Clear() {
    entries_.clear();
    built_.clear();
    totalBytes_ = 0;
}

// ---- records -----------------------------------------------------------------------------------

GbString ModuleStem(const ModuleReaderContext& context, std::string_view module) {
    const GbString name = StripPath(module);
    if (name.IsEmpty()) {
        return {};
    }
    GbString stem = context.installDir;
    if (context.systemModules.Find(name) >= 0) {
        stem += context.systemTextDir;
    }
    stem += name;
    return stem;
}

GbString ReadModuleEntryWith(const ModuleReaderContext& context, std::string_view module,
                             std::string_view key, bool linkReferences) {
    const GbString stem = ModuleStem(context, module);
    if (stem.IsEmpty()) {
        return {};
    }

    std::shared_ptr<const std::string> index = ReadModuleFile(context, stem + ".inx");
    if (!index) {
        return {};
    }
    const std::shared_ptr<const std::string> body = ReadModuleFile(context, stem + ".txt");
    if (!body) {
        return {};
    }
    if (!IndexMatchesText(*index, body->size())) {
        const auto build = [&] { return BuildInstalledIndex(module, *body); };
        index = context.files != nullptr ? context.files->BuiltIndex(body, build)
                                         : std::make_shared<const std::string>(build());
    }
    const IndexRange range = IndexLookup(*index, key);
    if (range.offset < 0) {
        return {};
    }

    GbString text;
    const auto start = static_cast<std::uint64_t>(range.offset);
    if (start < body->size()) {
        const std::uint64_t available = body->size() - start;
        const std::uint64_t count =
            range.length < 0 ? available
                             : std::min(available, static_cast<std::uint64_t>(range.length));
        text.Assign(std::string_view(*body).substr(static_cast<std::size_t>(start),
                                                   static_cast<std::size_t>(count)));
    }

    if (context.substitute) {
        text.Replace(context.vocabulary[kSubstituteFirstFrom], context.vocabulary[kSubstituteFirstTo]);
        text.Replace(context.vocabulary[kSubstituteSecondFrom], context.vocabulary[kSubstituteSecondTo]);
    }

    StripTrailingBreaks(text);
    if (!text.IsEmpty() && text.GetAt(text.Length() - 1) == '=') {
        // The range ends with the key line of the next record. What is left of the record
        // loses its own trailing line breaks too, as the last record of a module does; a record
        // that was only a line break is empty.
        const int lineBreak = text.ReverseFind("\r\n");
        if (lineBreak >= 0) {
            text.SetLength(lineBreak);
            StripTrailingBreaks(text);
        }
    }

    RenderMarkup(text);

    if (linkReferences && context.linker != nullptr) {
        context.linker->LinkifyReferences(text);
        context.linker->LinkBracketReferences(text, GbString(key));
    }
    return text;
}

}  // namespace quillax
