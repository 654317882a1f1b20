// Quenlix in Ardour 7, headless: tracks fed by Ardour's own sine generator, the plug-in's control
// outputs read back through Ardour's Lua interface, sessions saved and loaded by Ardour itself.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/realhost/ArdourSession.h"

namespace {

using quenlix::realhost::ArdourSession;

class Ardour : public ::testing::Test {
  protected:
    void SetUp() override {
        if (quenlix::realhost::FindArdourLua().empty())
            GTEST_SKIP() << "ardour7-lua is not installed: Ardour is not tried as a host";
    }

    // Runs the scripts and fails the test on any step the script could not take.
    ArdourSession::Result Run(const std::vector<std::string>& scripts, const std::string& prelude = "") {
        ArdourSession::Result r = mSession.Run(prelude, scripts);
        for (const std::string& e : r.errors) ADD_FAILURE() << e;
        EXPECT_TRUE(r.ended) << "the script did not run to its end (exit code " << r.exitCode << "):\n"
                             << r.log;
        return r;
    }

    static double Figure(const ArdourSession::Result& r, const std::string& name) {
        auto it = r.figures.find(name);
        if (it == r.figures.end()) {
            ADD_FAILURE() << name << " was not reported:\n" << r.log;
            return NAN;
        }
        return it->second;
    }

    ArdourSession mSession;
};

// A sine at -23 dBFS peak on both channels of a stereo programme is -23 LUFS.
constexpr double kToneDbfs = -23.0;
constexpr double kTolerance = 0.1;
// Where the plug-in reads a measurement that has none yet.
constexpr double kFloor = -60.0;

TEST_F(Ardour, StereoTrackReadsTheToneLoudness) {
    const ArdourSession::Result r = Run({"tone_stereo.lua"});
    for (const char* name : {"IL", "ML", "SL", "TP_Max"})
        EXPECT_NEAR(Figure(r, name), kToneDbfs, kTolerance) << name;
}

TEST_F(Ardour, SyncIntegratesOnlyWhileTheTransportRolls) {
    const ArdourSession::Result r = Run({"sync.lua"});
    // Standing: the tone reaches the meter (momentary loudness) but nothing is integrated.
    EXPECT_EQ(Figure(r, "stopped_IL"), kFloor);
    EXPECT_NEAR(Figure(r, "stopped_ML"), kToneDbfs, kTolerance);
    EXPECT_NEAR(Figure(r, "rolling_IL"), kToneDbfs, kTolerance);
    // Stopped again with a tone 10 dB louder: the momentary loudness follows, the integrated stays.
    EXPECT_NEAR(Figure(r, "stopped_again_ML"), kToneDbfs + 10.0, kTolerance);
    EXPECT_NEAR(Figure(r, "stopped_again_IL"), kToneDbfs, kTolerance);
}

TEST_F(Ardour, SavedSessionRestoresEverySettingAndMeasures) {
    // Every setting away from its default; the EBU layout 4.0 still measures a stereo programme alike.
    const std::map<std::string, double> settings = {
        {"Type", 1},           {"Sync", 1},          {"RMS Channel Config", 2},
        {"RMS Meter Mode", 1}, {"RMS Window", 1234}, {"EBU Channel Config", 1}};
    std::string prelude = "SETTINGS = {";
    for (const auto& [name, value] : settings)
        prelude += "[\"" + name + "\"] = " + std::to_string(value) + ", ";
    prelude += "}";
    Run({"save.lua"}, prelude);
    // A fresh Ardour process loads the session.
    const ArdourSession::Result r = Run({"reload.lua"}, prelude);
    for (const auto& [name, value] : settings) {
        std::string key = name;
        for (char& c : key)
            if (c == ' ') c = '_';
        EXPECT_EQ(Figure(r, key), value) << name;
    }
    EXPECT_NEAR(Figure(r, "IL"), kToneDbfs, kTolerance);
}

// Ardour's preset menu of the 6-channel plug-in: each factory preset sets every setting, the channel
// settings to the plug-in's own 5.1 start values.
TEST_F(Ardour, FactoryPresetsLoadFromThePresetMenu) {
    const std::map<std::string, std::map<std::string, double>> presets = {
        {"Default", {{"Type", 0}, {"RMS_Window", 300}}},
        {"RMS 300 ML", {{"Type", 0}, {"RMS_Window", 300}}},
        {"EBU R128", {{"Type", 1}, {"RMS_Window", 300}}},
    };
    std::string prelude = "PRESETS = {";
    // Each with the type it does not give, which it must set back.
    for (const auto& [label, values] : presets)
        prelude += "{\"" + label + "\", " + std::to_string(1 - static_cast<int>(values.at("Type"))) + "}, ";
    prelude +=
        "}\nSCRAMBLED = {[\"Sync\"] = 1, [\"RMS Channel Config\"] = 2, [\"RMS Meter Mode\"] = 1, "
        "[\"RMS Window\"] = 1234, [\"EBU Channel Config\"] = 0}";
    const ArdourSession::Result r = Run({"presets.lua"}, prelude);
    for (const auto& [label, values] : presets) {
        std::string key = label;
        for (char& c : key)
            if (c == ' ') c = '_';
        EXPECT_EQ(Figure(r, key + "/Type"), values.at("Type")) << label;
        EXPECT_EQ(Figure(r, key + "/RMS_Window"), values.at("RMS_Window")) << label;
        EXPECT_EQ(Figure(r, key + "/Sync"), 0) << label;
        EXPECT_EQ(Figure(r, key + "/RMS_Meter_Mode"), 0) << label;
        EXPECT_EQ(Figure(r, key + "/RMS_Channel_Config"), 4) << label;
        EXPECT_EQ(Figure(r, key + "/EBU_Channel_Config"), 3) << label;
    }
}

TEST_F(Ardour, SixChannelTrackReadsTheSurroundLoudness) {
    const ArdourSession::Result r = Run({"tone_surround.lua"});
    // A 6-channel instance starts as "6 Channel" / "5.1 Surround".
    EXPECT_EQ(Figure(r, "RMS_Channel_Config"), 4);
    EXPECT_EQ(Figure(r, "EBU_Channel_Config"), 3);
    // 5.1 weights L, R, C by 1, the LFE by 0 and both surrounds by 1.41: the same tone on all six
    // channels is 10 log10(5.82 / 2) louder than on a stereo pair.
    const double expected = kToneDbfs + 10.0 * std::log10((3.0 + 2.0 * 1.41) / 2.0);
    for (const char* name : {"IL", "ML", "SL"}) EXPECT_NEAR(Figure(r, name), expected, kTolerance) << name;
    EXPECT_NEAR(Figure(r, "TP_Max"), kToneDbfs, kTolerance);
}

}  // namespace
