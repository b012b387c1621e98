// The OSIS reader on small documents: both verse forms, the markup a verse keeps and drops, the
// damage found in exported files (which must not lose the book), and the documents it refuses.
// The documents are UTF-8 (u8 literals); the module text they give is GBK, as every plain
// literal of this build is.
#include <gtest/gtest.h>

#include <string>

#include "setup/bible_format_test_support.h"
#include "setup/bible_formats/osis_reader.h"

namespace quillax {
namespace {

using Read = testsupport::FormatRead;

Read ReadDocument(const std::string& osis) { return testsupport::ReadFormat(ReadOsisDocument, osis); }

std::string ErrorOf(const std::string& osis) { return testsupport::FormatErrorOf(ReadOsisDocument, osis); }

std::string Document(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<osis xmlns=\"http://www.bibletechnologies.net/2003/OSIS/namespace\">\n"
           "<osisText osisIDWork=\"test\"><header><work osisWork=\"test\"><title>A Bible</title></work></header>\n" +
           body + "\n</osisText>\n</osis>\n";
}

TEST(OsisReader, ContainerVersesKeepTheirWordsWithoutNotesTitlesOrAttributes) {
    const Read read = ReadDocument(Document(
        "<div type=\"book\" osisID=\"Gen\"><chapter osisID=\"Gen.1\">\n"
        "<verse osisID=\"Gen.1.1\">In the <w lemma=\"strong:H7225\">beginning</w> "
        "<w lemma=\"strong:H0430\" morph=\"x\">God</w><note placement=\"foot\"><reference>1:1</reference>"
        "The Hebrew word</note><w lemma=\"strong:H1254\">created</w> the heaven.</verse>\n"
        "<verse osisID=\"Gen.1.2\">And the earth <transChange type=\"added\">was</transChange> without "
        "form<note type=\"crossReference\"><reference osisRef=\"Jer.4.23\">Jer 4:23</reference></note>.</verse>\n"
        "</chapter></div>\n"
        "<div type=\"book\" osisID=\"Ps\"><chapter osisID=\"Ps.3\">\n"
        u8"<verse osisID=\"Ps.3.1\"><title type=\"psalm\" canonical=\"true\">A Psalm of David.</title>"
        u8"<lg><l level=\"1\"><divineName>Lord</divineName>, how are they increased</l>"
        u8"<l level=\"2\">that <q who=\"x\">“trouble”</q> me!</l></lg><lb/>Selah.</verse>\n"
        "<verse osisID=\"Ps.3.2 Ps.3.3\">Many there be.</verse>\n"
        "</chapter></div>"));
    ASSERT_FALSE(read.error) << read.error->reason;
    EXPECT_EQ(read.module,
              "01001:=/$1In the beginning God created the heaven.|"
              "$2And the earth was without form.|"
              "19003:=/$1Lord, how are they increased that “trouble” me! Selah.|"
              "$2-3Many there be.|");
    EXPECT_TRUE(read.verses.RepairedVerses().empty());
}

TEST(OsisReader, MilestoneVersesRunFromStartToEndAcrossParagraphs) {
    const Read read = ReadDocument(Document(
        "<div type=\"book\" osisID=\"Matt\"><chapter sID=\"Matt.1\" osisID=\"Matt.1\"/>\n"
        "<p><verse sID=\"Matt.1.1\" osisID=\"Matt.1.1\"/>The book of the generation</p>\n"
        "<title>A heading between</title>\n"
        "<p>of Jesus Christ.<verse eID=\"Matt.1.1\"/>\n"
        // Without its end milestone a verse ends where the next begins, ...
        "<verse sID=\"Matt.1.2\" osisID=\"Matt.1.2\"/>Abraham begat Isaac;\n"
        "<verse sID=\"Matt.1.3\" osisID=\"KJV:Matt.1.3!a\"/>and Judas begat Phares</p>\n"
        // ... or where its chapter or book ends.
        "<chapter eID=\"Matt.1\"/></div>\n"
        "<div type=\"book\" osisID=\"Mark\"><chapter osisID=\"Mark.1\">\n"
        // An empty verse element stands for a start milestone.
        "<verse osisID=\"Mark.1.1\"/>The beginning of the gospel.</chapter></div>"));
    ASSERT_FALSE(read.error) << read.error->reason;
    EXPECT_EQ(read.module,
              "40001:=/$1The book of the generation of Jesus Christ.|"
              "$2Abraham begat Isaac;|"
              "$3and Judas begat Phares|"
              "41001:=/$1The beginning of the gospel.|");
}

TEST(OsisReader, SkipsBooksOutsideTheTable) {
    const Read read = ReadDocument(Document(
        "<div type=\"book\" osisID=\"Tob\"><chapter osisID=\"Tob.1\"><verse osisID=\"Tob.1.1\">Tobit</verse>"
        "</chapter></div><div type=\"book\" osisID=\"Rev\"><chapter osisID=\"Rev.22\">"
        "<verse osisID=\"Rev.22.21\">The grace.</verse></chapter></div>"
        "<div type=\"book\" osisID=\"Sir\"><chapter osisID=\"Sir.1\"><verse osisID=\"Sir.1.1\">Wisdom</verse>"
        "</chapter></div>"));
    ASSERT_FALSE(read.error) << read.error->reason;
    EXPECT_EQ(read.module, "66022:=/$21The grace.|");
    EXPECT_EQ(read.verses.SkippedBooks(), (std::vector<std::string>{"Tob", "Sir"}));
}

TEST(OsisReader, LocalDamageKeepsTheVersesAndIsReported) {
    // The faults of the exported King James and World English texts: a divine name left open
    // inside a note, its stray end tag and a marker of another format in the next verse; a list
    // closed by the verse's end tag, and the list's end tag in a later verse.
    const Read read = ReadDocument(Document(
        "<div type=\"book\" osisID=\"Exod\"><chapter osisID=\"Exod.6\">\n"
        "<verse osisID=\"Exod.6.2\">I am the <divineName>LORD</divineName>:<note placement=\"foot\">"
        "the <divineName>LORD\\+nd*: or, <seg><divineName>JEHOVAH</divineName></seg></note></verse>\n"
        "<verse osisID=\"Exod.6.3\">And I appeared unto Abraham, but by my name \\nd "
        "<w lemma=\"strong:H3068\">JEHOVAH</w></divineName> was I not known to them.</verse>\n"
        "<verse osisID=\"Exod.6.4\">And I have also established my covenant.</verse>\n"
        "</chapter></div>\n"
        "<div type=\"book\" osisID=\"Ezra\"><chapter osisID=\"Ezra.8\">\n"
        "<verse osisID=\"Ezra.8.2\"><list> <item>Of the sons of Phinehas, Gershom.</item> "
        "<item>Of the sons of David, Hattush. </item></verse>\n"
        "<verse osisID=\"Ezra.8.3\"><item>Of the sons of Shecaniah.</item></verse>\n"
        "<verse osisID=\"Ezra.8.4\"><item>Of the sons of Pahathmoab.</item> </list></verse>\n"
        "<verse osisID=\"Ezra.8.5\">Of the sons of Shechaniah.</verse>\n"
        // A note left open before the next verse: verses never stand inside one.
        "<verse osisID=\"Ezra.8.6\">Of the sons also of Adin<note>a note never closed</verse>\n"
        "<verse osisID=\"Ezra.8.7\">And of the sons of Elam.</verse>\n"
        "</chapter></div>"));
    ASSERT_FALSE(read.error) << read.error->reason;
    EXPECT_EQ(read.module,
              "02006:=/$2I am the LORD:|"
              "$3And I appeared unto Abraham, but by my name JEHOVAH was I not known to them.|"
              "$4And I have also established my covenant.|"
              "15008:=/$2Of the sons of Phinehas, Gershom. Of the sons of David, Hattush.|"
              "$3Of the sons of Shecaniah.|"
              "$4Of the sons of Pahathmoab.|"
              "$5Of the sons of Shechaniah.|"
              "$6Of the sons also of Adin|"
              "$7And of the sons of Elam.|");
    EXPECT_EQ(read.verses.RepairedVerses(),
              (std::vector<std::string>{"Exod.6.2", "Exod.6.3", "Ezra.8.2", "Ezra.8.4", "Ezra.8.6"}));
}

TEST(OsisReader, RefusesWhatIsNotOsisOrIsCutShort) {
    EXPECT_EQ(ErrorOf(""), "1: not an OSIS document: it holds no XML element");
    EXPECT_EQ(ErrorOf("gen\t1\t1\t1\tIn the beginning\n"), "1: not an OSIS document: it holds no XML element");
    EXPECT_EQ(ErrorOf("<?xml version=\"1.0\"?>\n<html><body>Hello</body></html>\n"),
              "2: not an OSIS document: its root element is <html>, not <osis>");
    const std::string whole = Document("<div type=\"book\" osisID=\"Gen\"><chapter osisID=\"Gen.1\">\n"
                                       "<verse osisID=\"Gen.1.1\">In the beginning.</verse>\n</chapter></div>");
    EXPECT_EQ(ErrorOf(whole), "no error");
    // Cut short: after the last verse, or in the middle of one.
    EXPECT_EQ(ErrorOf(whole.substr(0, whole.find("</osis>"))),
              "7: the document ends before its root element </osis> closes: it is cut short");
    EXPECT_EQ(ErrorOf(whole.substr(0, whole.find("beginning"))),
              "5: the document ends before its root element </osis> closes: it is cut short");
    EXPECT_EQ(ErrorOf(Document("<verse osisID=\"Gen.1\">x</verse>")),
              "4: the verse osisID \"Gen.1\" is not of the form Book.Chapter.Verse");
    EXPECT_EQ(ErrorOf(Document("<verse osisID=\"Gen.1.1\">caf\xE9</verse>")),
              "4: the text is not UTF-8 here (and the document declares no other encoding)");
    // Another encoding, declared, is read.
    const Read latin = ReadDocument("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<osis>"
                                    "<verse osisID=\"Gen.1.1\">caf\xE9</verse></osis>");
    EXPECT_FALSE(latin.error);
    EXPECT_EQ(latin.verses.ReplacedCount(), 0);
}

}  // namespace
}  // namespace quillax
