// The text modules of the sample installation as the programs read them: the main text is
// the set-up tool's derivation of the chain-reference chapters, and every chapter, chain
// reference, plan day and marked phrase resolves through the indexes the set-up tool builds.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "setup/main_text.h"
#include "setup/module_index.h"
#include "textlib/config_text.h"
#include "textlib/module_reader.h"

namespace quillax {
namespace {

constexpr char kSample[] = "sample\\cfg\\";
const char* const kModules[] = {"sys\\tessaly", "sys\\emendo", "sys\\tidoran", "sys\\oblix",
                                "sys\\amberly", "sys\\rovask", "sys\\zendri", "usr\\kjv",
                                "usr\\web"};

bool IsLead(char c) { return static_cast<unsigned char>(c) >= 0x81; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int NumberAt(const std::string& text, std::size_t& at) {
    int value = 0;
    while (at < text.size() && IsDigit(text[at])) value = value * 10 + (text[at++] - '0');
    return value;
}

std::string ChapterKey(int book, int chapter) {
    std::string key = std::to_string(book * 1000 + chapter);
    return std::string(key.size() < 5 ? 5 - key.size() : 0, '0') + key;
}

// A copy of the sample's modules, without the main text and without indexes.
class SampleModules : public ::testing::Test {
protected:
    void SetUp() override {
        const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        dir_ = ::testing::TempDir() + "quillax_sample_" + std::to_string(ticks % 1000000007);
        cfg_ = dir_ + "/";
        ASSERT_TRUE(platform::MakeDirectories(cfg_ + "sys"));
        ASSERT_TRUE(platform::MakeDirectories(cfg_ + "usr"));
        for (const char* name : kModules) {
            const auto bytes = platform::ReadWholeFile(std::string(kSample) + name + ".txt");
            ASSERT_TRUE(bytes.has_value()) << name << " (run the tests from the repository root)";
            ASSERT_TRUE(platform::WriteWholeFile(cfg_ + name + ".txt", *bytes));
        }
    }
    void TearDown() override { platform::RemoveTree(dir_); }

    std::string File(std::string_view name) const {
        return platform::ReadWholeFile(cfg_ + std::string(name)).value_or(std::string());
    }
    // The bytes of a record as the index gives them; nullopt when the key is not indexed.
    std::optional<std::string> Record(std::string_view module, std::string_view key) const {
        const IndexRange range = IndexLookup(File(std::string(module) + ".inx"), key);
        if (range.offset < 0) return std::nullopt;
        const std::string text = File(std::string(module) + ".txt");
        const auto offset = static_cast<std::size_t>(range.offset);
        return range.length < 0 ? text.substr(offset)
                                : text.substr(offset, static_cast<std::size_t>(range.length));
    }

    std::string dir_;
    std::string cfg_;
};

TEST_F(SampleModules, MainTextIsTheSetUpToolsDerivationOfTheChapters) {
    DeriveMainText(cfg_);
    const auto kept = platform::ReadWholeFile(std::string(kSample) + "sys\\corpa.txt");
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(File("sys\\corpa.txt"), *kept)
        << "derive it again: python3 tools/sample/make_modules.py --tools BUILD/bin";
}

TEST_F(SampleModules, ChaptersReferencesPlanDaysAndMarkedPhrasesResolve) {
    PrepareModules(cfg_);
    BuildModuleIndex(cfg_, "usr\\kjv", false, ":=");
    BuildModuleIndex(cfg_, "usr\\web", false, ":=");

    // The kept chapters: one line of the main text each. Every chapter module holds each of
    // them, with the same verses.
    const std::string corpa = File("sys\\corpa.txt");
    std::vector<std::string> chapters;
    for (std::size_t at = 0; at < corpa.size(); at = corpa.find('\n', at) + 1) {
        chapters.push_back(corpa.substr(at, 5));
        if (corpa.find('\n', at) == std::string::npos) break;
    }
    ASSERT_EQ(chapters.size(), 11u);
    EXPECT_EQ(chapters.front(), "01001");  // the ends of the navigation bar
    EXPECT_EQ(chapters.back(), "66022");
    std::set<std::string> verses;  // "01001:31"
    for (const std::string& key : chapters) {
        const auto chapter = Record("sys\\tessaly", key);
        ASSERT_TRUE(chapter.has_value()) << key;
        EXPECT_EQ(chapter->rfind("'3", 0), 0u) << key;
        EXPECT_NE(chapter->find("'4\r\n"), std::string::npos) << key;
        int count = 0;
        for (std::size_t at = chapter->find('$'); at != std::string::npos;
             at = chapter->find('$', at)) {
            ++at;
            const int verse = NumberAt(*chapter, at);
            EXPECT_EQ(verse, ++count) << key;
            verses.insert(key + ":" + std::to_string(verse));
        }
        EXPECT_TRUE(Record("sys\\corpa", key).has_value()) << key;
        for (const char* parallel : {"usr\\kjv", "usr\\web"}) {
            const auto text = Record(parallel, key);
            ASSERT_TRUE(text.has_value()) << parallel << " " << key;
            EXPECT_EQ(text->rfind("$1", 0), 0u) << parallel << " " << key;
            const std::string last = "\r\n$" + std::to_string(count);
            EXPECT_NE(text->find(last), std::string::npos) << parallel << " " << key;
            EXPECT_EQ(text->find("\r\n$" + std::to_string(count + 1)), std::string::npos) << key;
        }
    }

    // Every bracket reference of the chapters ("[约3:5,8]", "[3:22]" in the book before it)
    // names a kept chapter and verses of it; [本章…] stays in its own chapter.
    const GbString config = ApplyBlankRule(
        platform::ReadWholeFile(std::string(kSample) + "bible.ini").value_or(std::string()));
    const std::string slots = ReadConfigValue(config, "CNAME=").str();
    ASSERT_EQ(slots.size(), 330u);
    const std::string text = File("sys\\tessaly.txt");
    int book = 0;
    int references = 0;
    for (std::size_t at = 0; at < text.size(); at += IsLead(text[at]) ? 2 : 1) {
        if (text[at] != '[') continue;
        std::size_t p = at + 1;
        if (p + 1 < text.size() && IsLead(text[p])) {
            const std::string two = text.substr(p, 4);
            const std::string one = text.substr(p, 2) + "。";
            std::size_t slot = std::string::npos;
            for (std::size_t s = 0; s < slots.size(); s += 5) {
                if (slots.compare(s, 4, two) == 0 || slots.compare(s, 4, one) == 0) {
                    slot = s;
                    if (slots.compare(s, 4, two) == 0) break;
                }
            }
            if (slot == std::string::npos) continue;  // [本章…] or a note
            book = static_cast<int>(slot / 5) + 1;
            p += slots.compare(slot, 4, two) == 0 ? 4 : 2;
        }
        if (p >= text.size() || !IsDigit(text[p])) continue;
        ASSERT_GT(book, 0) << text.substr(at, 20);
        const std::string key = ChapterKey(book, NumberAt(text, p));
        ASSERT_EQ(text[p], ':') << text.substr(at, 20);
        while (++p < text.size() && (IsDigit(text[p]) || text[p] == ',' || text[p] == '-')) {
            if (!IsDigit(text[p])) continue;
            const int verse = NumberAt(text, p);
            EXPECT_EQ(verses.count(key + ":" + std::to_string(verse)), 1u)
                << "[" << text.substr(at + 1, p - at) << " names a verse the sample lacks";
            --p;
        }
        ++references;
    }
    EXPECT_GT(references, 100);

    // The plan-day modules hold the six days of the sample plan, and no more.
    for (const char* module : {"sys\\tidoran", "sys\\oblix", "sys\\amberly", "sys\\zendri"}) {
        for (int day = 1; day <= 6; ++day) {
            const std::string key = "00" + std::to_string(day);
            const auto entry = Record(module, key);
            ASSERT_TRUE(entry.has_value()) << module << " " << key;
            EXPECT_NE(entry->find("第" + std::to_string(day) + "日"), std::string::npos) << module;
        }
        EXPECT_FALSE(Record(module, "007").has_value()) << module;
    }

    // Every phrase marked for a text-fix note ("@…#", "%…^") has its note.
    int marks = 0;
    for (std::size_t at = 0; at < text.size(); at += IsLead(text[at]) ? 2 : 1) {
        if (text[at] != '@' && text[at] != '%') continue;
        const char close = text[at] == '@' ? '#' : '^';
        std::size_t end = at + 1;
        while (end < text.size() && text[end] != close) end += IsLead(text[end]) ? 2 : 1;
        ASSERT_LT(end - at, 30u) << text.substr(at, 30);
        const std::string phrase = text.substr(at, end + 1 - at);
        const auto note = Record("sys\\emendo", phrase);
        ASSERT_TRUE(note.has_value()) << phrase;
        EXPECT_EQ(note->rfind(phrase + "=", 0), 0u) << phrase;
        EXPECT_GT(note->size(), phrase.size() + 3) << phrase;
        ++marks;
    }
    EXPECT_GE(marks, 8);
}

}  // namespace
}  // namespace quillax
