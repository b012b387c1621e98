// Running the built envoke program from the Linux tests: paths, shell quoting and the run.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <initializer_list>
#include <string>

#include "platform/posix/posix_test_support.h"
#include "platform/program_location.h"

namespace quillax::testsupport {

using testing::SystemForm;

// Text as one word of the shell.
inline std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

struct ProgramRun {
    int exitCode = -1;
    std::string output;
};

// The envoke program built beside this test program.
inline std::string BuiltEnvoke() { return platform::ProgramDirectory() + "\\envoke"; }

// Runs `program` in directory, with the environment assignments given ("NAME=value ..." or
// empty) and each argument as one argument of the program; standard input is empty.
inline ProgramRun RunProgramIn(const std::string& directory, const std::string& environment,
                               const std::string& program, std::initializer_list<std::string> arguments) {
    std::string command = "cd " + Quoted(SystemForm(directory)) + " && " + environment + " " +
                          Quoted(SystemForm(program));
    for (const std::string& argument : arguments) {
        command += " " + Quoted(argument);
    }
    command += " </dev/null";
    ProgramRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.output.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Runs the built envoke as RunProgramIn does.
inline ProgramRun RunEnvokeProgram(const std::string& directory, const std::string& environment,
                                   std::initializer_list<std::string> arguments) {
    return RunProgramIn(directory, environment, BuiltEnvoke(), arguments);
}

}  // namespace quillax::testsupport
