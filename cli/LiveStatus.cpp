#include "cli/LiveStatus.h"

#include <cmath>
#include <cstdio>
#include <ostream>

namespace quenlix::cli {
namespace {

// The output parameters the line shows, by what they publish.
using quenlix::ParamOf;
using quenlix::Readout;
constexpr int kRmsIl = ParamOf(Readout::kRmsIntegrated), kRmsMl = ParamOf(Readout::kRmsMomentary),
              kRmsMlMax = ParamOf(Readout::kRmsMomentaryMax),
              kRmsPeakMax = ParamOf(Readout::kRmsSamplePeakMax),
              kRmsTpMax = ParamOf(Readout::kRmsTruePeakMax), kRmsCrest = ParamOf(Readout::kRmsCrest);
constexpr int kEbuIl = ParamOf(Readout::kEbuIntegrated), kEbuMl = ParamOf(Readout::kEbuMomentary),
              kEbuSl = ParamOf(Readout::kEbuShortTerm), kEbuTpMax = ParamOf(Readout::kEbuTruePeakMax),
              kEbuLra = ParamOf(Readout::kEbuRange);

// Four redraws a second: quick enough to follow speech, slow enough to read.
constexpr std::chrono::milliseconds kRedrawPeriod{250};

std::string clock(double seconds) {
    const long s = std::lround(std::floor(std::max(seconds, 0.0)));
    char buf[32];
    std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    return buf;
}

}  // namespace

std::string liveStatusLine(const MeteringSession& session, double meteredS) {
    auto v = [&](int index) { return session.parameter(index).value; };
    char buf[160];
    if (session.parameter(kParamType).value >= 0.5)
        std::snprintf(buf, sizeof buf, "M %.1f  S %.1f  I %.1f LUFS  TP %.1f dBTP  LRA %.1f LU  %s",
                      v(kEbuMl), v(kEbuSl), v(kEbuIl), v(kEbuTpMax), v(kEbuLra), clock(meteredS).c_str());
    else
        std::snprintf(buf, sizeof buf,
                      "RMS %.1f  max %.1f  IL %.1f dBFS  peak %.1f  TP %.1f dBFS  crest %.1f dB  %s",
                      v(kRmsMl), v(kRmsMlMax), v(kRmsIl), v(kRmsPeakMax), v(kRmsTpMax), v(kRmsCrest),
                      clock(meteredS).c_str());
    return buf;
}

void LiveStatus::update(const MeteringSession& session, double meteredS) {
    if (!mEnabled) return;
    const auto now = std::chrono::steady_clock::now();
    if (mLastWidth > 0 && now - mLastDraw < kRedrawPeriod) return;
    mLastDraw = now;
    const std::string line = liveStatusLine(session, meteredS);
    mErr << '\r' << line << std::string(mLastWidth > line.size() ? mLastWidth - line.size() : 0, ' ')
         << std::flush;
    mLastWidth = line.size();
}

void LiveStatus::finish() {
    if (!mEnabled || mLastWidth == 0) return;
    mErr << '\r' << std::string(mLastWidth, ' ') << '\r' << std::flush;
    mLastWidth = 0;
}

}  // namespace quenlix::cli
