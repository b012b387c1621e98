// The names the published Bible formats give the 66 books of the book table: the three-letter
// book codes of USFM ("GEN", "1SA", "REV") and the book names of OSIS ("Gen", "1Sam", "Rev").
// Books 1-66 are numbered as the chapter keys number them (Genesis 1 to Revelation 66).
#pragma once

#include <string_view>

namespace quillax {

// The book number (1-66) of a USFM book code, compared without regard to ASCII case; 0 for any
// other code (deuterocanonical books, front and back matter, glossaries, unknown codes).
int BookOfUsfmCode(std::string_view code);

// The book number (1-66) of an OSIS book name, compared without regard to ASCII case; 0 for
// any other name.
int BookOfOsisName(std::string_view name);

// The OSIS name of a book (1-66); empty for any other number.
std::string_view OsisNameOfBook(int book);

}  // namespace quillax
