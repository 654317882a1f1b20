// quenlix: the command-line host of the Quenlix meter.
#include "cli/App.h"
#include "cli/Progress.h"

#include <iostream>

int main(int argc, char** argv) {
    using namespace quenlix::cli;
    FactoryMaker none = [](const std::string&, std::string& error) -> std::unique_ptr<SessionFactory> {
        error = "no plug-in host available";
        return nullptr;
    };
    return runQuenlix(argc, argv, std::cout, std::cerr, none, stderrIsTerminal());
}
