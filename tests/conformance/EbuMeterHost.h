// The built Quenlix plug-in module driven the way a host drives it: loaded by path through the host side of
// the format library (the command-line host's metering session), one instance per signal, "Type" and "EBU
// Channel Config" set through host controls, the signal rendered in host blocks, and the unrounded engine
// results read back through the module's inspection call, which is what the command-line host reports.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "cli/MeteringSession.h"
#include "tests/conformance/SteppedSine.h"

namespace conformance {

using quenlix::cli::Measurements;

// Values of "EBU Channel Config".
enum EbuChannelConfig : int { kStereo20 = 0, kSurround40 = 1, kSurround41 = 2, kSurround51 = 3 };

class EbuMeterHost {
  public:
    // Frames per host block. Big blocks keep the suite fast; the session hands them to the plug-in in
    // pieces of its own render quantum.
    static constexpr int kBlockFrames = 4096;

    // Called after every block with the time played so far (s) and the results at that moment.
    using Watcher = std::function<void(double seconds, const Measurements&)>;

    // Loads the module (once per process), creates an instance for `channels` at `sampleRate` and sets it to
    // EBU R128 with `config`. False with `error` set when any of that fails or the controls did not take.
    bool open(int channels, double sampleRate, EbuChannelConfig config, std::string& error);

    // Plays the whole signal, which must have the channel count given to open().
    bool play(SteppedSine& signal, std::string& error, const Watcher& watch = {});

    Measurements measurements() const { return mSession->measurements(); }

  private:
    std::unique_ptr<quenlix::cli::MeteringSession> mSession;
};

}  // namespace conformance
