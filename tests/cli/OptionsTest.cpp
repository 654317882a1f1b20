#include <gtest/gtest.h>

#include <sstream>

#include "cli/MeteringSession.h"
#include "cli/Options.h"

namespace quenlix::cli {
namespace {

struct Parsed {
    std::optional<int> code;
    Options options;
    std::string out, err;
};

Parsed parse(std::vector<std::string> args) {
    args.insert(args.begin(), "quenlix");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    Parsed p;
    std::ostringstream out, err;
    p.code = parseArguments(static_cast<int>(argv.size()), argv.data(), p.options, out, err);
    p.out = out.str();
    p.err = err.str();
    return p;
}

class UsageErrors : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(UsageErrors, StopWithExitCodeTwoAndAMessage) {
    Parsed p = parse(GetParam());
    ASSERT_TRUE(p.code.has_value());
    EXPECT_EQ(*p.code, kExitUsage);
    EXPECT_FALSE(p.err.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, UsageErrors,
    ::testing::Values(std::vector<std::string>{}, std::vector<std::string>{"measure"},
                      std::vector<std::string>{"frobnicate", "a.wav"},
                      std::vector<std::string>{"measure", "--type", "peak", "a.wav"},
                      std::vector<std::string>{"measure", "--type", "1", "a.wav"},
                      std::vector<std::string>{"measure", "--ebu-layout", "7.1", "a.wav"},
                      std::vector<std::string>{"measure", "--rms-channels", "5", "a.wav"},
                      std::vector<std::string>{"measure", "--rms-mode", "rms+6", "a.wav"},
                      std::vector<std::string>{"measure", "--rms-window", "9.99", "a.wav"},
                      std::vector<std::string>{"measure", "--rms-window", "3000.5", "a.wav"},
                      std::vector<std::string>{"measure", "--rms-window", "nan", "a.wav"},
                      std::vector<std::string>{"measure", "--rms-window", "300ms", "a.wav"},
                      std::vector<std::string>{"measure", "--block", "0", "a.wav"},
                      std::vector<std::string>{"measure", "--block", "x", "a.wav"},
                      std::vector<std::string>{"measure", "-j", "0", "a.wav"},
                      std::vector<std::string>{"measure", "--state", "/nonexistent/state.bin", "a.wav"},
                      std::vector<std::string>{"measure", "--timeline", "t.csv", "a.wav", "b.wav"},
                      std::vector<std::string>{"measure", "--snapshot", "s.png", "a.wav", "b.wav"},
                      std::vector<std::string>{"measure", "--save-state", "s.bin", "a.wav", "b.wav"},
                      std::vector<std::string>{"demo", "extra.wav"},
                      std::vector<std::string>{"measure", "--snapshot-scale", "3", "a.wav"},
                      std::vector<std::string>{"measure", "--snapshot-scale", "1.25", "a.wav"},
                      std::vector<std::string>{"view", "--scale", "0", "a.wav"},
                      std::vector<std::string>{"view", "--snapshot-scale", "2", "a.wav"}));

TEST(Arguments, HelpStopsWithExitCodeZero) {
    Parsed p = parse({"measure", "--help"});
    ASSERT_TRUE(p.code.has_value());
    EXPECT_EQ(*p.code, kExitOk);
    EXPECT_NE(p.out.find("--rms-window"), std::string::npos);
}

TEST(Arguments, MeasureKeepsFilesInOrderWithEverySetting) {
    Parsed p = parse({"measure", "--type", "rms", "--ebu-layout", "4.1", "--rms-channels", "right",
                      "--rms-mode", "rms+3", "--rms-window", "10", "--block", "64", "-j", "3", "--json",
                      "--quiet", "b.wav", "a.wav"});
    ASSERT_FALSE(p.code.has_value()) << p.err;
    const Options& o = p.options;
    EXPECT_EQ(o.command, Command::Measure);
    EXPECT_EQ(o.files, (std::vector<std::string>{"b.wav", "a.wav"}));
    EXPECT_EQ(o.type, 0);
    EXPECT_EQ(o.ebuLayout, 2);
    EXPECT_EQ(o.rmsChannels, 2);
    EXPECT_EQ(o.rmsMode, 1);
    EXPECT_EQ(o.rmsWindowMs, 10.0);
    EXPECT_EQ(o.blockFrames, 64);
    EXPECT_EQ(o.jobs, 3);
    EXPECT_TRUE(o.json);
    EXPECT_TRUE(o.quiet);
}

TEST(Arguments, DemoWritesItsPictureByDefault) {
    Parsed p = parse({"demo"});
    ASSERT_FALSE(p.code.has_value()) << p.err;
    EXPECT_EQ(p.options.command, Command::Demo);
    EXPECT_EQ(p.options.snapshotPath, kDemoSnapshot);
}

double valueOf(const std::vector<std::pair<int, double>>& s, int index) {
    for (const auto& [i, v] : s)
        if (i == index) return v;
    return -1.0;
}

TEST(SettingsByChannelCount, FollowTheLayoutTable) {
    Options o;
    // channels -> (RMS Channel Config, EBU Channel Config)
    const std::pair<double, double> expected[] = {{1, 0}, {0, 0}, {3, 1}, {3, 1}, {4, 2}, {4, 3}};
    for (int channels = 1; channels <= 6; ++channels) {
        auto s = settingsFor(o, channels, false);
        EXPECT_EQ(valueOf(s, kParamType), 1.0) << channels;
        EXPECT_EQ(valueOf(s, kParamRmsChannelConfig), expected[channels - 1].first) << channels;
        EXPECT_EQ(valueOf(s, kParamEbuChannelConfig), expected[channels - 1].second) << channels;
        EXPECT_EQ(valueOf(s, kParamRmsWindow), -1.0) << "the window is left alone unless asked for";
    }
}

TEST(SettingsByChannelCount, ExplicitChoicesWinOverDefaults) {
    Options o;
    o.type = 0;
    o.ebuLayout = 3;
    o.rmsChannels = 2;
    o.rmsWindowMs = 1234.0;
    auto s = settingsFor(o, 2, false);
    EXPECT_EQ(valueOf(s, kParamType), 0.0);
    EXPECT_EQ(valueOf(s, kParamEbuChannelConfig), 3.0);
    EXPECT_EQ(valueOf(s, kParamRmsChannelConfig), 2.0);
    EXPECT_EQ(valueOf(s, kParamRmsWindow), 1234.0);
}

TEST(SettingsByChannelCount, ARestoredStateKeepsEverythingNotAskedFor) {
    Options o;
    o.rmsMode = 1;
    auto s = settingsFor(o, 6, true);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0], std::make_pair(static_cast<int>(kParamRmsMeterMode), 1.0));
}

}  // namespace
}  // namespace quenlix::cli
