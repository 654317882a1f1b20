#pragma once

// The parameters of Quenlix: one table that every part reads. The plug-in defines its parameters from it,
// the editor binds its controls and shows or hides them by it, the processing driver and the module's
// inspection call find a read-out by what it shows, the command-line host and its plot read the results
// by it, and the LV2 description is written from the parameters it defined. Indices and order are those
// hosts, saved states and presets know: never reorder, only append.
//
// Compile-time constants; any thread. Header only, so a host that loads the module (the command-line host)
// reads the same table without linking the plug-in.

#include <array>

#include "framework/ParamDef.h"

namespace quenlix {

// Parameter indices. A base of the plug-in class, so that its members read Quenlix::kType.
struct ParamIndex {
    enum EParams {
        kType = 0,
        kSync = 1,
        kRmsChannelConfig = 2,
        kRmsMeterMode = 3,
        kRmsWindow = 4,
        kOutRmsIl = 5,
        kOutRmsMl = 6,
        kOutRmsMlMax = 7,
        kOutRmsPeakMax = 8,
        kOutRmsTpMax = 9,
        kOutRmsCrest = 10,
        kEbuChannelConfig = 11,
        kOutEbuIl = 12,
        kOutEbuMl = 13,
        kOutEbuMlMax = 14,
        kOutEbuSl = 15,
        kOutEbuSlMax = 16,
        kOutEbuTpMax = 17,
        kOutEbuLra = 18,
        kNumParams = 19
    };
};

// What a read-out shows. Levels in dBFS, loudness in LUFS, the crest factor in dB, the range in LU.
enum class Readout {
    kNone,  // a setting
    kRmsIntegrated,
    kRmsMomentary,
    kRmsMomentaryMax,
    kRmsSamplePeakMax,
    kRmsTruePeakMax,
    kRmsCrest,
    kEbuIntegrated,
    kEbuMomentary,
    kEbuMomentaryMax,
    kEbuShortTerm,
    kEbuShortTermMax,
    kEbuTruePeakMax,
    kEbuRange,
};

// The metering type a parameter belongs to: the editor shows its control only while that type is
// chosen. kAnyType: always shown (or, for a read-out, never: those controls stay hidden).
enum MeterTypeOf { kAnyType = -1, kRmsType = 0, kEbuType = 1 };

struct QuenlixParam {
    ParamDef def;
    Readout shows;
    MeterTypeOf type;
    const char* key;  // a read-out's short name in the editor's column ("ML Max"); "" for a setting
    // For a read-out, what it measures in a sentence, for hosts that show a port's description, and
    // the unit a host shows where it differs from the editor's label (a true peak in dBTP, the unit
    // loudness practice reads true peaks in; the editor keeps "dBFS"). "" for none.
    const char* comment;
    const char* hostUnit;
};

namespace detail {
inline constexpr const char* kTypeTexts[] = {"RMS", "EBU R128"};
inline constexpr const char* kSyncTexts[] = {"off", "on"};
inline constexpr const char* kRmsChannelTexts[] = {"Stereo", "Left", "Right", "4 Channel", "6 Channel"};
inline constexpr const char* kRmsModeTexts[] = {"RMS (dBFS)", "RMS +3dB (dBFS)"};
inline constexpr const char* kEbuChannelTexts[] = {"2.0 Stereo", "4.0 Surround", "4.1 Surround",
                                                   "5.1 Surround"};

constexpr QuenlixParam Setting(const char* name, int count, const char* const* texts, MeterTypeOf type) {
    return {{name, IParam::kTypeEnum, 0.0, static_cast<double>(count - 1), 0.0, 1.0, "", 1.0, texts,
             ParamDef::Role::kSetting},
            Readout::kNone,
            type,
            "",
            "",
            ""};
}

// Published within [minValue, maxValue], starting at minValue, in steps of 0.1.
constexpr QuenlixParam Out(const char* name, double minValue, double maxValue, const char* unit,
                           Readout shows, MeterTypeOf type, const char* key, const char* comment,
                           const char* hostUnit = "") {
    return {{name, IParam::kTypeDouble, minValue, maxValue, minValue, 0.1, unit, 1.0, nullptr,
             ParamDef::Role::kReadout},
            shows,
            type,
            key,
            comment,
            hostUnit};
}
}  // namespace detail

inline constexpr QuenlixParam kParams[ParamIndex::kNumParams] = {
    detail::Setting("Type", 2, detail::kTypeTexts, kAnyType),
    detail::Setting("Sync", 2, detail::kSyncTexts, kAnyType),
    detail::Setting("RMS Channel Config", 5, detail::kRmsChannelTexts, kRmsType),
    detail::Setting("RMS Meter Mode", 2, detail::kRmsModeTexts, kRmsType),
    // Its shape gives the short windows most of a fader's travel.
    {{"RMS Window", IParam::kTypeDouble, 10.0, 3000.0, 300.0, 1.0, "ms", 2.5, nullptr,
      ParamDef::Role::kSetting},
     Readout::kNone,
     kRmsType,
     "",
     "",
     ""},
    detail::Out("OUT:RMS IL", -60.0, 12.0, "dBFS", Readout::kRmsIntegrated, kRmsType, "IL",
                "Integrated RMS level of the chosen channels since the last reset."),
    detail::Out("OUT:RMS ML", -60.0, 12.0, "dBFS", Readout::kRmsMomentary, kRmsType, "ML",
                "RMS level of the chosen channels over the last RMS Window."),
    detail::Out("OUT:RMS ML Max", -60.0, 12.0, "dBFS", Readout::kRmsMomentaryMax, kRmsType, "ML Max",
                "Highest RMS level over one RMS Window since the last reset."),
    detail::Out("OUT:RMS Peak Max", -60.0, 12.0, "dBFS", Readout::kRmsSamplePeakMax, kRmsType, "Peak Max",
                "Highest sample peak of the chosen channels since the last reset."),
    detail::Out("OUT:RMS TP Max", -60.0, 12.0, "dBFS", Readout::kRmsTruePeakMax, kRmsType, "TP Max",
                "Highest true (inter-sample) peak of the chosen channels since the last reset.", "dBTP"),
    detail::Out("OUT:RMS Crest", 0.0, 30.0, "dB", Readout::kRmsCrest, kRmsType, "Crest",
                "Crest factor: the highest sample peak over the integrated RMS level."),
    detail::Setting("EBU Channel Config", 4, detail::kEbuChannelTexts, kEbuType),
    detail::Out("OUT:EBU IL", -60.0, 12.0, "LUFS", Readout::kEbuIntegrated, kEbuType, "IL",
                "Integrated loudness since the last reset, gated at -70 LUFS absolute and -10 LU relative."),
    detail::Out("OUT:EBU ML", -60.0, 12.0, "LUFS", Readout::kEbuMomentary, kEbuType, "ML",
                "Momentary loudness, over the last 400 ms."),
    detail::Out("OUT:EBU ML Max", -60.0, 12.0, "LUFS", Readout::kEbuMomentaryMax, kEbuType, "ML Max",
                "Highest momentary loudness since the last reset."),
    detail::Out("OUT:EBU SL", -60.0, 12.0, "LUFS", Readout::kEbuShortTerm, kEbuType, "SL",
                "Short-term loudness, over the last 3 s."),
    detail::Out("OUT:EBU SL Max", -60.0, 12.0, "LUFS", Readout::kEbuShortTermMax, kEbuType, "SL Max",
                "Highest short-term loudness since the last reset."),
    detail::Out("OUT:EBU TP Max", -60.0, 12.0, "dBFS", Readout::kEbuTruePeakMax, kEbuType, "TP Max",
                "Highest true (inter-sample) peak of the measured channels since the last reset.", "dBTP"),
    detail::Out("OUT:EBU LRA", 0.0, 60.0, "LU", Readout::kEbuRange, kEbuType, "LRA",
                "Loudness range of the short-term loudness since the last reset."),
};

// The parameter that shows `what`; -1 for kNone.
constexpr int ParamOf(Readout what) {
    for (int i = 0; i < ParamIndex::kNumParams; ++i)
        if (what != Readout::kNone && kParams[i].shows == what) return i;
    return -1;
}

// How many parameters have `role` and, for `type` other than kAnyType, belong to that type.
constexpr int CountParams(ParamDef::Role role, MeterTypeOf type = kAnyType) {
    int n = 0;
    for (const QuenlixParam& p : kParams)
        if (p.def.role == role && (type == kAnyType || p.type == type)) ++n;
    return n;
}

// The indices of those parameters, in index order.
template <int N>
constexpr std::array<int, N> ParamsWith(ParamDef::Role role, MeterTypeOf type = kAnyType) {
    std::array<int, N> out{};
    int n = 0;
    for (int i = 0; i < ParamIndex::kNumParams; ++i)
        if (kParams[i].def.role == role && (type == kAnyType || kParams[i].type == type) && n < N)
            out[n++] = i;
    return out;
}

inline constexpr int kNumReadouts = CountParams(ParamDef::Role::kReadout);
inline constexpr int kNumRmsReadouts = CountParams(ParamDef::Role::kReadout, kRmsType);
inline constexpr int kNumEbuReadouts = CountParams(ParamDef::Role::kReadout, kEbuType);
inline constexpr int kNumSettings = CountParams(ParamDef::Role::kSetting);

// Read-outs and settings in index order; the read-outs of each type in the editor's column order.
inline constexpr std::array<int, kNumReadouts> kReadoutParams =
    ParamsWith<kNumReadouts>(ParamDef::Role::kReadout);
inline constexpr std::array<int, kNumSettings> kSettingParams =
    ParamsWith<kNumSettings>(ParamDef::Role::kSetting);
inline constexpr std::array<int, kNumRmsReadouts> kRmsReadoutParams =
    ParamsWith<kNumRmsReadouts>(ParamDef::Role::kReadout, kRmsType);
inline constexpr std::array<int, kNumEbuReadouts> kEbuReadoutParams =
    ParamsWith<kNumEbuReadouts>(ParamDef::Role::kReadout, kEbuType);

}  // namespace quenlix
