// The set-up tool on Linux: the arguments, joined by single blanks, are its command line, and
// the closing message goes to standard output.
#include <string>

#include "platform/code_page.h"
#include "setup/driver.h"

int main(int argc, char** argv) {
    quillax::InstallOutOfMemoryHandler();
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            commandLine += ' ';
        }
        // Arguments arrive as UTF-8; the program works in GBK. An argument that GBK cannot
        // write exactly is passed on as it came.
        const std::string argument = argv[i];
        const std::string gbk = quillax::platform::Utf8ToGbk(argument);
        commandLine += quillax::platform::GbkToUtf8(gbk) == argument ? gbk : argument;
    }
    return quillax::RunEnvoke(commandLine, quillax::SlashOptions::OptionWordsOnly);
}
