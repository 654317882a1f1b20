// The loudness-history plot of one metered programme, drawn with cairo into a PNG or SVG file: momentary
// and short-term loudness (EBU R128 type) or windowed RMS and sample-peak maximum (RMS type) over time, the
// running integrated value, the target and its tolerance band, true-peak overs, axes, a legend and the
// summary figures with the verdict. Drawn on the thread that calls it, after metering.
#pragma once

#include <optional>
#include <string>

#include "cli/FileReport.h"
#include "cli/Targets.h"

namespace quenlix::cli {

enum class PlotFormat { Png, Svg };

constexpr int kDefaultPlotWidth = 1200;
constexpr int kDefaultPlotHeight = 400;
constexpr int kMinPlotWidth = 400;
constexpr int kMinPlotHeight = 200;
constexpr int kMaxPlotSide = 10000;

// The format a plot path asks for by its extension (".png" or ".svg", any case), or none.
std::optional<PlotFormat> plotFormatFor(const std::string& path);

// Writes the plot of `report` (its history, measurements and verdict) to `path` at `width` x `height` pixels.
// `target` draws the target band and sets the true-peak limit for overs (0 dBTP without one). False with
// `error` set when the file cannot be written.
bool writePlot(const FileReport& report, const DeliveryTarget* target, const std::string& path, int width,
               int height, std::string& error);

// The time axis label of `seconds`: m:ss, or h:mm:ss when `withHours`.
std::string plotTimeLabel(double seconds, bool withHours);

}  // namespace quenlix::cli
