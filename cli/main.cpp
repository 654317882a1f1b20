// quenlix: the command-line host of the Quenlix meter.
#include "cli/App.h"
#include "cli/PluginSession.h"
#include "cli/Progress.h"

#include <iostream>

int main(int argc, char** argv) {
    using namespace quenlix::cli;
    return runQuenlix(argc, argv, std::cout, std::cerr, makePluginSessionFactory, stderrIsTerminal());
}
