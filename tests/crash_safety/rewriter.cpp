// The process that the crash-safety test kills: it rewrites one kind of file again and again
// through the program's own code, so that a SIGKILL lands somewhere inside a rewrite.
//
//   crash_rewriter MODE DIR prepare   writes the starting files into DIR (made beforehand)
//   crash_rewriter MODE DIR step      one rewrite
//   crash_rewriter MODE DIR loop      prints "ready", then rewrites until it is killed
//
// MODE is one of
//   config  bible.ini through SetConfigValue (what the control's getcfg calls): the value of
//           SEARCH= goes back and forth between two values of different lengths;
//   merge   bible.ini through the updater's MergeBibleIni: the local file is put back, then a
//           downloaded file with a longer CMPSTR= block is merged into it;
//   index   sys\tessaly.inx through BuildModuleIndex: the text goes back and forth between two
//           versions and the index is rebuilt;
//   import  bible.ini (and usr\verses.txt, usr\verses.inx) through envoke's import: bible.ini is
//           put back without the module, then the verse list is imported;
//   errata  sys\corpa.txt through the errata run: the list alternately corrects one word and
//           changes it back;
//   plain   data.txt rewritten in place with fopen/fwrite, the way a rewrite must not be done;
//           the test uses it to show that it does see torn files.
// All files are about two megabytes, so that a rewrite takes long enough to be interrupted.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/config/configuration.h"
#include "engine/state/render_state.h"
#include "platform/files.h"
#include "setup/bible_import.h"
#include "setup/errata.h"
#include "setup/module_index.h"
#include "setup/setup_session.h"
#include "textlib/config_text.h"
#include "updater/bible_ini_merge.h"

namespace {

using namespace quillax;

constexpr int kPadLines = 30000;  // about 2 MB of filler in each file

constexpr std::size_t kPlainSize = 2u << 20;

std::string Filler(char letter) {
    std::string text;
    text.reserve(static_cast<std::size_t>(kPadLines) * 70);
    for (int i = 0; i < kPadLines; ++i) {
        text += "PAD";
        text += std::to_string(i);
        text += "=";
        text.append(60, letter);
        text += "\r\n";
    }
    return text;
}

std::string ConfigText(std::string_view search, std::string_view words) {
    return "[bible]\r\nSEARCH=" + std::string(search) + "\r\nCMPSTR=" + std::string(words) +
           "\r\n[config]\r\nUPDATEURL=http://localhost/u.ini\r\n" + Filler('c') + "EQUATEFILE=usr\\kjv\r\n";
}

std::string ModuleText(char letter) {
    std::string text;
    for (int chapter = 1; chapter <= 50; ++chapter) {
        for (int verse = 0; verse < 300; ++verse) {
            text += "0" + std::to_string(1000 + chapter) + std::string(verse % 7 == 0 ? ":=" : "") + "\r\n";
            text.append(static_cast<std::size_t>(40 + (verse * 7 + letter) % 50), letter);
            text += "\r\n";
        }
    }
    return text;
}

std::string CorpaText(std::string_view word) {
    return "1 " + std::string(word) + " first line\r\n" + Filler('e');
}

bool Put(const std::string& path, std::string_view bytes) {
    return platform::WriteWholeFile(path, bytes);
}

bool Prepare(const std::string& mode, const std::string& dir) {
    platform::MakeDirectories(dir + "/sys");
    platform::MakeDirectories(dir + "/usr");
    if (mode == "config") return Put(dir + "/bible.ini", ConfigText("alpha", "a,b"));
    if (mode == "merge") {
        return Put(dir + "/bible.ini", ConfigText("alpha", "a,b")) &&
               Put(dir + "/download.ini", ConfigText("other", "a,b,c,d,e,f,g"));
    }
    if (mode == "index") {
        return Put(dir + "/sys/tessaly.txt", ModuleText('a')) &&
               BuildModuleIndex(dir + "/", "sys\\Tessaly", false, ":=");
    }
    if (mode == "import") {
        std::string verses;
        for (int i = 0; i < 40000; ++i) {
            verses += "x\t" + std::to_string(1 + i / 5000) + "\t" + std::to_string(1 + (i / 50) % 100) + "\t" +
                      std::to_string(1 + i % 50) + "\tverse text number " + std::to_string(i) + "\n";
        }
        return Put(dir + "/bible.ini", ConfigText("alpha", "a,b")) && Put(dir + "/verses.txt", verses);
    }
    if (mode == "errata") return Put(dir + "/sys/corpa.txt", CorpaText("alpha"));
    if (mode == "plain") return Put(dir + "/data.txt", std::string(kPlainSize, 'a'));
    return false;
}

// A rewrite in place, for the test's own check: truncate, then write in small pieces.
bool PlainRewrite(const std::string& path) {
    const auto old = platform::ReadWholeFile(path);
    const char next = old && !old->empty() && (*old)[0] == 'a' ? 'b' : 'a';
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const std::string piece(4096, next);
    for (std::size_t written = 0; written < kPlainSize; written += piece.size()) {
        std::fwrite(piece.data(), 1, piece.size(), file);
        std::fflush(file);
    }
    return std::fclose(file) == 0;
}

bool Step(const std::string& mode, const std::string& dir) {
    if (mode == "config") {
        RenderState state;
        state.installDir = GbString(dir + "/");
        GbString current;
        if (!SetConfigValue(state, "SEARCH=", current)) return false;  // an empty value reads
        GbString next(current == "alpha" ? "omega-longer" : "alpha");
        SetConfigValue(state, "SEARCH=", next);
        return true;
    }
    if (mode == "merge") {
        if (!Put(dir + "/bible.ini", ConfigText("alpha", "a,b"))) return false;
        return MergeBibleIni(dir + "/bible.ini", dir + "/download.ini", nullptr).blockReplaced;
    }
    if (mode == "index") {
        const auto text = platform::ReadWholeFile(dir + "/sys/tessaly.txt");
        const char next = text && text->size() > 9 && (*text)[9] == 'a' ? 'b' : 'a';
        return Put(dir + "/sys/tessaly.txt", ModuleText(next)) &&
               BuildModuleIndex(dir + "/", "sys\\Tessaly", false, ":=");
    }
    if (mode == "import") {
        if (!Put(dir + "/bible.ini", ConfigText("alpha", "a,b"))) return false;
        if (chdir(dir.c_str()) != 0) return false;
        SetupSession session;
        session.configDirectory = GbString(dir + "/");
        ImportBible(session, GbString("verses.txt"));
        return session.messageText == kImportDoneMessage;
    }
    if (mode == "errata") {
        const auto text = platform::ReadWholeFile(dir + "/sys/corpa.txt");
        const bool alpha = text && text->find("alpha") != std::string::npos;
        if (!Put(dir + "/correct.txt", alpha ? "[corpa]\r\n1,alpha,omega-longer\r\n"
                                             : "[corpa]\r\n1,omega-longer,alpha\r\n")) {
            return false;
        }
        SetupSession session;
        session.configDirectory = GbString(dir + "/");
        ApplyErrata(session);
        return session.messageText == kErrataDoneMessage;
    }
    if (mode == "plain") return PlainRewrite(dir + "/data.txt");
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: crash_rewriter MODE DIR prepare|step|loop\n");
        return 2;
    }
    const std::string mode = argv[1];
    const std::string dir = argv[2];
    const std::string action = argv[3];
    if (action == "prepare") return Prepare(mode, dir) ? 0 : 1;
    if (action == "step") return Step(mode, dir) ? 0 : 1;
    if (action == "loop") {
        std::printf("ready\n");
        std::fflush(stdout);
        for (;;) {
            if (!Step(mode, dir)) return 1;
        }
    }
    return 2;
}
