// Synthetic running text for the generated modules: Chinese sentences made from a vocabulary of
// common words (GBK bytes, as every narrow literal of the program), and English sentences for
// the parallel translations.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tools/synth/synth_random.h"

namespace quillax::synth {

// Where a word of a generated text lies: bytes [begin, end) of the text it was appended to.
struct WordSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
};

class ChineseWriter {
public:
    // traditionalPerMille: how many of 1000 nouns are written as a word in traditional
    // characters outside GB2312 (GBK characters whose trail byte is an ASCII mark such as
    // "@", "\", "|", "^", "{" or "`"); 0 keeps the text within GB2312.
    ChineseWriter(Random& random, int traditionalPerMille);

    // Appends sentences until at least targetChars characters were added. The spans of the
    // names and nouns written (words of two or more characters that marks may enclose) are
    // appended to *words when it is given. The text holds no ASCII characters, no line breaks
    // and no markup; it never starts or ends with an ideographic space.
    void Verse(std::string& out, int targetChars, std::vector<WordSpan>* words = nullptr);

    // One sentence ending in "。", "！" or "？".
    void Sentence(std::string& out, std::vector<WordSpan>* words = nullptr);

    // A heading of three to eight characters without punctuation ("亚伯拉罕蒙召").
    std::string Title();
    // A noun or a name of two or more characters (what marks enclose, what a topic is called).
    std::string Word();
    // A place name.
    std::string Place();
    // A person's name.
    std::string Person();

private:
    void Clause(std::string& out, std::vector<WordSpan>* words);
    void Slot(std::string& out, char kind, std::vector<WordSpan>* words);

    Random& random_;
    int traditionalPerMille_;
};

class EnglishWriter {
public:
    // formal: the more literal style (one of the two parallel translations).
    EnglishWriter(Random& random, bool formal);

    // Appends sentences until at least targetBytes bytes were added. Plain ASCII letters,
    // blanks and the punctuation , ; : . ! ? and ' only.
    void Verse(std::string& out, int targetBytes);

private:
    void Sentence(std::string& out);

    Random& random_;
    bool formal_;
};

// Appends n as decimal digits.
void AppendNumber(std::string& out, int n);
// Appends n zero-padded to `digits` digits (keeping the last `digits` digits).
void AppendPadded(std::string& out, int n, int digits);

}  // namespace quillax::synth
