// `quenlix live` as a user runs it: against a JACK dummy server of the test's own at 64-frame periods, fed
// by the test tone client, ended by its duration, a signal, the server going away or its window closing.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/live/LiveFixture.h"
#include "tests/live/LiveTestSupport.h"
#include "tests/live/Tone.h"

namespace {

using livetest::Background;
using livetest::LiveCommand;
using livetest::peakForLoudness;
using livetest::ProgramRun;
using nlohmann::json;

// The same tone as the client plays, `seconds` long, as a float WAV (the client's samples exactly).
std::string writeToneFile(const std::string& path, double peakDbfs, double seconds) {
    SF_INFO info{};
    info.channels = 2;
    info.samplerate = 48000;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (f == nullptr) return {};
    Tone tone(peakDbfs, 0.0, 48000);
    const auto frames = static_cast<std::int64_t>(seconds * 48000);
    std::vector<float> buf;
    for (std::int64_t i = 0; i < frames; ++i) {
        const float s = tone.next();
        buf.push_back(s);
        buf.push_back(s);
    }
    sf_writef_float(f, buf.data(), frames);
    sf_close(f);
    return path;
}

ProgramRun runToEnd(const std::vector<std::string>& argv, double timeoutS) {
    Background program(argv);
    return program.finish(timeoutS);
}

TEST_F(LiveCommand, MetersTheFeedForItsDurationAsMeasureMetersTheSameTone) {
    playTone(peakForLoudness(-23.0));
    const ProgramRun run = runToEnd(live({"--duration", "5", "--no-window", "--json"}), 30.0);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const json report = json::parse(run.out).at(0);
    const json& m = report.at("measurements");
    EXPECT_NEAR(m.at("integrated_lufs").get<double>(), -23.0, 0.1);
    EXPECT_NEAR(m.at("true_peak_dbtp").get<double>(), peakForLoudness(-23.0), 0.1);
    EXPECT_EQ(report.at("frames").get<std::int64_t>(), 5 * 48000);
    EXPECT_EQ(report.at("live").at("ended_by"), "the duration was reached");
    EXPECT_EQ(report.at("live").at("dropped_frames").get<std::int64_t>(), 0);
    EXPECT_FALSE(report.contains("cut_short"));

    const std::string file = "/tmp/quenlix-live-tone-" + std::to_string(getpid()) + ".wav";
    ASSERT_FALSE(writeToneFile(file, peakForLoudness(-23.0), 5.0).empty());
    const ProgramRun measure = runToEnd({QUENLIX_EXE, "measure", "--json", file}, 30.0);
    std::remove(file.c_str());
    ASSERT_EQ(measure.exitCode, 0) << measure.err;
    // What the host displays, and what it reads from the output parameters, agree to the displayed
    // precision.
    const json measured = json::parse(measure.out).at(0);
    EXPECT_EQ(report.at("readouts"), measured.at("readouts"));
    for (const auto& [name, value] : measured.at("outputs").items())
        EXPECT_NEAR(report.at("outputs").at(name).get<double>(), value.get<double>(), 0.05) << name;
}

TEST_F(LiveCommand, EndsOnASignalWithTheSummaryOfWhatWasMetered) {
    playTone(peakForLoudness(-23.0));
    for (int signo : {SIGINT, SIGTERM}) {
        Background program(live({"--no-window"}));
        std::this_thread::sleep_for(std::chrono::seconds(3));
        program.signal(signo);
        const ProgramRun run = program.finish(15.0);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::string why = signo == SIGINT ? "interrupted by SIGINT" : "ended by SIGTERM";
        const std::size_t at = run.out.find("  live session (" + why + "): ");
        ASSERT_NE(at, std::string::npos) << run.out;
        const double meteredS = std::stod(run.out.substr(run.out.find("): ", at) + 3));
        EXPECT_GT(meteredS, 2.0);
        EXPECT_LT(meteredS, 4.0);
        EXPECT_NE(run.out.find("  IL          -23.0"), std::string::npos) << run.out;
    }
}

TEST_F(LiveCommand, ATargetMissedGivesTheVerdictAndExitThree) {
    playTone(peakForLoudness(-18.0));
    const ProgramRun run = runToEnd(live({"--duration", "4", "--no-window", "--target", "ebu"}), 30.0);
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_NE(run.out.find("check ebu: FAIL"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("integrated -18.0 LUFS is 5.0 LU above -23"), std::string::npos) << run.out;
}

TEST_F(LiveCommand, TheServerGoingAwayEndsTheRunWithTheSummary) {
    playTone(peakForLoudness(-23.0));
    Background program(live({"--no-window"}));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    mServer->Stop();
    const ProgramRun run = program.finish(15.0);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("quenlix: the JACK server went away"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("  live session (the JACK server went away): "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("  IL          -23.0"), std::string::npos) << run.out;
}

TEST(LiveCommandWithoutServer, SaysSoInOneLineAndExitsTwo) {
    const std::string name = "quenlix-live-none-" + std::to_string(getpid());
    const ProgramRun run = runToEnd({"/usr/bin/env", "JACK_DEFAULT_SERVER=" + name, QUENLIX_EXE, "live",
                                     "--no-window", "--duration", "1"},
                                    15.0);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "quenlix: no JACK server is running (server name " + name + ")\n");
    EXPECT_EQ(run.out, "");
}

}  // namespace
