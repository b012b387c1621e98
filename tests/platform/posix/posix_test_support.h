// Helpers of the Linux tests: paths for the system and the shell, environment variables
// changed for one scope, and what a person types at the terminal.
#pragma once

#include <cstdlib>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

namespace quillax::testing {

// A path of the program's form ("\" between the parts) as the system takes it ("/").
inline std::string SystemForm(std::string path) {
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

// Sets an environment variable (or, with nothing, removes it) for the life of the object and
// restores it afterwards.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedVariable() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// Makes std::cin read the given text, as typed at the terminal ("\n" is Enter), for the life of
// the object.
class TypedInput {
public:
    explicit TypedInput(const std::string& typed) : input_(typed), saved_(std::cin.rdbuf(input_.rdbuf())) {}
    ~TypedInput() {
        std::cin.rdbuf(saved_);
        std::cin.clear();
    }
    TypedInput(const TypedInput&) = delete;
    TypedInput& operator=(const TypedInput&) = delete;

private:
    std::istringstream input_;
    std::streambuf* saved_;
};

}  // namespace quillax::testing
