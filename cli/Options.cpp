#include "cli/Options.h"

#include <CLI/CLI.hpp>
#include <cmath>
#include <ostream>

#include "cli/ArchiveOptions.h"
#include "cli/DeliveryOptions.h"
#include "cli/MeteringSession.h"
#include "plugin/QuenlixChannelDefaults.h"

namespace quenlix::cli {
namespace {

const std::vector<std::string> kTypes = {"rms", "ebu"};
const std::vector<std::string> kLayouts = {"2.0", "4.0", "4.1", "5.1"};
const std::vector<std::string> kRmsChannels = {"stereo", "left", "right", "4", "6"};
const std::vector<std::string> kRmsModes = {"rms", "rms+3"};

std::optional<int> indexOf(const std::vector<std::string>& names, const std::string& name) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) return static_cast<int>(i);
    return std::nullopt;
}

}  // namespace

void addMeteringOptions(CLI::App& cmd, Options& o, MeteringChoices& c) {
    cmd.add_option("--type", c.type, "metering type: rms or ebu (default ebu)")->check(CLI::IsMember(kTypes));
    cmd.add_option("--ebu-layout", c.ebuLayout,
                   "EBU channel layout: 2.0, 4.0, 4.1 or 5.1 (default by channels)")
        ->check(CLI::IsMember(kLayouts));
    cmd.add_option("--rms-channels", c.rmsChannels,
                   "RMS channels: stereo, left, right, 4 or 6 (default by channels)")
        ->check(CLI::IsMember(kRmsChannels));
    cmd.add_option("--rms-mode", c.rmsMode, "RMS meter mode: rms or rms+3")->check(CLI::IsMember(kRmsModes));
    cmd.add_option("--rms-window", o.rmsWindowMs, "RMS window in ms, 10 to 3000")
        ->check([](const std::string& s) -> std::string {
            double v = 0.0;
            try {
                std::size_t used = 0;
                v = std::stod(s, &used);
                if (used != s.size()) return "not a number: " + s;
            } catch (...) {
                return "not a number: " + s;
            }
            if (!std::isfinite(v) || v < kMinRmsWindowMs || v > kMaxRmsWindowMs)
                return "the RMS window must be 10 to 3000 ms, got " + s;
            return {};
        });
    cmd.add_option("--block", o.blockFrames, "host block size in frames (default 512)")
        ->check(CLI::Range(kMinBlockFrames, kMaxBlockFrames));
    cmd.add_flag("--json", o.json, "print a JSON array instead of tables");
    cmd.add_option("--timeline", o.timelinePath, "write the published outputs every 50 ms as CSV");
    cmd.add_option("--snapshot", o.snapshotPath, "write the editor as it looks at the end as PNG");
    if (cmd.get_name() != "view")
        cmd.add_option("--snapshot-scale", o.editorScale,
                       "draw the --snapshot picture at 1, 1.5 or 2 times its size")
            ->check(CLI::IsMember({1.0, 1.5, 2.0}));
    cmd.add_option("--state", o.statePath, "apply a saved settings chunk before metering")
        ->check(CLI::ExistingFile);
    cmd.add_option("--save-state", o.saveStatePath, "write the settings chunk after metering");
    cmd.add_flag("-q,--quiet", o.quiet, "no progress bar");
    cmd.add_option("--plugin", o.pluginPath,
                   "plug-in bundle or module to load (default: beside the program)");
}

void applyMeteringChoices(const MeteringChoices& choices, Options& o) {
    o.type = indexOf(kTypes, choices.type);
    o.ebuLayout = indexOf(kLayouts, choices.ebuLayout);
    o.rmsChannels = indexOf(kRmsChannels, choices.rmsChannels);
    o.rmsMode = indexOf(kRmsModes, choices.rmsMode);
}

std::optional<int> parseArguments(int argc, const char* const* argv, Options& o, std::ostream& out,
                                  std::ostream& err) {
    MeteringChoices choices;
    DeliveryChoices delivery;
    ArchiveChoices archive;
    CLI::App app{"quenlix: meter audio through the Quenlix level and loudness meter plug-in", "quenlix"};
    app.require_subcommand(1);
    // `live` has a command line of its own (main() hands it over before this one is read).
    app.footer("quenlix live: meter a live feed from JACK or PipeWire (quenlix live --help)");

    CLI::App* measure = app.add_subcommand("measure", "meter audio files");
    addMeteringOptions(*measure, o, choices);
    measure->add_option("-j,--jobs", o.jobs, "files metered in parallel (default 1)")
        ->check(CLI::Range(1, kMaxJobs));
    measure->add_option(
        "FILE", o.files,
        "audio files, or folders walked for them; - (standard input), a pipe or a named pipe is read as a "
        "WAV or AU stream");
    addDeliveryOptions(*measure, o, delivery, true);
    addArchiveOptions(*measure, o, archive);

    CLI::App* demo = app.add_subcommand("demo", "meter the built-in demonstration programme");
    addMeteringOptions(*demo, o, choices);
    addDeliveryOptions(*demo, o, delivery, false);

    CLI::App* view =
        app.add_subcommand("view", "meter one file at real-time pace with the editor in a window");
    addMeteringOptions(*view, o, choices);
    view->add_option("--speed", o.speed, "times real-time pace (default 1)")
        ->check(CLI::Range(0.01, kMaxViewSpeed));
    view->add_option("--scale", o.editorScale,
                     "draw the editor at 1, 1.5 or 2 times its size (default: from GDK_SCALE or Xft.dpi)")
        ->check(CLI::IsMember({1.0, 1.5, 2.0}));
    view->add_option("FILE", o.files,
                     "audio file; - (standard input), a pipe or a named pipe is read as a WAV or AU stream")
        ->required()
        ->expected(1);

    CLI::App* summarize = addSummarizeCommand(app, o);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e, out, err);
        return code == 0 ? kExitOk : kExitUsage;
    }
    applyMeteringChoices(choices, o);
    o.command = demo->parsed()        ? Command::Demo
                : view->parsed()      ? Command::View
                : summarize->parsed() ? Command::Summarize
                                      : Command::Measure;
    if (o.command == Command::Summarize) return std::nullopt;
    if (o.command == Command::Demo && o.snapshotPath.empty()) o.snapshotPath = kDemoSnapshot;
    if (std::optional<int> code = checkDeliveryOptions(delivery, o, out, err)) return code;
    if (o.command == Command::Measure)
        if (std::optional<int> code = checkArchiveOptions(archive, o, err)) return code;

    if (o.files.size() > 1) {
        const char* single = !o.timelinePath.empty()    ? "--timeline"
                             : !o.snapshotPath.empty()  ? "--snapshot"
                             : !o.saveStatePath.empty() ? "--save-state"
                                                        : nullptr;
        if (single != nullptr) {
            err << "quenlix: " << single << " writes one file, so it takes a single FILE (got "
                << o.files.size() << ")\n";
            return kExitUsage;
        }
    }
    return std::nullopt;
}

std::vector<std::pair<int, double>> settingsFor(const Options& o, int channels, bool stateGiven) {
    std::vector<std::pair<int, double>> s;
    auto put = [&](int index, std::optional<double> explicitValue, double byDefault) {
        if (explicitValue)
            s.emplace_back(index, *explicitValue);
        else if (!stateGiven)
            s.emplace_back(index, byDefault);
    };
    auto asDouble = [](std::optional<int> v) { return v ? std::optional<double>(*v) : std::nullopt; };

    const double rmsDefault = RmsChannelConfigForChannels(channels);
    const double ebuDefault = EbuChannelConfigForChannels(channels);

    put(kParamType, asDouble(o.type), 1.0);
    put(kParamRmsChannelConfig, asDouble(o.rmsChannels), rmsDefault);
    if (o.rmsMode) s.emplace_back(kParamRmsMeterMode, *o.rmsMode);
    if (o.rmsWindowMs) s.emplace_back(kParamRmsWindow, *o.rmsWindowMs);
    put(kParamEbuChannelConfig, asDouble(o.ebuLayout), ebuDefault);
    return s;
}

}  // namespace quenlix::cli
