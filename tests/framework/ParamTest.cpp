#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "framework/IParam.h"

namespace {

std::string Display(const IParam& p, double v, bool normalized = false, bool withText = true) {
    char out[IParam::kDisplaySize];
    p.GetDisplayForHost(v, normalized, out, withText);
    return out;
}

}  // namespace

// ---- Normalised mapping ----

TEST(ParamMapping, ShapePutsMoreTravelInTheLowerRange) {
    IParam p;
    p.InitDouble("RMS Window", 300.0, 10.0, 3000.0, 1.0, "ms", "", 2.5);
    EXPECT_NEAR(p.GetNormalized(), 0.393, 0.001);
    // Round trip through the mapping lands on the same value for a double parameter.
    p.SetNormalized(p.GetNormalized(300.0));
    EXPECT_NEAR(p.Value(), 300.0, 1e-9);
    p.SetNormalized(0.5);
    EXPECT_NEAR(p.Value(), 10.0 + std::pow(0.5, 2.5) * 2990.0, 1e-9);
}

// A value typed into the editor reaches the parameter as its normalised position: a value on the step
// grid comes back exactly, not a hair off (999.9999... for 1000 through a shape of 2.5).
TEST(ParamMapping, GridValuesComeBackExactlyThroughTheShape) {
    IParam window;
    window.InitDouble("RMS Window", 300.0, 10.0, 3000.0, 1.0, "ms", "", 2.5);
    for (double v : {10.0, 11.0, 250.0, 300.0, 500.0, 999.0, 1000.0, 2999.0, 3000.0}) {
        window.SetNormalized(window.GetNormalized(v));
        EXPECT_EQ(window.Value(), v);
    }
    IParam level;
    level.InitDouble("Level", -60.0, -60.0, 12.0, 0.1, "dB", "", 3.0);
    for (double v : {-60.0, -23.4, -0.1, 0.7, 11.9}) {
        level.SetNormalized(level.GetNormalized(v));
        EXPECT_EQ(level.Value(), v);
    }
    // A typed value between grid points comes back as typed, too; a position no short decimal maps
    // to keeps the value it maps to.
    window.SetNormalized(window.GetNormalized(12.7));
    EXPECT_EQ(window.Value(), 12.7);
    window.SetNormalized(0.5);
    EXPECT_EQ(window.Value(), 10.0 + std::pow(0.5, 2.5) * 2990.0);
}

TEST(ParamMapping, OutOfRangeNormalisedValuesClampToTheBounds) {
    IParam p;
    p.InitDouble("Gain", 0.0, -12.0, 12.0, 0.1);
    p.SetNormalized(1.3);
    EXPECT_EQ(p.Value(), 12.0);
    p.SetNormalized(-0.2);
    EXPECT_EQ(p.Value(), -12.0);
    EXPECT_EQ(p.GetNormalized(40.0), 1.0);
    EXPECT_EQ(p.GetNormalized(-40.0), 0.0);
}

TEST(ParamMapping, DiscreteTypesSnapToTheStepGridCountedFromZero) {
    IParam p;
    // Grid from zero: 0, 3, 6 ... not 1, 4, 7 from the minimum.
    p.InitInt("Steps", 1, 1, 10);
    p.InitDouble("Steps", 1.0, 1.0, 10.0, 3.0);  // keeps the int type
    ASSERT_EQ(p.Type(), IParam::kTypeInt);
    p.SetNormalized(0.1);  // 1.9 -> 3
    EXPECT_EQ(p.Value(), 3.0);
    p.SetNormalized(0.0);  // 1.0 -> 0: the snap may go below the minimum
    EXPECT_EQ(p.Value(), 0.0);
    p.SetNormalized(1.0);  // 10 -> 9 on the grid; max only clamps from above
    EXPECT_EQ(p.Value(), 9.0);
}

TEST(ParamMapping, DoubleParametersAreNotSnapped) {
    IParam p;
    p.InitDouble("Gain", 0.0, -12.0, 12.0, 1.0);
    p.SetNormalized(0.51);
    EXPECT_NEAR(p.Value(), -12.0 + 0.51 * 24.0, 1e-12);
}

TEST(ParamMapping, NaNDoesNotReachTheValue) {
    IParam p;
    p.InitDouble("Gain", 3.0, -12.0, 12.0, 0.1);
    p.SetNormalized(std::nan(""));
    p.Set(std::nan(""));
    EXPECT_EQ(p.Value(), 3.0);
    p.Set(INFINITY);
    EXPECT_EQ(p.Value(), 12.0);
}

TEST(ParamMapping, AZeroWidthRangeMapsToZeroNotNaN) {
    IParam p;
    p.InitDouble("Flat", 5.0, 5.0, 5.0, 0.0);
    EXPECT_EQ(p.GetNormalized(), 0.0);
}

// ---- Enumerations ----

TEST(ParamEnum, TwoEntriesRoundHalfUp) {
    IParam p;
    p.InitEnum("Type", 0, 2);
    p.SetNormalized(0.49);
    EXPECT_EQ(p.Value(), 0.0);
    p.SetNormalized(0.5);
    EXPECT_EQ(p.Value(), 1.0);
}

TEST(ParamEnum, ZeroOrOneEntriesStillSpanZeroToOne) {
    for (int n : {0, 1}) {
        IParam p;
        p.InitEnum("Few", 0, n);
        double lo, hi;
        p.GetBounds(&lo, &hi);
        EXPECT_EQ(lo, 0.0);
        EXPECT_EQ(hi, 1.0);
        p.SetNormalized(1.0);
        EXPECT_EQ(p.Value(), 1.0);
        EXPECT_EQ(p.GetNormalized(), 1.0);  // no division by zero
    }
}

TEST(ParamEnum, AnEarlierTypeIsKept) {
    IParam p;
    p.InitBool("On", true);
    EXPECT_EQ(p.Type(), IParam::kTypeBool);
    EXPECT_EQ(p.Value(), 1.0);
    EXPECT_EQ(p.GetMax(), 1.0);
}

// ---- InitDouble ----

TEST(ParamInitDouble, MaximumIsWidenedToOneStepAboveTheMinimum) {
    IParam p;
    p.InitDouble("Wide", 0.0, 0.0, 5.0, 10.0);
    EXPECT_EQ(p.GetMax(), 10.0);
}

TEST(ParamInitDouble, DefaultIsStoredUnclamped) {
    IParam p;
    p.InitDouble("Odd", 50.0, 0.0, 10.0, 1.0);
    EXPECT_EQ(p.Value(), 50.0);
}

TEST(ParamInitDouble, ZeroShapeKeepsThePreviousShape) {
    IParam p;
    p.InitDouble("Lin", 0.0, 0.0, 1.0, 0.01, "", "", 0.0);
    EXPECT_EQ(p.GetShape(), 1.0);
    p.SetShape(3.0);
    p.SetShape(0.0);
    EXPECT_EQ(p.GetShape(), 3.0);
}

TEST(ParamInitDouble, PrecisionFollowsTheStepUpToSixDecimals) {
    IParam p;
    p.InitDouble("A", 0.0, 0.0, 1.0, 1.0);
    EXPECT_EQ(p.GetPrecision(), 0);
    p.InitDouble("A", 0.0, 0.0, 1.0, 0.1);
    EXPECT_EQ(p.GetPrecision(), 1);
    p.InitDouble("A", 0.0, 0.0, 1.0, 0.25);
    EXPECT_EQ(p.GetPrecision(), 2);
    p.InitDouble("A", 0.0, 0.0, 1.0, 1.0 / 3.0);
    EXPECT_EQ(p.GetPrecision(), 6);
}

// ---- Texts ----

TEST(ParamTexts, DuplicateValuesFindTheFirstAndCountBoth) {
    IParam p;
    p.InitEnum("Mode", 0, 3);
    p.SetDisplayText(0, "A");
    p.SetDisplayText(1, "B");
    p.SetDisplayText(1, "B again");
    EXPECT_EQ(p.GetNDisplayTexts(), 3);
    EXPECT_STREQ(p.GetDisplayText(1), "B");
    EXPECT_STREQ(p.GetDisplayText(2), "");
    int v = -1;
    EXPECT_STREQ(p.GetDisplayTextAtIdx(2, &v), "B again");
    EXPECT_EQ(v, 1);
    EXPECT_STREQ(p.GetDisplayTextAtIdx(3, &v), "");
}

TEST(ParamTexts, MapDisplayTextIsExactAndLeavesTheOutputOnMiss) {
    IParam p;
    p.InitEnum("Type", 0, 2);
    p.SetDisplayText(0, "RMS");
    p.SetDisplayText(1, "EBU R128");
    int v = 7;
    EXPECT_FALSE(p.MapDisplayText("ebu r128", &v));
    EXPECT_FALSE(p.MapDisplayText("EBU", &v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(p.MapDisplayText("EBU R128", &v));
    EXPECT_EQ(v, 1);
}

TEST(ParamTexts, LabelIsHiddenWhileTheValueHasAText) {
    IParam e;
    e.InitEnum("Type", 1, 2, "unit");
    e.SetDisplayText(1, "EBU R128");
    EXPECT_STREQ(e.GetLabelForHost(), "");
    e.Set(0.0);
    EXPECT_STREQ(e.GetLabelForHost(), "unit");
    IParam d;
    d.InitDouble("Window", 300.0, 10.0, 3000.0, 1.0, "ms");
    EXPECT_STREQ(d.GetLabelForHost(), "ms");
}

TEST(ParamTexts, LongTextsAreCutAt31Characters) {
    const std::string longText(100, 'x');
    IParam p;
    p.InitEnum(longText.c_str(), 0, 2, longText.c_str(), longText.c_str());
    p.SetDisplayText(0, longText.c_str());
    EXPECT_EQ(std::strlen(p.GetNameForHost()), 31u);
    EXPECT_EQ(std::strlen(p.GetGroupForHost()), 31u);
    EXPECT_EQ(std::strlen(p.GetDisplayText(0)), 31u);
    p.Set(1.0);
    EXPECT_EQ(std::strlen(p.GetLabelForHost()), 31u);
}

// ---- Host display ----

TEST(ParamDisplay, WholeNumbersNeverShowMinusZero) {
    IParam p;
    p.InitDouble("Int", 0.0, -10.0, 10.0, 1.0);
    EXPECT_EQ(Display(p, -0.05), "0");
    EXPECT_EQ(Display(p, -3.9), "-4");
}

// A whole-number display rounds like the decimals of "%.1f" do: a window of 12.7 ms shows 13, and a
// value a hair below a whole number (the shape curve there and back) shows that number.
TEST(ParamDisplay, WholeNumbersAreRoundedNotTruncated) {
    IParam p;
    p.InitDouble("RMS Window", 300.0, 10.0, 3000.0, 1.0, "ms", "", 2.5);
    const std::pair<double, const char*> cases[] = {{12.7, "13"},          {12.5, "13"},   {12.49, "12"},
                                                    {999.9999999, "1000"}, {300.0, "300"}, {3000.0, "3000"}};
    for (const auto& [value, shown] : cases) EXPECT_EQ(Display(p, value), shown) << value;
}

TEST(ParamDisplay, DecimalsFollowTheStep) {
    IParam p;
    p.InitDouble("Out", -144.0, -144.0, 12.0, 0.1);
    EXPECT_EQ(Display(p, -23.04), "-23.0");
    p.InitDouble("Out", -144.0, -144.0, 12.0, 0.01);
    EXPECT_EQ(Display(p, -23.04), "-23.04");
}

TEST(ParamDisplay, DisplayTextsOnlyWhenAsked) {
    IParam p;
    p.InitEnum("Type", 1, 2);
    p.SetDisplayText(0, "RMS");
    p.SetDisplayText(1, "EBU R128");
    EXPECT_EQ(Display(p, 1.0), "EBU R128");
    EXPECT_EQ(Display(p, 1.0, false, false), "1");
    EXPECT_EQ(Display(p, 1.0, true), "EBU R128");  // normalised 1.0 is the value 1
}

TEST(ParamDisplay, NormalisedInputIsNotClampedOrSnapped) {
    IParam p;
    p.InitDouble("Gain", 0.0, 0.0, 10.0, 0.1);
    EXPECT_EQ(Display(p, 1.5, true), "15.0");
    EXPECT_EQ(Display(p, 0.123, true), "1.2");
}

TEST(ParamDisplay, NegatedDisplayFlipsTheSign) {
    IParam p;
    p.InitDouble("Atten", 6.0, 0.0, 60.0, 0.5);
    p.SetNegateDisplay(true);
    EXPECT_EQ(Display(p, 6.0), "-6.0");
}

TEST(ParamDisplay, ExtremeValuesStayInsideTheBuffer) {
    IParam p;
    p.InitDouble("Huge", 0.0, 0.0, 1.0, 0.000001);
    char out[IParam::kDisplaySize + 8];
    std::memset(out, '#', sizeof(out));
    p.GetDisplayForHost(1e300, false, out);
    EXPECT_EQ(std::strlen(out), static_cast<size_t>(IParam::kDisplaySize - 1));
    EXPECT_EQ(out[IParam::kDisplaySize], '#');
    // Whole-number display of values beyond int, and of NaN, is defined.
    p.InitDouble("Big", 0.0, 0.0, 1.0, 1.0);
    EXPECT_EQ(Display(p, 1e30), "2147483647");
    EXPECT_EQ(Display(p, std::nan("")), "0");
}
