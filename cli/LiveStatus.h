// The status line of a live run without a window: the published outputs of the active type and the time
// metered, redrawn in place on standard error a few times a second.
#pragma once

#include <chrono>
#include <iosfwd>
#include <string>

#include "cli/MeteringSession.h"

namespace quenlix::cli {

// The line for the outputs published by `session` (read through the host, as a host's display reads
// them) after `meteredS` seconds of audio. EBU R128: "M -23.0  S -23.0  I -23.0 LUFS  TP -23.0 dBTP  LRA
// 0.0 LU  0:01:05"; RMS: "RMS -20.0  max -20.0  IL -20.0 dBFS  peak -17.0  TP -17.0 dBFS  crest 3.0 dB  ...".
std::string liveStatusLine(const MeteringSession& session, double meteredS);

// Draws the line on `err` at most every `period`, over the previous one. Metering thread.
class LiveStatus {
  public:
    LiveStatus(std::ostream& err, bool enabled) : mErr(err), mEnabled(enabled) {}
    void update(const MeteringSession& session, double meteredS);
    // Clears the line so the summary starts on a clean one.
    void finish();

  private:
    std::ostream& mErr;
    bool mEnabled;
    std::chrono::steady_clock::time_point mLastDraw{};
    std::size_t mLastWidth = 0;
};

}  // namespace quenlix::cli
