// Command-line host of the engine: loads an installation and prints what it read.
#include <cstdio>

int main(int argc, char** argv) {
    (void)argc;
    (void)argv;
    std::puts("quillax-cli");
    return 0;
}
