// The host-facing view of one plug-in instance metering one programme, as the command-line host needs it.
// The command line, the file reader and the report writers only see this interface; the binding to the host
// format library lives behind it (PluginSession), so that every other part can be exercised on its own.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "plugin/QuenlixParams.h"

namespace quenlix::cli {

// Parameter indices of the plug-in as a host addresses them (host control index = parameter index + 2), from
// the plug-in's parameter table.
enum ParamIndex : int {
    kParamType = quenlix::ParamIndex::kType,
    kParamSync = quenlix::ParamIndex::kSync,
    kParamRmsChannelConfig = quenlix::ParamIndex::kRmsChannelConfig,
    kParamRmsMeterMode = quenlix::ParamIndex::kRmsMeterMode,
    kParamRmsWindow = quenlix::ParamIndex::kRmsWindow,
    kParamEbuChannelConfig = quenlix::ParamIndex::kEbuChannelConfig,
    kParamCount = quenlix::ParamIndex::kNumParams,
};

// The output parameters ("OUT:" names, the plug-in's read-outs) and the settings, in parameter index order.
inline constexpr const std::array<int, quenlix::kNumReadouts>& kOutputParams = quenlix::kReadoutParams;
inline constexpr const std::array<int, quenlix::kNumSettings>& kSettingParams = quenlix::kSettingParams;

// One parameter as the host reads it back: plain value decoded from the host control and the host's display
// text.
struct ParamReading {
    std::string name;
    double value = 0.0;
    std::string text;   // display text without the unit ("EBU R128", "300", "-23.0")
    std::string label;  // unit, possibly empty ("ms", "LUFS")
};

// The active engine's results at the moment of reading, unrounded. An empty optional means "not yet valid".
// Levels in dBFS, loudness in LUFS, ranges in LU/dB; -144.0 is the level of silence.
struct Measurements {
    int meterType = 1;  // 0 RMS, 1 EBU R128
    // EBU R128 type.
    std::optional<double> integratedLufs;
    std::optional<double> momentaryLufs;
    std::optional<double> momentaryMaxLufs;
    std::optional<double> shortTermLufs;
    std::optional<double> shortTermMaxLufs;
    std::optional<double> loudnessRangeLu;
    std::optional<double> truePeakDbtp;          // largest over the six channels
    std::vector<double> truePeakDbtpPerChannel;  // one per channel of the programme
    // RMS type (RMS mode offset included as the plug-in shows it).
    std::optional<double> integratedDbfs;
    std::optional<double> momentaryDbfs;
    std::optional<double> momentaryMaxDbfs;
    std::optional<double> samplePeakDbfs;
    std::optional<double> truePeakDbfs;
    std::optional<double> crestDb;
};

// Read-out texts of the active type in display order, keyed "IL", "ML", "ML Max", ... as the editor shows
// them.
using Readouts = std::vector<std::pair<std::string, std::string>>;

// One plug-in instance for one programme. Created and used by a single worker thread; never shared.
// Every call reports failure through its result and `error`, never by throwing.
class MeteringSession {
  public:
    virtual ~MeteringSession() = default;

    // Creates the instance for `channels` (1..6) input channels at `sampleRate` Hz and starts processing with
    // the transport running. Must be called once, before anything else.
    virtual bool start(int channels, double sampleRate, std::string& error) = 0;

    // Plug-in version as "major.minor.patch" (empty when the plug-in does not tell).
    virtual std::string version() const = 0;

    // Applies a saved settings chunk (as written by saveState) through the host's chunk call.
    virtual bool restoreState(const std::vector<std::uint8_t>& chunk, std::string& error) = 0;
    virtual bool saveState(std::vector<std::uint8_t>& chunk, std::string& error) = 0;

    // Sets parameter `index` to a plain value through its host control.
    virtual bool setParameter(int index, double value, std::string& error) = 0;

    // Renders one host block; `channels` holds one pointer per channel given to start(), each `frames` long.
    virtual bool render(const float* const* channels, int frames, std::string& error) = 0;

    // Runs or stops the host transport the plug-in sees (running from start() on); with "Sync" on, the
    // integrating measurements advance only while it runs. Between blocks, on the rendering thread.
    virtual void setTransportRunning(bool /*running*/) {}

    // What the host reads back: any parameter by index.
    virtual ParamReading parameter(int index) const = 0;

    virtual Measurements measurements() const = 0;
    virtual Readouts readouts() const = 0;

    // The scale the editor draws at in the picture of snapshot and in the window of openWindow: 1, 1.5 or 2
    // times its size, or 0 (the default) for 1 in pictures and the desktop's choice in windows. Sessions
    // without an editor ignore it.
    virtual void setEditorScale(double scale) { (void)scale; }
    // Opens the editor headless, lets its timer run, saves the picture as PNG, closes the editor.
    virtual bool snapshot(const std::string& pngPath, std::string& error) = 0;

    // The editor in a window of the window system selected by SessionFactory::useWindows: opened as a
    // top-level window, its timer run once (it draws, takes the user's input), and whether the user asked
    // to close it. Sessions without windows say so. `title` names the window (UTF-8).
    virtual bool openWindow(const std::string& title, std::string& error) {
        (void)title;
        error = "no editor window";
        return false;
    }
    virtual void tickWindow() {}
    virtual bool windowCloseRequested() { return true; }
    // Whether the window ended because its connection to the X server was lost (then windowCloseRequested
    // is true as well).
    virtual bool windowConnectionLost() { return false; }
    virtual void closeWindow() {}
};

// Makes sessions; shared by the worker threads, so create() must be safe to call concurrently.
class SessionFactory {
  public:
    virtual ~SessionFactory() = default;
    virtual std::unique_ptr<MeteringSession> create(std::string& error) = 0;
    // Makes the editors of sessions created from now on open on the X display; false with `error` when
    // there is none to reach.
    virtual bool useWindows(std::string& error) {
        error = "no window system";
        return false;
    }
};

}  // namespace quenlix::cli
