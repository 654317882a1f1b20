// quenlix: the command-line host of the Quenlix meter.
#include <exception>
#include <iostream>
#include <string_view>

#include "cli/App.h"
#include "cli/Live.h"
#include "cli/Options.h"
#include "cli/PluginSession.h"
#include "cli/Progress.h"

#if defined(__SANITIZE_ADDRESS__)
// The plot's text goes through cairo and fontconfig, whose caches hold their blocks by offsets
// LeakSanitizer cannot follow; those blocks live until the process ends.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
#endif

int main(int argc, char** argv) {
    using namespace quenlix::cli;
    try {
        // The live host has a command line of its own, beside those that meter files.
        if (argc > 1 && std::string_view(argv[1]) == "live")
            return runLive(argc, argv, std::cout, std::cerr, makePluginSessionFactory, stderrIsTerminal());
        return runQuenlix(argc, argv, std::cout, std::cerr, makePluginSessionFactory, stderrIsTerminal());
    } catch (const std::exception& e) {
        // Out of memory or a failed thread start: still one line and a failure code, never an abort.
        std::cerr << "quenlix: " << e.what() << '\n';
        return kExitSomeFailed;
    }
}
