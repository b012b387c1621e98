// The full-size synthetic installation: every text module that the installation run indexes,
// at the size of a real installation, with its configuration file.
//
//   cfg/bible.ini                 copied from a sample configuration (EQUATEFILE= names the
//                                 two parallel translations below), or a minimal one
//   cfg/bible.css, quillets.js    copied with it when the sample has them
//   cfg/sys/tessaly.txt           chain-reference Bible: 66 books, 1,189 chapters, 31,102
//                                 verses, a book introduction per book (keys "BB00000")
//   cfg/sys/corpa.txt             main text, one line per chapter (optional; the set-up tool
//                                 derives the same bytes from tessaly.txt)
//   cfg/sys/emendo.txt            text-fix notes of the phrases marked in tessaly.txt
//   cfg/sys/tidoran.txt           reading wheel: one line of 15 fields per plan day (478)
//   cfg/sys/oblix.txt             reading outline: one line per plan day
//   cfg/sys/amberly.txt           devotional: 352 "<h1>" records
//   cfg/sys/rovask.txt            topical dictionary: "<h1><key:...>" records
//   cfg/sys/zendri.txt            study notes: one ":=" record per plan day
//   cfg/usr/niv.txt, nasb.txt     parallel translations (English), as the import writes them
//
// Texts are GBK with CR LF line ends, except where the set-up tool writes a bare LF (corpa.txt,
// the chapter header lines of the imported translations). Everything follows from the seed:
// the same seed gives the same bytes on every machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillax::synth {

struct Options {
    std::uint64_t seed = 1;
    // Folder holding the sample bible.ini (and bible.css, quillets.js) to copy; empty or a
    // folder without bible.ini gives a minimal generated bible.ini.
    std::string configSource;
    // Write sys/corpa.txt. Without it the installation looks like one fresh from the
    // installer, before the set-up tool derived the main text.
    bool mainText = true;
    // Nouns per 1000 written as traditional-character words outside GB2312, whose trail bytes
    // are ASCII marks ("@", "\", "|", "^", "{", "`" ...). 0 keeps all text within GB2312.
    int traditionalPerMille = 4;

    // A smaller installation, such as the sample one that is kept with the sources: only these
    // books (empty: all 66), at most this many chapters of each (0: all), and the plan-day
    // modules (reading wheel, outline, study notes, devotional) for the first planDays days
    // (0: all 478; the dictionary shrinks with them). References point into kept chapters only.
    std::vector<int> books;
    int chaptersPerBook = 0;
    int planDays = 0;
    // Write the text modules only and leave bible.ini and its companions where they are; the
    // parallel translations take the names that the configuration's EQUATEFILE gives them.
    bool modulesOnly = false;

    // Chapters of a book that the installation holds (0 for a book left out), and plan days.
    int KeptChapters(int book) const;
    int KeptPlanDays() const;
};

// One record of a module: its key, as the engine asks for it, and the bytes that the module
// reader cuts out for it before converting markup (its range without the trailing line break
// and, in modules whose offsets point after the key line, without the next key line).
struct Record {
    std::string key;
    std::size_t begin = 0;
    std::size_t length = 0;
};

struct Module {
    std::string name;       // as the set-up tool's module table names it: "sys\\tessaly"
    std::string fileName;   // below the configuration directory: "sys/tessaly.txt"
    std::string marker;     // index marker of the module table: ":=", "=", "<h1>" or empty
    bool lineFlag = false;  // line flag of the module table
    std::string text;       // the file's bytes
    std::vector<Record> records;

    std::string_view RecordText(const Record& record) const {
        return std::string_view(text).substr(record.begin, record.length);
    }
    // The record of a key, or null.
    const Record* FindRecord(std::string_view key) const;
};

struct Installation {
    std::string bibleIni;       // empty with Options::modulesOnly: nothing is written
    bool bibleIniCopied = false;  // taken from Options::configSource
    // Further files of the configuration directory: name and bytes (bible.css, quillets.js).
    std::vector<std::pair<std::string, std::string>> extraFiles;
    // In the order of the set-up tool's module table.
    std::vector<Module> modules;

    const Module* FindModule(std::string_view name) const;
    std::size_t TotalBytes() const;
};

// Builds the installation in memory.
Installation Generate(const Options& options);

// Writes it below outDir: outDir/cfg/... (only the modules with Options::modulesOnly) Index files (.inx) left from an earlier run beside a
// module that is written are removed, so no index can describe another text. False with a
// message in *error when a directory or file cannot be written.
bool Write(const Installation& installation, const std::string& outDir, std::string* error);

// The configuration directory of an installation written to outDir, as the set-up tool and
// the engine want it: outDir + "/cfg/".
std::string ConfigDirectory(const std::string& outDir);

}  // namespace quillax::synth
