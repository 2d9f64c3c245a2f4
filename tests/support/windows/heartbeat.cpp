// heartbeat.exe FILE: writes a growing count to FILE ten times a second, for
// at most a minute. A test that starts it under --exec can tell from the
// count whether it still runs, and when it began.
#include <windows.h>

#include <fstream>
#include <iostream>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::cerr << "usage: heartbeat FILE\n";
        return 2;
    }
    for (int beat = 1; beat <= 600; ++beat) {
        std::ofstream(argv[1]) << beat << '\n';
        Sleep(100);
    }
    return 0;
}
