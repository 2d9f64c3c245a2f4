// Writes the window's test points and colours (form_points.h) as lines a
// shell sources, for the desktop tests:
//
//   write_form_points FILE [DPI]     DPI 96 unless given
//
// The file is written in binary, so that under wine too its lines end in \n
// alone. Exits 1 with a message on stderr when it cannot write, 2 on a wrong
// command line.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <string>

#include "tests/window/form_points.h"

int main(int argc, char** argv) {
    long dpi = 96;
    char* end = nullptr;
    if (argc == 3) {
        dpi = std::strtol(argv[2], &end, 10);
    }
    if (argc < 2 || argc > 3 || (argc == 3 && (*end != '\0' || dpi < 1 || dpi > 1440))) {
        std::fprintf(stderr, "usage: write_form_points FILE [DPI]\n");
        return 2;
    }
    try {
        std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
        file << varnock::testing::ShellLines(static_cast<int>(dpi));
        file.close();
        if (!file) {
            std::fprintf(stderr, "write_form_points: cannot write %s\n", argv[1]);
            return 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "write_form_points: %s\n", error.what());
        return 1;
    }
    return 0;
}
