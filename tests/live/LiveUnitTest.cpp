// The parts of `quenlix live` that need no server: the hand-over queue, the command line, the status
// line, the transport hand-on and the summary's live line.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "cli/LiveOptions.h"
#include "cli/LiveRing.h"
#include "cli/LiveSession.h"
#include "cli/LiveStatus.h"
#include "cli/Report.h"

namespace quenlix::cli {
namespace {

// Frames 0, 1, 2, ... with value k of frame i = i * 10 + k, pushed `frames` at a time from column buffers.
std::int64_t pushCounting(LiveRing& ring, std::int64_t first, std::int64_t frames) {
    std::vector<std::vector<float>> columns(ring.width(),
                                            std::vector<float>(static_cast<std::size_t>(frames)));
    std::vector<const float*> pointers;
    for (int k = 0; k < ring.width(); ++k) {
        for (std::int64_t i = 0; i < frames; ++i) columns[k][i] = static_cast<float>((first + i) * 10 + k);
        pointers.push_back(columns[k].data());
    }
    return ring.push(pointers.data(), frames);
}

TEST(LiveRing, HandsOverFramesInOrderAcrossTheWrapAndDropsWhatFindsNoRoom) {
    struct Case {
        int width;
        std::int64_t capacity;
        std::int64_t pushFrames, popFrames;
    };
    // Capacities that are and are not powers of two; pushes and pops that cross the end at odd places.
    for (const Case& c : {Case{1, 8, 3, 5}, Case{3, 100, 37, 64}, Case{7, 64, 64, 1}, Case{2, 5, 7, 3}}) {
        LiveRing ring(c.width, c.capacity);
        ASSERT_GE(ring.capacityFrames(), c.capacity);
        std::int64_t pushed = 0, popped = 0;
        std::vector<float> out(static_cast<std::size_t>(c.popFrames * c.width));
        for (int round = 0; round < 50; ++round) {
            pushed +=
                pushCounting(ring, pushed, std::min(c.pushFrames, ring.capacityFrames() - ring.available()));
            const std::int64_t n = ring.pop(out.data(), c.popFrames);
            for (std::int64_t i = 0; i < n; ++i)
                for (int k = 0; k < c.width; ++k)
                    ASSERT_EQ(out[i * c.width + k], static_cast<float>((popped + i) * 10 + k))
                        << "width " << c.width << " capacity " << c.capacity << " round " << round;
            popped += n;
        }
        EXPECT_EQ(ring.droppedFrames(), 0);

        // Full: the newest frames are dropped and counted, what is queued stays intact.
        const std::int64_t room = ring.capacityFrames() - ring.available();
        EXPECT_EQ(pushCounting(ring, pushed, room + 5), room);
        EXPECT_EQ(ring.droppedFrames(), 5);
        EXPECT_EQ(ring.available(), ring.capacityFrames());
        const std::int64_t n = ring.pop(out.data(), 1);
        ASSERT_EQ(n, 1);
        EXPECT_EQ(out[0], static_cast<float>(popped * 10));
    }
}

struct Parsed {
    std::optional<int> code;
    LiveOptions options;
    std::string out, err;
};

Parsed parse(std::vector<std::string> args) {
    args.insert(args.begin(), {"quenlix", "live"});
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    Parsed p;
    std::ostringstream out, err;
    p.code = parseLiveArguments(static_cast<int>(argv.size()), argv.data(), p.options, out, err);
    p.out = out.str();
    p.err = err.str();
    return p;
}

TEST(LiveOptions, ReadsTheFeedAndTheMeteringAndDeliveryOptionsMeasureTakes) {
    const Parsed p =
        parse({"--channels", "6", "--connect", "desk:pgm_l", "desk:pgm_r", "--name", "pgm", "--duration",
               "90", "--no-window", "--target", "ebu", "--json", "--plot", "p.png"});
    ASSERT_FALSE(p.code) << p.err;
    EXPECT_EQ(p.options.channels, 6);
    EXPECT_EQ(p.options.connect, (std::vector<std::string>{"desk:pgm_l", "desk:pgm_r"}));
    EXPECT_EQ(p.options.clientName, "pgm");
    EXPECT_EQ(p.options.durationS, 90.0);
    EXPECT_TRUE(p.options.noWindow);
    EXPECT_EQ(p.options.metering.command, Command::Live);
    ASSERT_TRUE(p.options.metering.target);
    EXPECT_EQ(p.options.metering.type, 1);  // a loudness target meters EBU R128
    EXPECT_TRUE(p.options.metering.json);
    EXPECT_EQ(p.options.metering.plotPath, "p.png");

    const Parsed defaults = parse({});
    ASSERT_FALSE(defaults.code) << defaults.err;
    EXPECT_EQ(defaults.options.channels, 2);
    EXPECT_TRUE(defaults.options.connect.empty());
    EXPECT_FALSE(defaults.options.noConnect);
    EXPECT_EQ(defaults.options.clientName, "quenlix");
    EXPECT_FALSE(defaults.options.durationS);
}

TEST(LiveOptions, RefusesWhatCannotBeMetOrContradicts) {
    const std::vector<std::vector<std::string>> refused = {
        {"--channels", "0"},
        {"--channels", "7"},
        {"--connect", "a:1", "a:2", "a:3"},  // three ports for two inputs
        {"--connect", "a:1", "--no-connect"},
        {"--duration", "0"},
        {"--duration", "-5"},
        {"--name", ""},
        {"--target", "ebu", "--type", "rms"},
        {"--plot", "p.pdf"},
        {"FILE.wav"},  // a live run meters no files
    };
    for (const auto& args : refused) {
        const Parsed p = parse(args);
        EXPECT_EQ(p.code, kExitUsage) << args.front();
        EXPECT_FALSE(p.err.empty()) << args.front();
    }
    EXPECT_EQ(parse({"--help"}).code, kExitOk);
}

// A session whose outputs are set by the test and which records the transport it was rendered with.
class RecordingSession final : public MeteringSession {
  public:
    bool start(int, double, std::string&) override { return true; }
    std::string version() const override { return "1.3.0"; }
    bool restoreState(const std::vector<std::uint8_t>&, std::string&) override { return true; }
    bool saveState(std::vector<std::uint8_t>&, std::string&) override { return true; }
    bool setParameter(int index, double value, std::string&) override {
        values[index] = value;
        return true;
    }
    bool render(const float* const*, int frames, std::string&) override {
        blocks.emplace_back(frames, running);
        return true;
    }
    void setTransportRunning(bool r) override {
        running = r;
        ++transportCalls;
    }
    ParamReading parameter(int index) const override {
        ParamReading p;
        p.value = values[index];
        return p;
    }
    Measurements measurements() const override { return {}; }
    Readouts readouts() const override { return {}; }
    bool snapshot(const std::string&, std::string&) override { return false; }

    double values[kParamCount] = {};
    bool running = true;
    int transportCalls = 0;
    std::vector<std::pair<int, bool>> blocks;  // frames, transport running
};

class OneSessionFactory final : public SessionFactory {
  public:
    std::unique_ptr<MeteringSession> create(std::string&) override {
        auto s = std::make_unique<RecordingSession>();
        made = s.get();
        return s;
    }
    RecordingSession* made = nullptr;
};

TEST(LiveTransport, EveryBlockIsRenderedWithTheTransportOfTheFramesReadLast) {
    OneSessionFactory inner;
    bool rolling = true;
    std::unique_ptr<SessionFactory> factory = followTransport(inner, [&rolling] { return rolling; });
    std::string error;
    std::unique_ptr<MeteringSession> session = factory->create(error);
    ASSERT_TRUE(session && inner.made);
    ASSERT_TRUE(session->start(2, 48000, error));
    const float* channels[2] = {};
    for (bool state : {true, false, false, true, false}) {
        rolling = state;
        session->render(channels, 64, error);
    }
    const std::vector<std::pair<int, bool>> expected = {
        {64, true}, {64, false}, {64, false}, {64, true}, {64, false}};
    EXPECT_EQ(inner.made->blocks, expected);
    // Told only of changes: the plug-in's transport is not touched in every block.
    EXPECT_EQ(inner.made->transportCalls, 3);
}

TEST(LiveStatusLine, ShowsThePublishedOutputsOfTheActiveTypeAndTheTimeMetered) {
    RecordingSession s;
    s.values[kParamType] = 1;
    const double ebu[][2] = {{13, -23.04}, {15, -22.96}, {12, -23.0}, {17, -1.05}, {18, 4.44}};
    for (const auto& [index, value] : ebu) s.values[static_cast<int>(index)] = value;
    EXPECT_EQ(liveStatusLine(s, 3725.9), "M -23.0  S -23.0  I -23.0 LUFS  TP -1.1 dBTP  LRA 4.4 LU  1:02:05");

    s.values[kParamType] = 0;
    const double rms[][2] = {{6, -20.0}, {7, -18.5}, {5, -21.25}, {8, -3.0}, {9, -2.5}, {10, 17.5}};
    for (const auto& [index, value] : rms) s.values[static_cast<int>(index)] = value;
    EXPECT_EQ(liveStatusLine(s, 59.99),
              "RMS -20.0  max -18.5  IL -21.2 dBFS  peak -3.0  TP -2.5 dBFS  crest 17.5 dB  0:00:59");
}

FileReport liveReport(std::optional<LiveSummary> live) {
    FileReport r;
    r.file = "jack:quenlix";
    r.ok = true;
    r.hasFormat = true;
    r.sampleRate = 48000;
    r.channels = 2;
    r.frames = 144000;
    r.live = std::move(live);
    return r;
}

TEST(LiveReport, TheSummarySaysHowTheSessionEndedWithItsXrunsAndLosses) {
    struct Case {
        LiveSummary live;
        std::string line;
    };
    const std::vector<Case> cases = {
        {{"interrupted by SIGINT", 0, 0, 12.5},
         "  live session (interrupted by SIGINT): 3.00 s metered, 0 xruns\n"},
        {{"the JACK server went away", 1, 0, 0.0},
         "  live session (the JACK server went away): 3.00 s metered, 1 xrun\n"},
        {{"the duration was reached", 4, 960, 0.0},
         "  live session (the duration was reached): 3.00 s metered, 4 xruns, 960 frames lost while the "
         "metering "
         "was behind\n"},
    };
    for (const Case& c : cases) {
        std::ostringstream table, json;
        writeTable(liveReport(c.live), table);
        EXPECT_NE(table.str().find(c.line), std::string::npos) << table.str();
        writeJson({liveReport(c.live)}, json);
        const nlohmann::json live = nlohmann::json::parse(json.str()).at(0).at("live");
        EXPECT_EQ(live.at("ended_by"), c.live.endedBy);
        EXPECT_EQ(live.at("metered_s"), 3.0);
        EXPECT_EQ(live.at("xruns"), c.live.xruns);
        EXPECT_EQ(live.at("dropped_frames"), c.live.droppedFrames);
    }
    // The report of a file has no live part at all.
    std::ostringstream table, json;
    writeTable(liveReport(std::nullopt), table);
    writeJson({liveReport(std::nullopt)}, json);
    EXPECT_EQ(table.str().find("live session"), std::string::npos);
    EXPECT_FALSE(nlohmann::json::parse(json.str()).at(0).contains("live"));
}

}  // namespace
}  // namespace quenlix::cli
