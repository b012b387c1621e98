// The parallel translations (usr/niv.txt, usr/nasb.txt).
#include <string>

#include "tools/synth/installation_writers.h"

namespace quillax::synth::detail {

// A parallel translation as the import writes it: "BBCCC:=" LF, then "$" verse CR LF.
void WriteTranslation(const Options& options, std::uint64_t salt, bool formal, Module& module) {
    Random random = Random::Stream(options.seed, salt);
    EnglishWriter english(random, formal);
    std::string& out = module.text;
    out.reserve(5u << 20);
    for (int index = 0; index < kTotalChapters; ++index) {
        const ChapterRef at = ChapterAt(index);
        if (at.chapter > options.KeptChapters(at.book)) continue;
        const std::string key = ChapterKey(at.book, at.chapter);
        out += key;
        out += ":=\n";
        BeginRecord(module, key);
        const int verses = VerseCount(at.book, at.chapter);
        for (int verse = 1; verse <= verses; ++verse) {
            out += '$';
            AppendNumber(out, verse);
            english.Verse(out, random.Between(40, 150));
            out += kCrLf;
        }
        EndRecord(module, 2);
    }
}

}  // namespace quillax::synth::detail
