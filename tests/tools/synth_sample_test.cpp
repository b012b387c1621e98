// The shortened synthetic installation that the sample keeps: only the chosen books and
// chapters, the first plan days, references that stay inside the kept chapters, and with
// modulesOnly no configuration written and the parallel versions named as bible.ini names them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "textlib/chapter_keys.h"
#include "tools/synth/installation.h"

namespace quillax::synth {
namespace {

Options SampleOptions() {
    Options options;
    options.configSource = QUILLAX_TEST_SAMPLE_CONFIG_DIR;
    options.books = {1, 19, 40, 66};
    options.chaptersPerBook = 3;
    options.planDays = 6;
    options.modulesOnly = true;
    return options;
}

TEST(SynthSample, KeepsOnlyTheChosenBooksChaptersAndDays) {
    const Options options = SampleOptions();
    EXPECT_EQ(options.KeptChapters(1), 3);
    EXPECT_EQ(options.KeptChapters(2), 0);
    EXPECT_EQ(options.KeptChapters(67), 0);
    Options psalmsOnly;
    psalmsOnly.books = {19};
    EXPECT_EQ(psalmsOnly.KeptChapters(19), 150);

    const Installation installation = Generate(options);
    EXPECT_TRUE(installation.bibleIni.empty());
    EXPECT_TRUE(installation.extraFiles.empty());

    const Module* tessaly = installation.FindModule("sys\\Tessaly");
    ASSERT_NE(tessaly, nullptr);
    std::vector<std::string> keys;
    for (const Record& record : tessaly->records) keys.push_back(record.key);
    const std::vector<std::string> expected = {
        "0100000", "01001", "01002", "01003", "1900000", "19001", "19002", "19003",
        "4000000", "40001", "40002", "40003", "6600000", "66001", "66002", "66003"};
    EXPECT_EQ(keys, expected);

    for (const char* name : {"sys\\tidoran", "sys\\oblix", "sys\\amberly", "sys\\zendri"}) {
        const Module* module = installation.FindModule(name);
        ASSERT_NE(module, nullptr) << name;
        EXPECT_EQ(module->records.size(), 6u) << name;
    }

    // The parallel versions: named after the sample's EQUATEFILE, with the kept chapters.
    for (const char* name : {"usr\\kjv", "usr\\web"}) {
        const Module* module = installation.FindModule(name);
        ASSERT_NE(module, nullptr) << name;
        EXPECT_EQ(module->fileName, std::string(name).replace(3, 1, "/") + ".txt");
        EXPECT_EQ(module->records.size(), 12u) << name;
    }
    EXPECT_EQ(installation.FindModule("usr\\niv"), nullptr);

    // Every bracket reference of the chapters ("[创2:3]", "[2:5]") names a kept chapter.
    const std::string abbreviations[] = {"创", "诗", "太", "启"};
    const std::string& text = tessaly->text;
    for (std::size_t at = text.find('['); at != std::string::npos; at = text.find('[', at + 1)) {
        const std::size_t colon = text.find(':', at);
        const std::size_t close = text.find(']', at);
        if (colon == std::string::npos || close == std::string::npos || colon > close) continue;
        const std::string reference = text.substr(at + 1, colon - at - 1);
        // A continuation ("[2:5]") names only the chapter, in the book of the one before.
        bool kept = !reference.empty() && reference[0] >= '1' && reference[0] <= '9' &&
                    std::stoi(reference) <= 3;
        for (const std::string& a : abbreviations) {
            if (reference.compare(0, a.size(), a) == 0) {
                const int chapter = std::stoi(reference.substr(a.size()));
                kept = chapter >= 1 && chapter <= 3;
            }
        }
        EXPECT_TRUE(kept) << reference;
    }
}

}  // namespace
}  // namespace quillax::synth
