// The import of a real Bible: the King James Version that Debian ships for SWORD, exported by
// tools/kjv/export_kjv.py with diatheke. Skipped when diatheke or the module is not installed.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/files.h"
#include "setup/bible_import.h"
#include "setup/setup_test_support.h"
#include "textlib/gb_list.h"
#include "textlib/module_reader.h"

namespace quillax {
namespace {

using testsupport::CurrentDirectoryGuard;
using testsupport::TempInstallation;

std::string SystemForm(std::string path) {
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

// Exports the KJV into path; the exporter's exit code (2: not installed).
int ExportKjv(const std::string& path) {
    const std::string command = "python3 '" QUILLAX_SOURCE_DIR "/tools/kjv/export_kjv.py' '" + SystemForm(path) +
                                "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    }
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

TEST(KjvImport, ImportsTheWholeBibleAndReadsItBack) {
    CurrentDirectoryGuard guard;
    TempInstallation install;
    const int exported = ExportKjv(install.Config() + "kjv.txt");
    if (exported == 2) {
        GTEST_SKIP() << "diatheke or the KJV module (Debian packages diatheke, sword-text-kjv) is not installed";
    }
    ASSERT_EQ(exported, 0);
    const std::string input = install.Read("kjv.txt");

    ASSERT_TRUE(platform::ChangeDirectory(install.Config()));
    SetupSession session;
    session.configDirectory = install.Config();
    ImportBible(session, "kjv.txt");
    EXPECT_EQ(session.messageText, kImportDoneMessage);

    const std::string module = install.Read("usr\\kjv.txt");
    int headers = 0;
    int verses = 0;
    for (const std::string& line : Lines(module)) {
        headers += line.size() == 7 && line.compare(5, 2, ":=") == 0;
        verses += !line.empty() && line[0] == '$';
    }
    EXPECT_EQ(headers, 1189);
    EXPECT_EQ(verses, 31102);
    EXPECT_NE(install.Read("bible.ini").find("EQUATEFILE=usr\\kjv"), std::string::npos);

    const GbString installDir(install.Config());
    const GbString systemDir("sys\\");
    const GbString systemModules("corpa");
    const GbList vocabulary;
    const ModuleReaderContext reader{installDir, systemDir, systemModules, false, vocabulary, nullptr, nullptr};
    const GbString genesis = ReadModuleEntryWith(reader, "usr\\kjv", "01001", false);
    EXPECT_NE(genesis.Find("In the beginning God created the heaven and the earth.", 0), -1) << genesis.str();
    EXPECT_EQ(genesis.Find("Thus the heavens", 0), -1) << "chapter 2 is a record of its own";
    const GbString psalm = ReadModuleEntryWith(reader, "usr\\kjv", "19119", false);
    EXPECT_NE(psalm.Find("I have gone astray like a lost sheep", 0), -1);
    const GbString revelation = ReadModuleEntryWith(reader, "usr\\kjv", "66022", false);
    EXPECT_NE(revelation.Find("The grace of our Lord Jesus Christ be with you all. Amen.", 0), -1);

    // The same verses with their references in front ("Gen 1:1 In the beginning") import to the
    // same module: the references are recognised and removed.
    std::string referenced;
    for (const std::string& line : Lines(input)) {
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
            fields.push_back(line.substr(start, tab - start));
            start = tab + 1;
        }
        fields.push_back(line.substr(start));
        ASSERT_EQ(fields.size(), 5u) << line;
        std::string abbreviation = fields[0];
        abbreviation[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(abbreviation[0])));
        referenced += fields[0] + "\t" + fields[1] + "\t" + fields[2] + "\t" + fields[3] + "\t" + abbreviation +
                      " " + fields[2] + ":" + fields[3] + " " + fields[4] + "\n";
    }
    install.Write("kjvref.txt", referenced);
    ImportBible(session, "kjvref.txt");
    EXPECT_TRUE(install.Read("usr\\kjvref.txt") == module) << "the references were not all removed";
}

}  // namespace
}  // namespace quillax
