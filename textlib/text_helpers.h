// Small text helpers: decimal number prefixes, colour texts, file names of URLs and texts made
// fit for one line on screen.
#pragma once

#include <string>
#include <string_view>

#include "textlib/gb_string.h"

namespace quillax {

// The decimal number at the start of text, read the way the C library's atoi reads it:
// leading white space (blank, tab, CR, LF, VT, FF) is skipped, then an optional "+" or "-"
// and the digits that follow; reading stops at the first other byte. A text that does not
// start with a number gives 0 ("12ab" gives 12, "ab12" gives 0). Values beyond the int range
// give INT_MAX or INT_MIN. Use GbString::Slice to read "the number in the 3 bytes at i".
int ToInt(std::string_view text);

// The decimal text of value ("-12"); values beyond the int range give INT_MAX or INT_MIN.
GbString DecimalText(long long value);

// The decimal real number at the start of text, the way the C library's atof reads it:
// white space, an optional sign, digits with an optional "." and fraction, and an optional
// exponent ("e" or "E", optional sign, digits). No number at the start gives 0.0.
double ToReal(std::string_view text);

// A colour text as a 24-bit RGB value. Without "#": "red" gives 0xFF0000, "green" 0x00FF00
// and any other text 0x0000FF. With "#" (anywhere in the text): the six characters at
// positions 1-6 are read as base-16 digits, where a decimal digit gives its value, a letter
// its upper-case character code minus 55 (A-F and a-f give 10-15) and any other character
// (including a missing one) 0.
int ParseColor(std::string_view text);

// The first position at or after `from` where text holds pattern, ASCII letters compared
// without regard to case ("<A href=" matches "<a HREF="), byte by byte; -1 when there is none
// (or from is outside the text). For markup, whose tags a browser may write in either case.
int FindIgnoringCase(std::string_view text, std::string_view pattern, int from = 0);

// Whether text holds word (GbString::Find, character by character); an empty word is never
// held.
bool Contains(const GbString& text, std::string_view word);

// Whether text holds word at a position other than 0.
bool ContainsAfterStart(const GbString& text, std::string_view word);

// The file name of a path or URL: the text lower-cased (ASCII letters, GBK characters
// spared) with everything up to and including the last "/" removed.
GbString StripPath(std::string_view text);

// A text made fit for one line of a list box or a console: line breaks (CR, LF or a run of
// them) inside the text become one blank and those at its ends go, a tab becomes a blank and
// the other control characters (bytes below 0x20 and 0x7F) are dropped, so none is drawn as a
// box. GBK characters are kept whole: their bytes are never control characters.
std::string SingleDisplayLine(std::string_view text);

}  // namespace quillax
