#include <exception>
#include <iostream>
#include <string_view>
#include <vector>

#include "console/lookup_command.h"

int main(int argc, char* argv[]) {
    try {
        const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
        const auto request = varnock::MakeSystemArpRequest();
        return varnock::console::RunLookupCommand(arguments, std::cout, std::cerr, *request);
    } catch (const std::exception& failure) {
        // The system could not be asked at all: still no answer for the user.
        std::cerr << "varnock-cli: " << failure.what() << '\n';
        return varnock::console::kExitNoAnswer;
    }
}
