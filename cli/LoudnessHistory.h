// The course of a programme's measurements: the thirteen output values as the host read them after each
// publish of the plug-in (every 50 ms of audio), the same values the --timeline CSV holds. Kept as float
// (the outputs are rounded to 0.1 dB), 52 bytes a publish: 11 MB for three hours.
#pragma once

#include <cstddef>
#include <vector>

#include "cli/MeteringSession.h"

namespace quenlix::cli {

struct LoudnessHistory {
    double periodS = 0.0;       // audio time between two publishes, in seconds
    std::vector<float> values;  // kOutputParams.size() values per publish, in kOutputParams order

    std::size_t size() const { return values.size() / kOutputParams.size(); }
    // Seconds into the programme of publish `row` (the first publish is one period in).
    double timeS(std::size_t row) const { return periodS * static_cast<double>(row + 1); }
    // The value of parameter `paramIndex` (one of kOutputParams) at publish `row`.
    float at(std::size_t row, int paramIndex) const {
        for (std::size_t k = 0; k < kOutputParams.size(); ++k)
            if (kOutputParams[k] == paramIndex) return values[row * kOutputParams.size() + k];
        return 0.0f;
    }
    void add(const std::vector<double>& outputs) {
        for (double v : outputs) values.push_back(static_cast<float>(v));
    }
};

}  // namespace quenlix::cli
