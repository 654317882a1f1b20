#pragma once

#include "plugin/Quenlix.h"

// What each "OUT:" parameter measures, in a sentence for hosts that show a port's description, and the
// unit a host shows where it differs from the editor's label: a true peak is given in dBTP, the unit
// loudness practice reads true peaks in, while the editor keeps "dBFS". The read-out names stay as
// they are. Compile-time data; any thread.
namespace quenlix {

struct OutputNote {
    int paramIdx;
    const char* hostUnit;  // "" keeps the parameter's label
    const char* comment;
};

constexpr OutputNote kOutputNotes[] = {
    {Quenlix::kOutRmsIl, "", "Integrated RMS level of the chosen channels since the last reset."},
    {Quenlix::kOutRmsMl, "", "RMS level of the chosen channels over the last RMS Window."},
    {Quenlix::kOutRmsMlMax, "", "Highest RMS level over one RMS Window since the last reset."},
    {Quenlix::kOutRmsPeakMax, "", "Highest sample peak of the chosen channels since the last reset."},
    {Quenlix::kOutRmsTpMax, "dBTP",
     "Highest true (inter-sample) peak of the chosen channels since the last reset."},
    {Quenlix::kOutRmsCrest, "", "Crest factor: the highest sample peak over the integrated RMS level."},
    {Quenlix::kOutEbuIl, "",
     "Integrated loudness since the last reset, gated at -70 LUFS absolute and -10 LU relative."},
    {Quenlix::kOutEbuMl, "", "Momentary loudness, over the last 400 ms."},
    {Quenlix::kOutEbuMlMax, "", "Highest momentary loudness since the last reset."},
    {Quenlix::kOutEbuSl, "", "Short-term loudness, over the last 3 s."},
    {Quenlix::kOutEbuSlMax, "", "Highest short-term loudness since the last reset."},
    {Quenlix::kOutEbuTpMax, "dBTP",
     "Highest true (inter-sample) peak of the measured channels since the last reset."},
    {Quenlix::kOutEbuLra, "", "Loudness range of the short-term loudness since the last reset."},
};

}  // namespace quenlix
