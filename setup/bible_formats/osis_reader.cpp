#include "setup/bible_formats/osis_reader.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "setup/bible_formats/book_codes.h"

namespace quillax {
namespace {

// The parser gets the document in pieces of this size.
constexpr std::size_t kChunkBytes = 64 * 1024;

// What an element does to the verse text.
enum class ElementKind {
    Inline,     // keeps its words (<w>, <q>, <hi>, <divineName> and anything unknown)
    Dropped,    // its content is not verse text (<note>, <title> ...)
    Block,      // a paragraph, poetry line or the like: a blank before and after
    Container,  // a chapter, a book or the whole text: a milestone verse ends with it
    Verse,      // a <verse> element
};

constexpr const char* kDroppedElements[] = {"note", "title", "head", "speaker", "figure",
                                            "rdg", "catchWord", "header"};
constexpr const char* kBlockElements[] = {"p", "l", "lg", "lb", "div", "item", "list", "table",
                                          "row", "cell", "closer", "salute", "signed"};

bool NameIs(const xmlChar* name, const char* text) {
    return std::strcmp(reinterpret_cast<const char*>(name), text) == 0;
}

template <std::size_t N>
bool NameIn(const xmlChar* name, const char* const (&names)[N]) {
    for (const char* candidate : names) {
        if (NameIs(name, candidate)) {
            return true;
        }
    }
    return false;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsDigits(std::string_view s) {
    if (s.empty()) return false;
    for (const char c : s) {
        if (!IsDigit(c)) return false;
    }
    return true;
}

// One reference of an osisID: "Gen.1.1", with a work prefix ("KJV:Gen.1.1") or a grain
// ("Gen.1.1!a") allowed.
struct VerseReference {
    std::string_view book;
    int chapter = 0;
    std::string_view verse;
};

bool ParseReference(std::string_view id, VerseReference& out) {
    const std::size_t colon = id.rfind(':');
    if (colon != std::string_view::npos) {
        id.remove_prefix(colon + 1);
    }
    const std::size_t grain = id.find('!');
    if (grain != std::string_view::npos) {
        id = id.substr(0, grain);
    }
    const std::size_t dot1 = id.find('.');
    const std::size_t dot2 = dot1 == std::string_view::npos ? dot1 : id.find('.', dot1 + 1);
    if (dot2 == std::string_view::npos) {
        return false;
    }
    std::size_t end = id.find('.', dot2 + 1);
    if (end == std::string_view::npos) {
        end = id.size();
    }
    const std::string_view chapter = id.substr(dot1 + 1, dot2 - dot1 - 1);
    out.book = id.substr(0, dot1);
    out.verse = id.substr(dot2 + 1, end - dot2 - 1);
    if (out.book.empty() || !IsDigits(out.verse) || !IsDigits(chapter) || chapter.size() > 3) {
        return false;
    }
    out.chapter = 0;
    for (const char c : chapter) {
        out.chapter = out.chapter * 10 + (c - '0');
    }
    return out.chapter >= 1;
}

// Book, chapter and label of an osisID of one or more verses ("Gen.1.1 Gen.1.2" is 1-2).
bool ParseOsisId(std::string_view id, VerseReference& first, std::string& label) {
    bool any = false;
    VerseReference last;
    std::size_t pos = 0;
    while (pos < id.size()) {
        while (pos < id.size() && (id[pos] == ' ' || id[pos] == '\t' || id[pos] == '\n' || id[pos] == '\r')) {
            ++pos;
        }
        std::size_t end = pos;
        while (end < id.size() && id[end] != ' ' && id[end] != '\t' && id[end] != '\n' && id[end] != '\r') {
            ++end;
        }
        if (end > pos) {
            VerseReference reference;
            if (!ParseReference(id.substr(pos, end - pos), reference)) {
                return false;
            }
            (any ? last : first) = reference;
            if (!any) last = reference;
            any = true;
        }
        pos = end;
    }
    if (!any) {
        return false;
    }
    label.assign(first.verse);
    if (last.verse != first.verse) {
        label += '-';
        label.append(last.verse.data(), last.verse.size());
    }
    return true;
}

// A marker of another format ("\nd ", "\+nd*") left in the text: its length from text[0] ==
// '\\', the blank after an opening marker included; 0 when the backslash starts no marker.
std::size_t StrayMarkerLength(std::string_view text) {
    std::size_t i = 1;
    if (i < text.size() && text[i] == '+') ++i;
    const std::size_t nameStart = i;
    while (i < text.size() && ((text[i] >= 'a' && text[i] <= 'z') || IsDigit(text[i]))) ++i;
    if (i == nameStart) return 0;
    if (i < text.size() && text[i] == '*') return i + 1;
    if (i < text.size() && text[i] == ' ') return i + 1;
    return i == text.size() ? i : 0;
}

class OsisReader {
public:
    explicit OsisReader(VerseCollector& verses) : verses_(verses) {}

    std::optional<FormatError> Read(std::string_view bytes) {
        xmlInitParser();
        xmlSAXHandler handler;
        std::memset(&handler, 0, sizeof handler);
        handler.initialized = XML_SAX2_MAGIC;
        handler.startElementNs = &OsisReader::OnStart;
        handler.endElementNs = &OsisReader::OnEnd;
        handler.characters = &OsisReader::OnText;
        handler.cdataBlock = &OsisReader::OnText;
        handler.ignorableWhitespace = &OsisReader::OnText;
        handler.serror = &OsisReader::OnError;

        const std::size_t first = bytes.size() < 4 ? bytes.size() : 4;
        ctxt_ = xmlCreatePushParserCtxt(&handler, this, bytes.data(), static_cast<int>(first), nullptr);
        if (ctxt_ == nullptr) {
            return FormatError{1, "the XML parser could not be started"};
        }
        // Recovery keeps the parser going after an error; no network access, no DTD loaded, no
        // entity expanded.
        xmlCtxtUseOptions(ctxt_, XML_PARSE_RECOVER | XML_PARSE_NONET);
        std::size_t pos = first;
        while (pos < bytes.size() && !stopped_) {
            const std::size_t n = bytes.size() - pos < kChunkBytes ? bytes.size() - pos : kChunkBytes;
            xmlParseChunk(ctxt_, bytes.data() + pos, static_cast<int>(n), 0);
            pos += n;
        }
        if (!stopped_) {
            xmlParseChunk(ctxt_, nullptr, 0, 1);
        }
        const int lastLine = ctxt_->input != nullptr ? ctxt_->input->line : 1;
        xmlFreeParserCtxt(ctxt_);
        ctxt_ = nullptr;

        if (!error_ && !rootClosed_) {
            if (!root_) {
                // The parser's words for this ("Document is empty", "Start tag expected") say
                // less than this.
                Fail(firstError_.line > 0 ? firstError_.line : 1, "not an OSIS document: it holds no XML element");
            } else if (lastError_.line > 0 && eventsAfterLastError_ == 0 && !lastErrorAtEnd_) {
                Fail(lastError_.line, "the XML parser could not go on: " + lastError_.reason);
            } else {
                Fail(lastLine, "the document ends before its root element </osis> closes: it is cut short");
            }
        }
        return error_;
    }

private:
    struct Open {
        const xmlChar* name;  // interned by the parser for the whole run
        ElementKind kind;
    };

    static OsisReader& Self(void* context) { return *static_cast<OsisReader*>(context); }

    int Line() const { return ctxt_ != nullptr && ctxt_->input != nullptr ? ctxt_->input->line : 0; }

    void Fail(int line, std::string reason) {
        if (!error_) {
            error_ = FormatError{line, std::move(reason)};
        }
        if (ctxt_ != nullptr && !stopped_) {
            xmlStopParser(ctxt_);
        }
        stopped_ = true;
    }

    static std::string_view Attribute(const xmlChar** attributes, int count, const char* name) {
        for (int i = 0; i < count; ++i) {
            const xmlChar** a = attributes + 5 * i;
            if (a[1] == nullptr && NameIs(a[0], name)) {
                const char* begin = reinterpret_cast<const char*>(a[3]);
                return std::string_view(begin, static_cast<std::size_t>(a[4] - a[3]));
            }
        }
        return {};
    }

    static void OnStart(void* context, const xmlChar* name, const xmlChar*, const xmlChar*, int,
                        const xmlChar**, int attributeCount, int, const xmlChar** attributes) {
        Self(context).Start(name, attributeCount, attributes);
    }

    // What an element name is, by name alone. The parser interns every name in its dictionary,
    // so a name is looked up by its pointer and classified once per document.
    enum class NameKind { Verse, Chapter, Div, OsisText, Dropped, Block, Inline };

    NameKind KindOfName(const xmlChar* name) {
        const auto known = nameKinds_.find(name);
        if (known != nameKinds_.end()) {
            return known->second;
        }
        NameKind kind = NameKind::Inline;
        if (NameIs(name, "verse")) {
            kind = NameKind::Verse;
        } else if (NameIs(name, "chapter")) {
            kind = NameKind::Chapter;
        } else if (NameIs(name, "div")) {
            kind = NameKind::Div;
        } else if (NameIs(name, "osisText")) {
            kind = NameKind::OsisText;
        } else if (NameIn(name, kDroppedElements)) {
            kind = NameKind::Dropped;
        } else if (NameIn(name, kBlockElements)) {
            kind = NameKind::Block;
        }
        nameKinds_.emplace(name, kind);
        return kind;
    }

    void Start(const xmlChar* name, int attributeCount, const xmlChar** attributes) {
        if (stopped_) return;
        ++eventsAfterLastError_;
        pendingEndName_.clear();
        if (!root_) {
            root_ = true;
            if (!NameIs(name, "osis")) {
                Fail(Line(), "not an OSIS document: its root element is <" +
                                 std::string(reinterpret_cast<const char*>(name)) + ">, not <osis>");
                return;
            }
            stack_.push_back(Open{name, ElementKind::Container});
            return;
        }
        verseHasContent_ = true;
        ElementKind kind = ElementKind::Inline;
        switch (KindOfName(name)) {
            case NameKind::Verse: {
                kind = ElementKind::Verse;
                const std::string_view osisId = Attribute(attributes, attributeCount, "osisID");
                const std::string_view startId = Attribute(attributes, attributeCount, "sID");
                const std::string_view endId = Attribute(attributes, attributeCount, "eID");
                if (!osisId.empty() || !startId.empty()) {
                    StartVerse(osisId.empty() ? startId : osisId, startId.empty());
                    if (stopped_) return;
                } else if (!endId.empty()) {
                    EndVerse();
                }
                break;
            }
            case NameKind::Div:
                if (Attribute(attributes, attributeCount, "type") == "book") {
                    kind = ElementKind::Container;
                } else {
                    kind = ElementKind::Block;
                    text_.Break();
                }
                break;
            case NameKind::Chapter:
            case NameKind::OsisText:
                kind = ElementKind::Container;
                break;
            case NameKind::Dropped:
                kind = ElementKind::Dropped;
                ++dropped_;
                break;
            case NameKind::Block:
                kind = ElementKind::Block;
                text_.Break();
                break;
            case NameKind::Inline:
                break;
        }
        stack_.push_back(Open{name, kind});
    }

    static void OnEnd(void* context, const xmlChar* name, const xmlChar*, const xmlChar*) {
        Self(context).End(name);
    }

    void End(const xmlChar* name) {
        if (stopped_) return;
        ++eventsAfterLastError_;
        // After a tag mismatch the parser closes its innermost element; the end tag as written
        // is the one the error named. Otherwise it is the name given, interned like the names
        // on the stack, so the pointers compare.
        std::size_t found = stack_.size();
        if (pendingEndName_.empty()) {
            while (found-- > 0 && stack_[found].name != name) {
            }
        } else {
            const std::size_t prefix = pendingEndName_.find(':');
            const char* written = pendingEndName_.c_str() + (prefix == std::string::npos ? 0 : prefix + 1);
            while (found-- > 0 && !NameIs(stack_[found].name, written)) {
            }
            pendingEndName_.clear();
        }
        if (found == static_cast<std::size_t>(-1)) {
            return;  // an end tag without its start: passed over
        }
        while (stack_.size() > found) {
            Close(stack_.size() - 1);
            stack_.pop_back();
        }
        if (stack_.empty()) {
            rootClosed_ = true;
        }
    }

    // Closes the element at index i of the stack (the top).
    void Close(std::size_t i) {
        switch (stack_[i].kind) {
            case ElementKind::Dropped:
                if (dropped_ > 0 && --dropped_ == 0) {
                    text_.Dropped();
                }
                break;
            case ElementKind::Block:
                text_.Break();
                break;
            case ElementKind::Container:
                if (verseOpen_ && verseElement_ == kMilestone) {
                    EndVerse();
                }
                break;
            case ElementKind::Verse:
                if (verseOpen_ && i == verseElement_) {
                    if (!verseHasContent_) {
                        verseElement_ = kMilestone;  // <verse osisID="…"/>: its text follows it
                    } else {
                        EndVerse();
                    }
                }
                break;
            case ElementKind::Inline:
                break;
        }
    }

    void StartVerse(std::string_view osisId, bool container) {
        EndVerse();
        if (dropped_ > 0) {
            // A note or title left open before this verse: verses never stand inside one.
            for (Open& open : stack_) {
                if (open.kind == ElementKind::Dropped) open.kind = ElementKind::Inline;
            }
            dropped_ = 0;
            if (!lastId_.empty()) verses_.RepairedVerse(lastId_);
        }
        VerseReference reference;
        if (!ParseOsisId(osisId, reference, label_)) {
            Fail(Line(), "the verse osisID \"" + std::string(osisId) + "\" is not of the form Book.Chapter.Verse");
            return;
        }
        if (reference.book != lastBookName_) {
            lastBookName_.assign(reference.book);
            lastBook_ = BookOfOsisName(reference.book);
        }
        book_ = lastBook_;
        if (book_ == 0) {
            verses_.SkipBook(reference.book);
        }
        chapter_ = reference.chapter;
        currentId_.assign(osisId);
        verseOpen_ = true;
        verseElement_ = container ? stack_.size() : kMilestone;
        verseHasContent_ = false;
        text_.Clear();
    }

    void EndVerse() {
        if (verseOpen_ && book_ != 0) {
            verses_.AddVerse(book_, chapter_, label_, text_.Text());
        }
        if (verseOpen_) {
            lastId_ = currentId_;
        }
        verseOpen_ = false;
        text_.Clear();
    }

    static void OnText(void* context, const xmlChar* text, int length) {
        Self(context).Text(std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length)));
    }

    void Text(std::string_view text) {
        if (stopped_) return;
        ++eventsAfterLastError_;
        verseHasContent_ = true;
        if (!verseOpen_ || book_ == 0 || dropped_ > 0) {
            return;
        }
        std::size_t slash = text.find('\\');
        while (slash != std::string_view::npos) {
            const std::size_t length = StrayMarkerLength(text.substr(slash));
            if (length == 0) {
                text_.Append(text.substr(0, slash + 1));
            } else {
                text_.Append(text.substr(0, slash));
                verses_.RepairedVerse(currentId_);
            }
            text.remove_prefix(slash + (length == 0 ? 1 : length));
            slash = text.find('\\');
        }
        text_.Append(text);
    }

    static void OnError(void* context, xmlErrorPtr error) { Self(context).Error(*error); }

    void Error(const xmlError& error) {
        if (stopped_ || error.level == XML_ERR_WARNING) return;
        std::string message = error.message != nullptr ? error.message : "an XML error";
        while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
        if (error.code == XML_ERR_INVALID_CHAR && message.rfind("Input is not proper UTF-8", 0) == 0) {
            // The parser would read the rest as Latin-1.
            Fail(error.line, "the text is not UTF-8 here (and the document declares no other encoding)");
            return;
        }
        lastError_ = FormatError{error.line, message};
        eventsAfterLastError_ = 0;
        lastErrorAtEnd_ = error.code == XML_ERR_TAG_NOT_FINISHED || error.code == XML_ERR_DOCUMENT_END;
        if (error.code == XML_ERR_TAG_NAME_MISMATCH && error.str2 != nullptr) {
            pendingEndName_ = error.str2;
        }
        if (firstError_.line == 0) {
            firstError_ = lastError_;
        }
        // An error between verses touches no verse text.
        if (verseOpen_ && !rootClosed_) {
            verses_.RepairedVerse(currentId_);
        }
    }

    static constexpr std::size_t kMilestone = static_cast<std::size_t>(-1);

    VerseCollector& verses_;
    xmlParserCtxtPtr ctxt_ = nullptr;
    std::optional<FormatError> error_;
    bool stopped_ = false;

    bool root_ = false;
    bool rootClosed_ = false;
    std::vector<Open> stack_;
    std::unordered_map<const xmlChar*, NameKind> nameKinds_;
    int dropped_ = 0;  // open dropped elements
    std::string pendingEndName_;

    FormatError firstError_;
    FormatError lastError_;
    int eventsAfterLastError_ = 0;
    bool lastErrorAtEnd_ = false;

    bool verseOpen_ = false;
    std::size_t verseElement_ = kMilestone;  // stack index of a container verse
    bool verseHasContent_ = false;
    int book_ = 0;
    int chapter_ = 0;
    std::string label_;
    std::string currentId_;
    std::string lastId_;
    std::string lastBookName_;
    int lastBook_ = 0;
    VerseText text_;
};

}  // namespace

std::optional<FormatError> ReadOsisDocument(std::string_view bytes, VerseCollector& verses) {
    OsisReader reader(verses);
    return reader.Read(bytes);
}

}  // namespace quillax
