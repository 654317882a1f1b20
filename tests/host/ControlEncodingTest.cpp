#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "host/rtas/format/ControlEncoding.h"
#include "host/rtas/format/PluginControl.h"

namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

TEST(DiscreteEncoding, BoundsMapToTheEndsOfTheWholeRange) {
    EXPECT_EQ(DiscreteToControl(0, 0, 1), kMin);
    EXPECT_EQ(DiscreteToControl(1, 0, 1), kMax);
    EXPECT_EQ(DiscreteToControl(0, 0, 4), kMin);
    EXPECT_EQ(DiscreteToControl(4, 0, 4), kMax);
    EXPECT_EQ(DiscreteToControl(-7, -7, 3), kMin);
    EXPECT_EQ(DiscreteToControl(3, -7, 3), kMax);
}

TEST(DiscreteEncoding, InBetweenIsTruncatedTowardZero) {
    // 2 of 0..4 is 0.5 of the span: 2147483647.5 - 2147483648 = -0.5, truncated to 0.
    EXPECT_EQ(DiscreteToControl(2, 0, 4), 0);
    // 1 of 0..3: 4294967295 / 3 - 2147483648 = -715827883, exactly.
    EXPECT_EQ(DiscreteToControl(1, 0, 3), -715827883);
    // 2 of 0..3: 2863311530 - 2147483648 = 715827882.
    EXPECT_EQ(DiscreteToControl(2, 0, 3), 715827882);
}

TEST(DiscreteEncoding, ValuesOutsideTheBoundsAreClamped) {
    EXPECT_EQ(DiscreteToControl(-1, 0, 4), kMin);
    EXPECT_EQ(DiscreteToControl(99, 0, 4), kMax);
}

TEST(DiscreteEncoding, EveryValueSurvivesTheRoundTrip) {
    for (int max = 1; max <= 12; ++max) {
        for (int v = 0; v <= max; ++v) {
            EXPECT_EQ(ControlToDiscrete(DiscreteToControl(v, 0, max), 0, max), v) << v << " of 0.." << max;
        }
    }
    for (int v = -60; v <= 12; ++v) EXPECT_EQ(ControlToDiscrete(DiscreteToControl(v, -60, 12), -60, 12), v);
}

TEST(DiscreteEncoding, DecodingRoundsToTheNearestPosition) {
    EXPECT_EQ(ControlToDiscrete(kMin, 0, 1), 0);
    EXPECT_EQ(ControlToDiscrete(kMax, 0, 1), 1);
    // The middle of an on/off control rounds up (0.5 + 0.5).
    EXPECT_EQ(ControlToDiscrete(0, 0, 1), 1);
    EXPECT_EQ(ControlToDiscrete(-2, 0, 1), 0);
    // Just below and above the midpoint between 1 and 2 of 0..4.
    EXPECT_EQ(ControlToDiscrete(-536870913 - 2, 0, 4), 1);
    EXPECT_EQ(ControlToDiscrete(-536870912 + 2, 0, 4), 2);
}

TEST(DiscreteEncoding, DegenerateRangeIsDefined) {
    EXPECT_EQ(DiscreteToControl(5, 3, 3), kMin);
    EXPECT_EQ(ControlToDiscrete(kMax, 3, 3), 3);
    EXPECT_EQ(ControlToDiscrete(12345, 4, 1), 4);
}

TEST(LinearEncoding, BoundsMapToTheEndsOfTheWholeRange) {
    EXPECT_EQ(ContinuousToControl(-60.0, -60.0, 12.0), kMin);
    EXPECT_EQ(ContinuousToControl(12.0, -60.0, 12.0), kMax);
    EXPECT_DOUBLE_EQ(ControlToContinuous(kMin, -60.0, 12.0), -60.0);
    EXPECT_DOUBLE_EQ(ControlToContinuous(kMax, -60.0, 12.0), 12.0);
}

TEST(LinearEncoding, MidpointRoundsToNearest) {
    // t = 0.5: -2147483648 + 2147483647.5 + 0.5 = 0.
    EXPECT_EQ(ContinuousToControl(5.0, 0.0, 10.0), 0);
    EXPECT_NEAR(ControlToContinuous(0, 0.0, 10.0), 5.0, 1e-8);
}

TEST(LinearEncoding, RoundTripIsWithinOneCodeStep) {
    const double step = 72.0 / 4294967295.0;
    for (double v = -60.0; v <= 12.0; v += 0.7) {
        EXPECT_NEAR(ControlToContinuous(ContinuousToControl(v, -60.0, 12.0), -60.0, 12.0), v, step);
    }
    for (double v = 10.0; v <= 3000.0; v += 37.3) {
        EXPECT_NEAR(ControlToContinuous(ContinuousToControl(v, 10.0, 3000.0), 10.0, 3000.0), v, 1e-6);
    }
}

TEST(LinearEncoding, OutOfRangeAndNaNAreClamped) {
    EXPECT_EQ(ContinuousToControl(-1000.0, -60.0, 12.0), kMin);
    EXPECT_EQ(ContinuousToControl(1e300, -60.0, 12.0), kMax);
    EXPECT_EQ(ContinuousToControl(INFINITY, -60.0, 12.0), kMax);
    EXPECT_EQ(ContinuousToControl(-INFINITY, -60.0, 12.0), kMin);
    EXPECT_EQ(ContinuousToControl(NAN, -60.0, 12.0), kMin);
}

TEST(LinearEncoding, ReversedBoundsClampToTheIntervalBetweenThem) {
    // min 10 above max 0: 10 is the low end of the encoding, 0 the high end.
    EXPECT_EQ(ContinuousToControl(10.0, 10.0, 0.0), kMin);
    EXPECT_EQ(ContinuousToControl(0.0, 10.0, 0.0), kMax);
    EXPECT_EQ(ContinuousToControl(20.0, 10.0, 0.0), kMin);
    EXPECT_EQ(ContinuousToControl(-5.0, 10.0, 0.0), kMax);
    EXPECT_NEAR(ControlToContinuous(ContinuousToControl(2.5, 10.0, 0.0), 10.0, 0.0), 2.5, 1e-8);
}

TEST(LinearEncoding, DegenerateRangeIsDefined) {
    EXPECT_EQ(ContinuousToControl(1.0, 1.0, 1.0), kMin);
    EXPECT_DOUBLE_EQ(ControlToContinuous(kMax, 1.0, 1.0), 1.0);
}

TEST(LinearEncoding, StepCountIsTheSpanOverTheStepPlusOne) {
    EXPECT_EQ(LinearStepCount(10.0, 3000.0, 1.0), 2991);
    EXPECT_EQ(LinearStepCount(0.0, 30.0, 0.5), 61);
    EXPECT_EQ(LinearStepCount(0.0, 1.0, 0.0), kMax);
    EXPECT_EQ(LinearStepCount(0.0, 1.0, NAN), kMax);
    EXPECT_EQ(LinearStepCount(0.0, 1e30, 1e-30), kMax);
}

TEST(ControlObjects, DefaultsAreEncodedAndNumbersRoundTrip) {
    CPluginControl_OnOff bypass(FourCharCode("bypa"), "Master Bypass\nMastrByp\nMByp\nByp", false, true);
    EXPECT_EQ(bypass.GetValue(), kMin);
    EXPECT_EQ(bypass.GetName(), "Master Bypass");
    EXPECT_EQ(bypass.GetValueText(kMax), "on");

    CPluginControl_List list(FourCharCode("list"), "Type", {"RMS", "EBU R128"}, 1, true);
    EXPECT_EQ(list.GetValue(), kMax);
    EXPECT_EQ(list.GetMaximum(), 1.0);
    EXPECT_EQ(list.GetValueText(kMin), "RMS");
    EXPECT_EQ(list.GetValueText(list.NumberToControl(1.4)), "EBU R128");

    CPluginControl_Linear linear(FourCharCode("line"), "Window", 10.0, 3000.0, 1.0, 300.0, false);
    EXPECT_NEAR(linear.GetContinuous(), 300.0, 1e-6);
    linear.SetContinuous(2999.0);
    EXPECT_NEAR(linear.ControlToNumber(linear.GetValue()), 2999.0, 1e-6);
    EXPECT_EQ(linear.GetNumSteps(), 2991);

    CPluginControl_Discrete discrete(FourCharCode("disc"), "Count", -3, 3, 0, true);
    EXPECT_EQ(discrete.ControlToNumber(discrete.NumberToControl(NAN)), -3.0);
    EXPECT_EQ(discrete.ControlToNumber(discrete.NumberToControl(2.6)), 3.0);
    EXPECT_EQ(discrete.GetNumSteps(), 7);
}

}  // namespace
