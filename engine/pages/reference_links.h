// References written in running text, turned into chapter links; and the module reads of the
// engine, which run these passes over a record on request.
//
// A reference is written for readers: a book abbreviation (from "CNAME=", 5 bytes a slot), a
// chapter and either ":" with verses ("创3:16-18,20") or a chapter unit word ("诗23篇",
// "创1章"). References of running text stand inside parentheses; "(创3:16;4:5)" links both,
// the second one taking the book of the first. The link of a reference is
//     "<a href=" + chapter key + ">" + the reference as written + "</a>"
// and with expansion every link of the text is replaced by the passage it names (PassageText).
#pragma once

#include <string_view>

#include "engine/state/render_state.h"
#include "textlib/gb_string.h"
#include "textlib/module_reader.h"

namespace quillax {

// Links the references inside parentheses of text, in place; stores 1 in changedFlags.
//  - Each parenthesised group is cleaned first: "：" becomes ":", links "<A href=...>...</A>"
//    lose their tags (written in either case; anchors without an href stay), and blanks and
//    "；" become ";" (";;" one ";").
//  - In a group, a reference starts at a book abbreviation (2 or 4 bytes) followed by a digit,
//    or at the digit after a ";" (the book of the previous reference, lastBook). With a ":" at
//    most 3 bytes after the chapter's first digit it runs over the digits, "-" and "," after
//    the ":"; without one it is a number of at most 3 digits followed by a unit word
//    (cmpStr[3] or cmpStr[4]); anything else stays text. "[...]" spans are passed over.
//  - A reference whose key names no chapter (book 0 or a chapter past the end of the book)
//    stays text.
//  - Text after a "(" that is never closed is copied unchanged.
//  - expand: afterwards every "<a href=" link of the text becomes PassageText(key, link text).
void LinkifyReferences(RenderState& state, GbString& text, bool expand);

// The bracket-reference pass of the chapter keys (LinkBracketReferences of chapter_keys.h) over
// the engine's book abbreviations and vocabulary; stores 1 in changedFlags.
void LinkBracketReferences(RenderState& state, GbString& text, std::string_view defaultKey);

// The reference passes that ReadModuleEntry runs over a record read with linkReferences set:
// LinkifyReferences without expansion, then the bracket pass with the record's key.
class EngineReferenceLinker : public ReferenceLinker {
public:
    explicit EngineReferenceLinker(RenderState& state) : state_(state) {}
    void LinkifyReferences(GbString& text) override;
    void LinkBracketReferences(GbString& text, const GbString& defaultKey) override;

private:
    RenderState& state_;
};

// ReadModuleEntryWith (textlib/module_reader.h) over the engine's state: its installation
// directory, system modules, substitution setting and vocabulary, the module file cache of
// state.chapter, and the engine's reference passes. Empty when the module, one of its files or the key is missing.
GbString ReadModuleEntry(RenderState& state, std::string_view module, std::string_view key,
                         bool linkReferences);

}  // namespace quillax
