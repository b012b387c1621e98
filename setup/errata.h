// Errata correction of the installed text modules from the list "correct.txt" of the
// configuration directory.
//
// The list's lines (CR LF, or LF alone) are section headers "[name]", which select the text file
// configuration directory + "sys\" + name + ".txt", and corrections "N,old,new": on line N
// (from 1) of the current file the first occurrence of old is replaced by new (old holds no
// comma; new is the rest of the item and may hold commas or be empty). Within a section the
// corrections come in ascending line order; several may name one line and apply in turn.
//
// A corrected file is rewritten (through the temporary file name + ".tex") with every line
// ending in CR LF and its empty lines dropped, and only when at least one correction found its
// old text; otherwise it stays byte for byte. A file that cannot be replaced (read-only, a full
// disk) stays as it was, and no ".tex" file is left beside it. A correction for a line below
// the current one or beyond the end of the file ends the whole run once its file is finished:
// later items, later sections included, are not applied.
//
// Items that are neither, a correction before the first header, one with fewer than two
// commas, for a line number below 1 or with an empty old text are skipped; so are the
// corrections of a section whose text file does not exist, or whose name would leave "sys"
// (a drive, a leading separator, a ".." part or a 0 byte).
#pragma once

#include "setup/setup_session.h"

namespace quillax {

extern const char kErrataDoneMessage[];     // "已成功的按堪误表修正了相关文件！"
extern const char kErrataMissingMessage[];  // "The correct file is not exist!"
// No correction found its old text: nothing was changed.
extern const char kErrataNothingMessage[];
// Some files could not be rewritten: their paths follow, one a line ("\n" before each), and
// kErrataOthersDoneMessage on a line of its own when other files were corrected.
extern const char kErrataWriteFailedMessage[];
extern const char kErrataOthersDoneMessage[];

// Applies the errata list and sets the message text: kErrataDoneMessage only when at least one
// correction was applied and every rewrite went through, kErrataNothingMessage when no
// correction found its text, kErrataWriteFailedMessage with the files that could not be
// rewritten. The index of every rewritten file is rebuilt (as the installation builds that
// module's index); the indexes of files left as they were are not touched.
void ApplyErrata(SetupSession& session);

}  // namespace quillax
