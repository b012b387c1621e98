#include "tools/synth/installation.h"

#include <algorithm>
#include <utility>

#include "platform/files.h"
#include "tools/synth/installation_writers.h"

// The writers of the modules are listed in installation_writers.h.
namespace quillax::synth {

namespace detail {

std::string ChapterKey(int book, int chapter) {
    std::string key;
    AppendPadded(key, book * 1000 + chapter, 5);
    return key;
}

std::string DayKey(int day) {
    std::string key;
    AppendPadded(key, day, 3);
    return key;
}

// Where a sentence's closing punctuation starts: before "。" or before "。”".
std::size_t BeforeFinalPunctuation(const std::string& sentence) {
    if (sentence.size() >= 4 && sentence.compare(sentence.size() - 2, 2, "”") == 0) {
        return sentence.size() - 4;
    }
    return sentence.size() >= 2 ? sentence.size() - 2 : 0;
}

// Opens a record whose text starts at the current end of the module.
void BeginRecord(Module& module, std::string key) {
    module.records.push_back(Record{std::move(key), module.text.size(), 0});
}
// Closes the last record at the current end, without the line break that ends it.
void EndRecord(Module& module, std::size_t lineEndBytes) {
    Record& record = module.records.back();
    record.length = module.text.size() - lineEndBytes - record.begin;
}

}  // namespace detail

namespace {

Module NewModule(const char* name, const char* fileName, const char* marker, bool lineFlag) {
    Module module;
    module.name = name;
    module.fileName = fileName;
    module.marker = marker;
    module.lineFlag = lineFlag;
    return module;
}

}  // namespace

using namespace detail;

int Options::KeptChapters(int book) const {
    if (book < 1 || book > kBookCount) return 0;
    if (!books.empty() && std::find(books.begin(), books.end(), book) == books.end()) return 0;
    const int all = ChapterCount(book);
    return chaptersPerBook > 0 ? std::min(all, chaptersPerBook) : all;
}

int Options::KeptPlanDays() const { return planDays > 0 ? std::min(planDays, kPlanDays) : kPlanDays; }

const Record* Module::FindRecord(std::string_view key) const {
    for (const Record& record : records) {
        if (record.key == key) return &record;
    }
    return nullptr;
}

const Module* Installation::FindModule(std::string_view name) const {
    for (const Module& module : modules) {
        if (module.name == name) return &module;
    }
    return nullptr;
}

std::size_t Installation::TotalBytes() const {
    std::size_t total = bibleIni.size();
    for (const auto& file : extraFiles) total += file.second.size();
    for (const Module& module : modules) total += module.text.size();
    return total;
}

Installation Generate(const Options& options) {
    Installation installation;
    const Configuration config = LoadConfiguration(options, installation);
    const References refs(config.bookNameText, options);

    // In the order of the set-up tool's module table.
    Module corpa = NewModule("sys\\Corpa", "sys/corpa.txt", "=", true);
    Module tessaly = NewModule("sys\\Tessaly", "sys/tessaly.txt", ":=", false);
    Module emendo = NewModule("sys\\emendo", "sys/emendo.txt", "=", true);
    Module tidoran = NewModule("sys\\tidoran", "sys/tidoran.txt", "", true);
    Module oblix = NewModule("sys\\oblix", "sys/oblix.txt", "", true);
    Module amberly = NewModule("sys\\amberly", "sys/amberly.txt", "<h1>", true);
    Module rovask = NewModule("sys\\rovask", "sys/rovask.txt", "<h1>", true);
    Module zendri = NewModule("sys\\zendri", "sys/zendri.txt", ":=", false);
    Module niv = NewModule("usr\\niv", "usr/niv.txt", ":=", false);
    Module nasb = NewModule("usr\\nasb", "usr/nasb.txt", ":=", false);
    if (options.modulesOnly) {
        // The translations stand in for the ones the configuration names ("usr\\kjv" is
        // written to "usr/kjv.txt").
        Module* parallel[] = {&niv, &nasb};
        for (std::size_t i = 0; i < 2 && i < config.parallelNames.size(); ++i) {
            std::string fileName = config.parallelNames[i];
            std::replace(fileName.begin(), fileName.end(), '\\', '/');
            parallel[i]->name = config.parallelNames[i];
            parallel[i]->fileName = fileName + ".txt";
        }
    }

    if (!refs.Empty()) {
        WriteChainBible(options, config, refs, tessaly, corpa, emendo);
        Random dictionaryRandom = Random::Stream(options.seed, kSaltRovask);
        ChineseWriter dictionaryChinese(dictionaryRandom, options.traditionalPerMille);
        const std::vector<std::string> keys = DictionaryKeys(options, dictionaryRandom, dictionaryChinese);
        WriteWheel(options, config, refs, tidoran);
        WriteOutline(options, config, refs, oblix);
        WriteDevotional(options, refs, keys, amberly);
        WriteDictionary(refs, keys, dictionaryRandom, dictionaryChinese, rovask);
        WriteStudyNotes(options, config, refs, keys, zendri);
    }
    WriteTranslation(options, kSaltNiv, false, niv);
    WriteTranslation(options, kSaltNasb, true, nasb);

    if (options.mainText) installation.modules.push_back(std::move(corpa));
    for (Module* module : {&tessaly, &emendo, &tidoran, &oblix, &amberly, &rovask, &zendri, &niv, &nasb}) {
        installation.modules.push_back(std::move(*module));
    }
    return installation;
}

std::string ConfigDirectory(const std::string& outDir) {
    std::string dir = outDir;
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
    return dir + "cfg/";
}

bool Write(const Installation& installation, const std::string& outDir, std::string* error) {
    const std::string cfg = ConfigDirectory(outDir);
    auto fail = [error](const std::string& message) {
        if (error != nullptr) *error = message;
        return false;
    };
    for (const char* sub : {"sys", "usr"}) {
        if (!platform::MakeDirectories(cfg + sub)) return fail("cannot create " + cfg + sub);
    }
    if (!installation.bibleIni.empty() &&
        !platform::WriteWholeFile(cfg + "bible.ini", installation.bibleIni)) {
        return fail("cannot write " + cfg + "bible.ini");
    }
    for (const auto& file : installation.extraFiles) {
        if (!platform::WriteWholeFile(cfg + file.first, file.second)) {
            return fail("cannot write " + cfg + file.first);
        }
    }
    for (const Module& module : installation.modules) {
        const std::string path = cfg + module.fileName;
        const std::string index = path.substr(0, path.size() - 4) + ".inx";
        if (platform::FileExists(index)) {
            platform::SetReadOnly(index, false);
            if (!platform::RemoveFile(index)) return fail("cannot remove the old index " + index);
        }
        if (!platform::WriteWholeFile(path, module.text)) return fail("cannot write " + path);
    }
    return true;
}

}  // namespace quillax::synth
