// Shared fixture of the conformance cases: each case runs at every sample rate the suite covers, through
// a fresh plug-in instance.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "tests/conformance/EbuMeterHost.h"
#include "tests/conformance/SteppedSine.h"

namespace conformance {

// Loudness (M, S, I) in LUFS must lie within this many LU of the expected value.
constexpr double kLoudnessToleranceLu = 0.1;

class ConformanceTest : public ::testing::TestWithParam<double> {
  protected:
    double rate() const { return GetParam(); }

    // Plays `steps` of `tone` through a new instance with `config`; the results at the end.
    Measurements run(const std::vector<Step>& steps, EbuChannelConfig config = kStereo20,
                     const Tone& tone = {}, const EbuMeterHost::Watcher& watch = {}) {
        SteppedSine signal(rate(), tone, steps);
        EbuMeterHost host;
        std::string error;
        if (!host.open(signal.channels(), rate(), config, error) || !host.play(signal, error, watch)) {
            ADD_FAILURE() << error;
            return {};
        }
        return host.measurements();
    }

    // Keeps a measured value in the test report (--gtest_output=xml), so a run shows the margins.
    static void record(const std::string& key, double value) { RecordProperty(key, std::to_string(value)); }

    // `key` (M, S, I, ...) must be present and within `tolerance` of `expected`.
    static void expectNear(const std::string& key, const std::optional<double>& value, double expected,
                           double tolerance) {
        if (!value) {
            ADD_FAILURE() << key << ": no value (not valid yet)";
            return;
        }
        record(key, *value);
        EXPECT_LE(std::abs(*value - expected), tolerance)
            << key << " reads " << *value << ", " << (*value - expected) << " from " << expected;
    }
};

inline std::string rateName(const ::testing::TestParamInfo<double>& info) {
    return "At" + std::to_string(static_cast<int>(info.param)) + "Hz";
}

}  // namespace conformance

#define CONFORMANCE_AT_BOTH_RATES(Suite) \
    INSTANTIATE_TEST_SUITE_P(Rates, Suite, ::testing::Values(48000.0, 44100.0), ::conformance::rateName)
