#include "cli/DeliveryOptions.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <ostream>

#include "cli/Plot.h"
#include "cli/StreamSource.h"

namespace quenlix::cli {

const char* const kExitCodesHelp =
    "Exit codes: 0 every programme measured (and, with --target, every one met it); 1 some programme\n"
    "could not be measured or an output file could not be written (the others are still reported);\n"
    "2 usage error; 3 every programme measured, some missed the --target.";

void addDeliveryOptions(CLI::App& cmd, Options& o, DeliveryChoices& c, bool withFiles) {
    cmd.add_option("--plot", o.plotPath,
                   "draw the loudness history as PNG or SVG (by the extension): one FILE, or the album");
    cmd.add_option("--plot-size", c.plotSize, "plot size in pixels as WxH (default 1200x400)");
    cmd.add_option("--target", c.target,
                   "check against a delivery target: ebu, ebu-live, atsc, stream-14, stream-16, "
                   "custom:I=-20,tol=1,tp=-1,lra=12; 'list' shows them");
    cmd.add_option("--csv", o.csvPath, "write one row per programme with every measurement and the verdict");
    if (withFiles) {
        cmd.add_flag("--album", o.album,
                     "one more result: every FILE back to back as one programme through one instance");
        cmd.add_flag("--dual-mono", o.dualMono,
                     "meter a mono file as a stereo insert with the signal in both channels (+3 dB against "
                     "plain mono, as many delivery requirements measure mono)");
    }
    cmd.footer(kExitCodesHelp);
}

namespace {

bool parseSize(const std::string& text, int& width, int& height) {
    int w = 0, h = 0, used = 0;
    if (std::sscanf(text.c_str(), "%5dx%5d%n", &w, &h, &used) != 2 || used != static_cast<int>(text.size()))
        return false;
    if (w < kMinPlotWidth || h < kMinPlotHeight || w > kMaxPlotSide || h > kMaxPlotSide) return false;
    width = w;
    height = h;
    return true;
}

int usage(std::ostream& err, const std::string& message) {
    err << "quenlix: " << message << '\n';
    return kExitUsage;
}

}  // namespace

std::optional<int> checkDeliveryOptions(const DeliveryChoices& c, Options& o, std::ostream& out,
                                        std::ostream& err) {
    if (c.target == "list") {
        out << describeTargets();
        return kExitOk;
    }
    if (o.command == Command::Measure && o.files.empty() && o.filesFrom.empty())
        return usage(err, "measure: give at least one FILE or --files-from LIST");
    if (!c.target.empty()) {
        std::string error;
        o.target = parseTarget(c.target, error);
        if (!o.target) return usage(err, "--target: " + error);
        // Integrated loudness and loudness range are measured by the EBU R128 type only.
        if (o.type && *o.type != 1) return usage(err, "--target checks loudness, which needs --type ebu");
        o.type = 1;
    }
    if (!c.plotSize.empty() && !parseSize(c.plotSize, o.plotWidth, o.plotHeight))
        return usage(err, "--plot-size must be WxH from " + std::to_string(kMinPlotWidth) + "x" +
                              std::to_string(kMinPlotHeight) + " to " + std::to_string(kMaxPlotSide) + "x" +
                              std::to_string(kMaxPlotSide) + ", got " + c.plotSize);
    if (!o.plotPath.empty()) {
        if (!plotFormatFor(o.plotPath)) return usage(err, "--plot: the name must end in .png or .svg");
        if (o.files.size() > 1 && !o.album)
            return usage(err, "--plot draws one programme: give a single FILE, or --album to plot the album");
    }
    auto stdinCount = std::count(o.files.begin(), o.files.end(), std::string(kStdinName));
    if (stdinCount > 1) return usage(err, "standard input (-) can be read only once");
    if (o.album) {
        for (const std::string& file : o.files)
            if (isStream(file))
                return usage(
                    err, "--album reads every file a second time, which " +
                             (file == kStdinName ? std::string("standard input (-)") : "the stream " + file) +
                             " cannot give");
    }
    return std::nullopt;
}

}  // namespace quenlix::cli
