#include <cstdio>

#include "adjuster/command_loop.hpp"

int main(int argc, char** argv) {
    ostrand::Console console{stdin, stdout};
    return ostrand::RunAdjuster(argc, argv, console);
}
