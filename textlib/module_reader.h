// Reading records of the text modules.
//
// A text module m is the pair m.txt (GBK text, a sequence of records) and m.inx (its index).
// The index is binary: one entry per record, in record order, with nothing before, between or
// after the entries:
//
//     key      chapter keys: 3 bytes, (chapter number - 1000) as 16-bit little endian, then ":"
//              other keys: the key's bytes (at least 2)
//     "="      1 byte
//     offset   4 bytes, little endian: where the record's range starts in m.txt
//
// and a last entry with an empty key whose offset is the size of m.txt. A record's range runs
// from its offset to the offset of the next entry. A key is found by walking the entries from
// the start and comparing whole keys: a plain substring search over the index could match the
// bytes of a binary offset (in a module of a few megabytes an offset can spell a later
// chapter's key) or the end of a longer key ("ab" inside "cab=").
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "textlib/gb_list.h"
#include "textlib/gb_string.h"

namespace quillax {

// A record's byte range in the text file, as the index gives it.
struct IndexRange {
    std::int64_t offset = -1;  // -1: the key is not in the index
    std::int64_t length = -1;  // -1: to the end of the text file
};

// Looks key up in the bytes of an index file.
//  - A key whose first five characters name a chapter (IsChapterKey) is looked for as its
//    3-byte chapter form, anything else as the key followed by "="; the first match from the
//    start of the index, byte by byte, is the entry.
//  - offset: the 4 bytes after the entry's "=".
//  - length: up to the offset of the next entry, whose "=" is looked for from the third byte of
//    its key on (an "=" must be followed by 4 more bytes of the index to count). The last record
//    before the closing entry therefore gets -1, the rest of the text file.
// Bad indexes give no range rather than garbage: an empty key, or an entry cut off inside its
// offset, is "not found"; a next entry that starts before this one gives length 0.
IndexRange IndexLookup(std::string_view indexText, std::string_view key);

// Keeps the bytes of module files between reads, so that a page that reads a record does not
// have to read a whole text file again. Every read checks the file's size and last-write time;
// a file that changed is read afresh. A file that was written less than kSettleSeconds before it
// was read is not kept (its time may not change with a second write in the same clock tick, or
// a file system may keep times in 2-second steps), so cached bytes are always the file's
// current bytes unless someone sets a file's time back by hand to its old value.
//
// One cache serves one thread (the engine's apartment thread, or the set-up tool).
class ModuleFileCache {
public:
    static constexpr int kSettleSeconds = 5;
    static constexpr std::size_t kDefaultMaxFiles = 24;
    static constexpr std::size_t kDefaultMaxBytes = 64u << 20;

    // At most maxFiles files and maxBytes bytes are kept; the least recently used go first.
    // A file larger than maxBytes is read every time.
    explicit ModuleFileCache(std::size_t maxFiles = kDefaultMaxFiles,
                             std::size_t maxBytes = kDefaultMaxBytes);

    // The bytes of the file at path, or null when it cannot be read.
    std::shared_ptr<const std::string> Read(std::string_view path);

    // An index built in memory for text bytes that Read gave (a text whose index file does not
    // match it): made by `build` once and kept while Read serves those same bytes, at most
    // kBuiltIndexes of them.
    static constexpr std::size_t kBuiltIndexes = 4;
    std::shared_ptr<const std::string> BuiltIndex(const std::shared_ptr<const std::string>& text,
                                                  const std::function<std::string()>& build);

    void Clear();
    std::size_t FileCount() const { return entries_.size(); }

private:
    struct Entry {
        std::string path;
        std::uint64_t size = 0;
        platform::FileTime lastWrite = 0;
        std::shared_ptr<const std::string> bytes;
        std::uint64_t lastUse = 0;
    };

    void Store(Entry entry);

    std::size_t maxFiles_;
    std::size_t maxBytes_;
    std::size_t totalBytes_ = 0;
    std::uint64_t useCounter_ = 0;
    std::vector<Entry> entries_;

    struct BuiltEntry {
        std::weak_ptr<const std::string> text;
        std::shared_ptr<const std::string> index;
        std::uint64_t lastUse = 0;
    };
    std::vector<BuiltEntry> built_;
};

// The reference passes that the engine runs over a record read with linkReferences set. They
// live in the engine; ReadModuleEntryWith calls them in this order:
//  1. LinkifyReferences(text): references in parentheses become links (without expanding them
//     into passage texts);
//  2. LinkBracketReferences(text, key): references in square brackets become links, with the
//     record's key as the default key.
class ReferenceLinker {
public:
    virtual ~ReferenceLinker() = default;
    virtual void LinkifyReferences(GbString& text) = 0;
    virtual void LinkBracketReferences(GbString& text, const GbString& defaultKey) = 0;
};

// What ReadModuleEntryWith reads from the engine's state. The engine builds one over its own fields
// for each use:
//     ModuleReaderContext reader{state.installDir, state.systemTextDir, state.systemModules,
//                                state.substitute != 0, state.cmpStr, &linker, &state.files};
struct ModuleReaderContext {
    const GbString& installDir;     // configuration directory, ending in "\"
    const GbString& systemTextDir;  // "TXTSYSPTH=": sub-directory of the system modules, e.g. "sys\"
    const GbString& systemModules;  // "SYSKEY=": the names of the modules that lie there
    bool substitute;                // "SUBSTITUTE=" on: apply the two substitutions
    const GbList& vocabulary;       // "CMPSTR=" (cmpStr)
    ReferenceLinker* linker;        // the reference passes; null: none are run
    ModuleFileCache* files;         // null: both files are read afresh on every call
};

// The path of a module's files without their extension: installDir, then systemTextDir when
// systemModules contains the name, then the name (lower-cased, cut after its last "/"). Empty
// when the name is.
GbString ModuleStem(const ModuleReaderContext& context, std::string_view module);

// The record of key in module, post-processed and converted to HTML; empty when the module, one
// of its files or the key is missing.
//  1. The module name is lower-cased (ASCII) and cut after its last "/"; its files are
//     installDir + (systemTextDir when systemModules contains the name) + name + ".inx"/".txt".
//  2. IndexLookup in the index; the record's bytes from the text file (as many as exist). An
//     index whose closing entry does not hold the size of the text as read (the text was
//     rewritten after its index was built, or is being replaced while it is read) is not used:
//     the text is indexed in memory instead, the way the installation indexes that module
//     (BuildInstalledIndex, textlib/index_builder.h); with a file cache that index is kept
//     while the text stays the same.
//  3. With substitute on, vocabulary item 69 becomes item 70, then item 71 becomes item 72.
//  4. Trailing LF, CR and "_" characters are removed. If the text then ends with "=", it ends
//     with the next record's key line, which is cut off at the text's last CR LF, and trailing
//     LF, CR and "_" are removed again (a record that is only a line break comes back empty).
//  5. RenderMarkup.
//  6. With linkReferences (and a linker), the two reference passes, the key as default key.
GbString ReadModuleEntryWith(const ModuleReaderContext& context, std::string_view module,
                             std::string_view key, bool linkReferences);

}  // namespace quillax
