// Delivery targets: the presets and custom targets as typed, and verdicts on measurements built to pass or
// to miss each limit.
#include <gtest/gtest.h>

#include "cli/Targets.h"

namespace quenlix::cli {
namespace {

Measurements measured(double integrated, double truePeak, std::optional<double> range = 5.0) {
    Measurements m;
    m.meterType = 1;
    m.integratedLufs = integrated;
    m.truePeakDbtp = truePeak;
    m.loudnessRangeLu = range;
    return m;
}

DeliveryTarget target(const std::string& text) {
    std::string error;
    std::optional<DeliveryTarget> t = parseTarget(text, error);
    EXPECT_TRUE(t.has_value()) << text << ": " << error;
    return t.value_or(DeliveryTarget{});
}

TEST(Targets, PresetsCarryTheirSpecificationsLimits) {
    struct Case {
        const char* name;
        double integrated, tolerance, truePeak;
    };
    for (const Case& c :
         {Case{"ebu", -23.0, 0.5, -1.0}, Case{"ebu-live", -23.0, 1.0, -1.0}, Case{"atsc", -24.0, 2.0, -2.0},
          Case{"stream-14", -14.0, 1.0, -1.0}, Case{"stream-16", -16.0, 1.0, -1.0}}) {
        DeliveryTarget t = target(c.name);
        EXPECT_EQ(t.integratedLufs, c.integrated) << c.name;
        EXPECT_EQ(t.toleranceLu, c.tolerance) << c.name;
        EXPECT_EQ(t.truePeakDbtp, c.truePeak) << c.name;
        EXPECT_FALSE(t.maxRangeLu) << c.name;
        EXPECT_NE(describeTargets().find(c.name), std::string::npos) << c.name;
    }
}

TEST(Targets, CustomTargetsReadTheirKeysAndRejectAnythingElse) {
    DeliveryTarget t = target("custom:I=-20,tol=1,tp=-1,lra=12");
    EXPECT_EQ(t.integratedLufs, -20.0);
    EXPECT_EQ(t.toleranceLu, 1.0);
    EXPECT_EQ(t.truePeakDbtp, -1.0);
    EXPECT_EQ(t.maxRangeLu, 12.0);
    DeliveryTarget onlyLoudness = target("custom:I=-18.5");
    EXPECT_EQ(onlyLoudness.toleranceLu, 1.0);
    EXPECT_FALSE(onlyLoudness.truePeakDbtp);

    struct Bad {
        const char* text;
        const char* says;
    };
    for (const Bad& b : {Bad{"loud", "unknown target"}, Bad{"custom:", "key=value"},
                         Bad{"custom:tol=1", "I=<LUFS> is required"},
                         Bad{"custom:I=-20,I=-21", "given twice"}, Bad{"custom:I=-20,x=1", "unknown key"},
                         Bad{"custom:I=abc", "not a number"}, Bad{"custom:I=-20dB", "not a number"},
                         Bad{"custom:I=nan", "not a number"}, Bad{"custom:I=5", "must be"},
                         Bad{"custom:I=-20,tol=-1", "must be"}, Bad{"custom:I=-20,", "key=value"}}) {
        std::string error;
        EXPECT_FALSE(parseTarget(b.text, error)) << b.text;
        EXPECT_NE(error.find(b.says), std::string::npos) << b.text << ": " << error;
    }
}

TEST(Targets, VerdictNamesEveryMissedLimit) {
    DeliveryTarget ebu = target("ebu");
    DeliveryTarget custom = target("custom:I=-20,tol=1,tp=-1,lra=12");
    struct Case {
        const char* what;
        const DeliveryTarget& t;
        Measurements m;
        std::vector<std::string> failures;
    };
    const std::vector<Case> cases = {
        {"on target", ebu, measured(-23.2, -1.5), {}},
        {"at the band's edges, as shown", ebu, measured(-22.46, -0.96), {}},
        {"too loud", ebu, measured(-21.42, -3.0), {"integrated -21.4 LUFS is 1.6 LU above -23 +-0.5"}},
        {"too quiet", ebu, measured(-25.0, -3.0), {"integrated -25.0 LUFS is 2.0 LU below -23 +-0.5"}},
        {"peak over", ebu, measured(-23.0, -0.3), {"true peak -0.3 dBTP above -1.0"}},
        {"both",
         ebu,
         measured(-20.0, 0.5),
         {"integrated -20.0 LUFS is 3.0 LU above -23 +-0.5", "true peak 0.5 dBTP above -1.0"}},
        {"range too wide", custom, measured(-20.0, -2.0, 14.24), {"loudness range 14.2 LU above 12.0"}},
        {"range within", custom, measured(-20.9, -2.0, 12.0), {}},
        {"range not measured",
         custom,
         measured(-20.0, -2.0, std::nullopt),
         {"loudness range not measured (shorter than 3 s)"}},
    };
    for (const Case& c : cases) {
        Verdict v = checkTarget(c.t, c.m);
        EXPECT_EQ(v.failures, c.failures) << c.what;
        EXPECT_EQ(v.pass, c.failures.empty()) << c.what;
        EXPECT_EQ(v.target, c.t.name) << c.what;
    }
    Measurements silent = measured(-23.0, -144.0);
    silent.integratedLufs.reset();
    Verdict v = checkTarget(ebu, silent);
    EXPECT_FALSE(v.pass);
    ASSERT_EQ(v.failures.size(), 1u);
    EXPECT_NE(v.failures[0].find("integrated loudness not measured"), std::string::npos);
}

}  // namespace
}  // namespace quenlix::cli
