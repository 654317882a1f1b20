#include "cli/LiveOptions.h"

#include <CLI/CLI.hpp>
#include <cmath>
#include <ostream>

#include "cli/AudioSource.h"
#include "cli/DeliveryOptions.h"

namespace quenlix::cli {

std::optional<int> parseLiveArguments(int argc, const char* const* argv, LiveOptions& o, std::ostream& out,
                                      std::ostream& err) {
    MeteringChoices choices;
    DeliveryChoices delivery;
    CLI::App app{
        "quenlix live: meter a live feed from JACK (or PipeWire's JACK interface) through the Quenlix "
        "meter, with the editor in a window or a status line; the summary when the run ends",
        "quenlix live"};
    app.add_option("--channels", o.channels, "input ports to meter, 1 to 6 (default 2)")
        ->check(CLI::Range(1, kMaxChannels));
    CLI::Option* connect =
        app.add_option("--connect", o.connect,
                       "ports feeding the inputs in order (default: the first physical capture ports)")
            ->expected(1, kMaxChannels);
    app.add_flag("--no-connect", o.noConnect, "connect nothing; the wiring is left to the user")
        ->excludes(connect);
    app.add_option("--name", o.clientName, "JACK client name (default quenlix)")
        ->check([](const std::string& s) {
            return s.empty() ? std::string("the name is empty") : std::string();
        });
    app.add_option("--duration", o.durationS, "seconds to meter, then end (default: until stopped)")
        ->check(CLI::Range(0.001, kMaxLiveDurationS));
    app.add_flag("--no-window", o.noWindow, "a status line on the terminal instead of the editor window");
    addMeteringOptions(app, o.metering, choices);
    addDeliveryOptions(app, o.metering, delivery, false);

    // argv[1] is "live": CLI11 reads the program name from argv[0] and the options after it.
    std::vector<const char*> args(argv, argv + argc);
    if (args.size() > 1) args.erase(args.begin() + 1);
    try {
        app.parse(static_cast<int>(args.size()), args.data());
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e, out, err);
        return code == 0 ? kExitOk : kExitUsage;
    }
    applyMeteringChoices(choices, o.metering);
    o.metering.command = Command::Live;
    if (std::optional<int> code = checkDeliveryOptions(delivery, o.metering, out, err)) return code;
    if (static_cast<int>(o.connect.size()) > o.channels) {
        err << "quenlix: --connect names " << o.connect.size() << " ports for " << o.channels << " input"
            << (o.channels == 1 ? "" : "s") << " (--channels)\n";
        return kExitUsage;
    }
    return std::nullopt;
}

}  // namespace quenlix::cli
