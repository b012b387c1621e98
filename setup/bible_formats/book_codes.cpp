#include "setup/bible_formats/book_codes.h"

#include <cstddef>

namespace quillax {
namespace {

struct BookNames {
    const char* usfm;
    const char* osis;
};

// In book order: index + 1 is the book number.
constexpr BookNames kBooks[66] = {
    {"GEN", "Gen"},   {"EXO", "Exod"},   {"LEV", "Lev"},    {"NUM", "Num"},    {"DEU", "Deut"},
    {"JOS", "Josh"},  {"JDG", "Judg"},   {"RUT", "Ruth"},   {"1SA", "1Sam"},   {"2SA", "2Sam"},
    {"1KI", "1Kgs"},  {"2KI", "2Kgs"},   {"1CH", "1Chr"},   {"2CH", "2Chr"},   {"EZR", "Ezra"},
    {"NEH", "Neh"},   {"EST", "Esth"},   {"JOB", "Job"},    {"PSA", "Ps"},     {"PRO", "Prov"},
    {"ECC", "Eccl"},  {"SNG", "Song"},   {"ISA", "Isa"},    {"JER", "Jer"},    {"LAM", "Lam"},
    {"EZK", "Ezek"},  {"DAN", "Dan"},    {"HOS", "Hos"},    {"JOL", "Joel"},   {"AMO", "Amos"},
    {"OBA", "Obad"},  {"JON", "Jonah"},  {"MIC", "Mic"},    {"NAM", "Nah"},    {"HAB", "Hab"},
    {"ZEP", "Zeph"},  {"HAG", "Hag"},    {"ZEC", "Zech"},   {"MAL", "Mal"},    {"MAT", "Matt"},
    {"MRK", "Mark"},  {"LUK", "Luke"},   {"JHN", "John"},   {"ACT", "Acts"},   {"ROM", "Rom"},
    {"1CO", "1Cor"},  {"2CO", "2Cor"},   {"GAL", "Gal"},    {"EPH", "Eph"},    {"PHP", "Phil"},
    {"COL", "Col"},   {"1TH", "1Thess"}, {"2TH", "2Thess"}, {"1TI", "1Tim"},   {"2TI", "2Tim"},
    {"TIT", "Titus"}, {"PHM", "Phlm"},   {"HEB", "Heb"},    {"JAS", "Jas"},    {"1PE", "1Pet"},
    {"2PE", "2Pet"},  {"1JN", "1John"},  {"2JN", "2John"},  {"3JN", "3John"},  {"JUD", "Jude"},
    {"REV", "Rev"},
};

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

int BookOfUsfmCode(std::string_view code) {
    for (int i = 0; i < 66; ++i) {
        if (SameIgnoringCase(code, kBooks[i].usfm)) {
            return i + 1;
        }
    }
    return 0;
}

int BookOfOsisName(std::string_view name) {
    for (int i = 0; i < 66; ++i) {
        if (SameIgnoringCase(name, kBooks[i].osis)) {
            return i + 1;
        }
    }
    return 0;
}

std::string_view OsisNameOfBook(int book) {
    return book >= 1 && book <= 66 ? std::string_view(kBooks[book - 1].osis) : std::string_view();
}

}  // namespace quillax
