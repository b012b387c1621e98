// cfg/bible.ini and its companions, and the book tables the other writers use.
#include <optional>
#include <string_view>
#include <utility>

#include "platform/files.h"
#include "textlib/config_text.h"
#include "tools/synth/installation_writers.h"

namespace quillax::synth::detail {
namespace {

// The book abbreviations ("CNAME=": 66 slots of 5 bytes) and display names ("CCNAME=") used
// when no sample configuration is at hand; the same as the sample's.
constexpr char kDefaultBookNameText[] =
    "创。,出。,利。,民。,申。,书。,士。,得。,撒上,撒下,王上,王下,代上,代下,拉。,尼。,斯。,"
    "伯。,诗。,箴。,传。,歌。,赛。,耶。,哀。,结。,但。,何。,珥。,摩。,俄。,拿。,弥。,鸿。,"
    "哈。,番。,该。,亚。,玛。,太。,可。,路。,约。,徒。,罗。,林前,林后,加。,弗。,腓。,西。,"
    "帖前,帖后,提前,提后,多。,门。,来。,雅。,彼前,彼后,约一,约二,约三,犹。,启。,";
constexpr char kDefaultBookNames[] =
    "创世记,出埃及记,利未记,民数记,申命记,约书亚记,士师记,路得记,撒母耳记上,撒母耳记下,"
    "列王纪上,列王纪下,历代志上,历代志下,以斯拉记,尼希米记,以斯帖记,约伯记,诗篇,箴言,传道书,"
    "雅歌,以赛亚书,耶利米书,耶利米哀歌,以西结书,但以理书,何西阿书,约珥书,阿摩司书,俄巴底亚书,"
    "约拿书,弥迦书,那鸿书,哈巴谷书,西番雅书,哈该书,撒迦利亚书,玛拉基书,马太福音,马可福音,"
    "路加福音,约翰福音,使徒行传,罗马书,哥林多前书,哥林多后书,加拉太书,以弗所书,腓立比书,"
    "歌罗西书,帖撒罗尼迦前书,帖撒罗尼迦后书,提摩太前书,提摩太后书,提多书,腓利门书,希伯来书,"
    "雅各书,彼得前书,彼得后书,约翰一书,约翰二书,约翰三书,犹大书,启示录";
constexpr char kDefaultTableWidth[] = "width=tdw";
constexpr char kParallelModules[] = "usr\\niv,usr\\nasb";

std::string MinimalBibleIni(const Configuration& config) {
    std::string ini = "[config]\r\n";
    ini += "TXTSYSPTH=sys\\\r\n";
    ini += "SYSKEY=corpa,tessaly,emendo,tidoran,oblix,amberly,rovask,zendri\r\n";
    ini += "CNAME=" + config.bookNameText + "\r\n";
    ini += "EQUATEFILE=" + std::string(kParallelModules) + "\r\n";
    ini += "SUBSTITUTE=0\r\n";
    ini += "CCNAME=";
    for (std::size_t i = 0; i < config.names.size(); ++i) {
        if (i > 0) ini += ',';
        ini += config.names[i];
    }
    ini += "\r\nTABLETDWIDTH=width=64,width=76,width=88,width=104,width=124," + config.tableWidth +
           "\r\n";
    return ini;
}

std::vector<std::string> SplitList(std::string_view text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        items.emplace_back(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return items;
}

}  // namespace

// Reads the sample configuration when there is one: the book tables and the width placeholder
// come from it, and bible.ini is copied with "EQUATEFILE=" naming the parallel translations
// that this installation holds.
Configuration LoadConfiguration(const Options& options, Installation& installation) {
    Configuration config;
    config.bookNameText = kDefaultBookNameText;
    config.names = SplitList(kDefaultBookNames);
    config.tableWidth = kDefaultTableWidth;

    std::optional<std::string> raw;
    if (!options.configSource.empty()) {
        raw = platform::ReadWholeFile(options.configSource + "/bible.ini");
    }
    if (raw) {
        const GbString text = ApplyBlankRule(*raw);
        const GbString bookNameText = ReadConfigValue(text, "CNAME=");
        if (bookNameText.Length() == kBookCount * 5) config.bookNameText = bookNameText.str();
        const GbString names = ReadConfigValue(text, "CCNAME=");
        std::vector<std::string> nameList = SplitList(names.view());
        if (nameList.size() >= static_cast<std::size_t>(kBookCount)) {
            nameList.resize(kBookCount);
            config.names = nameList;
        }
        const std::vector<std::string> widths = SplitList(ReadConfigValue(text, "TABLETDWIDTH=").view());
        if (widths.size() > 5 && !widths[5].empty()) config.tableWidth = widths[5];
        config.parallelNames = SplitList(ReadConfigValue(text, "EQUATEFILE=").view());
        if (options.modulesOnly) return config;

        GbString ini(*raw);
        if (!ReplaceConfigValue(ini, "EQUATEFILE=", kParallelModules)) {
            if (!ini.IsEmpty() && ini.Slice(ini.Length() - 2) != kCrLf) ini.Append(kCrLf);
            ini.Append("EQUATEFILE=");
            ini.Append(kParallelModules);
            ini.Append(kCrLf);
        }
        installation.bibleIni = ini.str();
        installation.bibleIniCopied = true;
        for (const char* name : {"bible.css", "quillets.js"}) {
            if (auto bytes = platform::ReadWholeFile(options.configSource + "/" + name)) {
                installation.extraFiles.emplace_back(name, std::move(*bytes));
            }
        }
    } else if (!options.modulesOnly) {
        installation.bibleIni = MinimalBibleIni(config);
    }
    return config;
}

}  // namespace quillax::synth::detail
