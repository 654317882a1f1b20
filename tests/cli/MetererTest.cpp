#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <sstream>

#include "FakeSession.h"
#include "WavFiles.h"
#include "cli/App.h"
#include "cli/Meterer.h"

namespace quenlix::cli {
namespace {

using test::ScratchDir;

// Runs the whole program in-process over the stand-in plug-in.
class HostRun : public ::testing::Test {
  protected:
    int run(std::vector<std::string> args, bool terminal = false) {
        args.insert(args.begin(), "quenlix");
        std::vector<const char*> argv;
        for (const std::string& a : args) argv.push_back(a.c_str());
        std::ostringstream o, e;
        FactoryMaker make = [this](const std::string&, std::string&) -> std::unique_ptr<SessionFactory> {
            return std::make_unique<test::FakeFactory>(log);
        };
        int code = runQuenlix(static_cast<int>(argv.size()), argv.data(), o, e, make, terminal);
        out = o.str();
        err = e.str();
        return code;
    }
    std::string wav(const std::string& name, int channels, int rate, std::int64_t frames) {
        std::string path = dir.file(name);
        EXPECT_TRUE(test::writeWav(path, channels, rate, frames, test::sine(-20.0, 997.0, rate)));
        return path;
    }

    ScratchDir dir;
    test::FakeLog log;
    std::string out, err;
};

TEST_F(HostRun, HostBlocksNeverExceedTheBlockSizeAndCoverTheFile) {
    std::string a = wav("a.wav", 2, 44100, 10000);
    ASSERT_EQ(run({"measure", "--block", "300", a}), kExitOk) << err;
    int total = 0;
    for (int b : log.blockSizes) {
        EXPECT_LE(b, 300);
        EXPECT_GT(b, 0);
        total += b;
    }
    EXPECT_EQ(total, 10000);
}

TEST_F(HostRun, TimelineRowsAreReadRightAfterEachPublish) {
    std::string a = wav("a.wav", 1, 48000, 48000 + 100);
    std::string csv = dir.file("t.csv");
    // A block larger than the 2400-frame publish period: blocks must be cut at every publish.
    ASSERT_EQ(run({"measure", "--block", "4096", "--timeline", csv, a}), kExitOk) << err;
    std::istringstream lines(test::readFile(csv));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line.rfind("time_s,", 0), 0u);
    EXPECT_NE(line.find("OUT:EBU IL"), std::string::npos);
    int rows = 0;
    while (std::getline(lines, line)) {
        ++rows;
        double t = 0.0, publishedAtFrame = 0.0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf,%*[^,],%*[^,],%*[^,],%*[^,],%*[^,],%*[^,],%lf", &t,
                              &publishedAtFrame),
                  2)
            << line;
        EXPECT_DOUBLE_EQ(t, rows * 0.05);
        EXPECT_EQ(publishedAtFrame, rows * 2400.0) << "row " << rows << " shows a stale publish";
    }
    EXPECT_EQ(rows, 20);
}

TEST_F(HostRun, AFailedFileIsReportedAndTheOthersAreStillMeasured) {
    std::string a = wav("a.wav", 2, 48000, 4800);
    std::string c = wav("c.wav", 1, 48000, 4800);
    std::string missing = dir.file("b.wav");
    ASSERT_EQ(run({"measure", "--json", a, missing, c}), kExitSomeFailed);
    auto j = nlohmann::json::parse(out);
    ASSERT_EQ(j.size(), 3u);
    EXPECT_EQ(j[0]["file"], a);
    EXPECT_EQ(j[1]["file"], missing);
    EXPECT_EQ(j[2]["file"], c);
    EXPECT_TRUE(j[0]["ok"].get<bool>());
    EXPECT_FALSE(j[1]["ok"].get<bool>());
    EXPECT_TRUE(j[2]["ok"].get<bool>());
    EXPECT_TRUE(j[0]["error"].is_null());
    EXPECT_TRUE(j[1]["measurements"].is_null());
    EXPECT_EQ(j[2]["channels"], 1);
    // One line on standard error, naming the file and the reason.
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find(missing + ": "), std::string::npos) << err;
    EXPECT_NE(err.find("No such file"), std::string::npos) << err;
}

TEST_F(HostRun, TableShowsEachFileAndItsError) {
    std::string a = wav("a.wav", 2, 48000, 4800);
    std::string bad = dir.file("bad.wav");
    test::writeBytes(bad, "RIFF....WAVEjunkjunkjunk");
    ASSERT_EQ(run({"measure", bad, a}), kExitSomeFailed);
    EXPECT_LT(out.find(bad), out.find(a)) << "argument order";
    EXPECT_NE(out.find("error: not a readable audio file"), std::string::npos) << out;
}

TEST_F(HostRun, SavedStateIsWrittenAndCanBeAppliedAgain) {
    std::string a = wav("a.wav", 2, 48000, 4800);
    std::string state = dir.file("state.bin");
    ASSERT_EQ(run({"measure", "--rms-window", "700", "--save-state", state, a}), kExitOk) << err;
    EXPECT_EQ(test::readFile(state).size(), sizeof(double) * kParamCount);
    ASSERT_EQ(run({"measure", "--json", "--state", state, a}), kExitOk) << err;
    auto j = nlohmann::json::parse(out);
    EXPECT_EQ(j[0]["settings"]["P4"], std::to_string(700.0));

    std::string empty = dir.file("empty.bin");
    test::writeBytes(empty, "");
    EXPECT_EQ(run({"measure", "--state", empty, a}), kExitUsage);
}

TEST_F(HostRun, DemoWritesItsPictureAndTable) {
    ASSERT_EQ(run({"demo", "--snapshot", dir.file("demo.png")}), kExitOk) << err;
    EXPECT_EQ(test::readFile(dir.file("demo.png")), "picture");
    EXPECT_NE(out.find("demo programme"), std::string::npos);
    EXPECT_NE(out.find("(48000 Hz, 2 ch, 60.00 s)"), std::string::npos) << out;
}

TEST_F(HostRun, AnUnwritableTimelineFailsTheFile) {
    std::string a = wav("a.wav", 2, 48000, 4800);
    EXPECT_EQ(run({"measure", "--timeline", dir.file("no/such/dir/t.csv"), a}), kExitSomeFailed);
    EXPECT_NE(err.find("cannot write timeline"), std::string::npos) << err;
}

TEST_F(HostRun, OutputFoldersAreCheckedBeforeAnyFileIsMetered) {
    std::vector<std::string> files;
    for (int i = 0; i < 3; ++i) files.push_back(wav("f" + std::to_string(i) + ".wav", 2, 48000, 4800));
    for (const char* option : {"--plot", "--csv"}) {
        std::vector<std::string> args = {"measure", "-j", "2", option, dir.file("gone/out.png")};
        if (std::string(option) == "--plot") args.push_back("--album");
        args.insert(args.end(), files.begin(), files.end());
        log.created = 0;
        EXPECT_EQ(run(args), kExitSomeFailed) << option;
        EXPECT_EQ(log.created.load(), 0) << option << ": no instance was made, no audio metered";
        EXPECT_EQ(out, "") << option;
        EXPECT_NE(err.find(dir.file("gone/out.png") + ": No such file or directory"), std::string::npos)
            << err;
    }
}

TEST_F(HostRun, ProgressGoesToATerminalOnlyAndQuietSilencesIt) {
    std::string a = wav("a.wav", 2, 48000, 48000);
    ASSERT_EQ(run({"measure", "--json", a}, true), kExitOk);
    EXPECT_NE(err.find("100.0%"), std::string::npos) << err;
    EXPECT_NE(err.find("x real time"), std::string::npos) << err;
    EXPECT_NE(err.find("a.wav"), std::string::npos) << err;
    EXPECT_EQ(err.back(), '\r') << "the bar is cleared before the report";
    EXPECT_TRUE(nlohmann::json::accept(out)) << "standard output stays clean JSON";

    ASSERT_EQ(run({"measure", "--quiet", a}, true), kExitOk);
    EXPECT_TRUE(err.empty()) << err;
    ASSERT_EQ(run({"measure", a}, false), kExitOk);
    EXPECT_TRUE(err.empty()) << err;
}

TEST_F(HostRun, AReportThatCannotBeWrittenIsAFailure) {
    std::string a = wav("a.wav", 2, 48000, 4800);
    const char* argv[] = {"quenlix", "measure", "--json", a.c_str()};
    std::ostringstream unwritable, e;
    unwritable.setstate(std::ios::badbit);
    FactoryMaker make = [this](const std::string&, std::string&) -> std::unique_ptr<SessionFactory> {
        return std::make_unique<test::FakeFactory>(log);
    };
    EXPECT_EQ(runQuenlix(4, argv, unwritable, e, make, false), kExitSomeFailed);
    EXPECT_NE(e.str().find("cannot write the report"), std::string::npos) << e.str();
}

// A programme of `frames` frames that says it has `announced`, whose read fails once `failAt` frames are
// read (-1: never).
class ScriptedSource final : public AudioSource {
  public:
    ScriptedSource(std::int64_t frames, std::int64_t announced, std::int64_t failAt)
        : mFrames(frames), mAnnounced(announced), mFailAt(failAt) {}
    int channels() const override { return 1; }
    int sampleRate() const override { return 48000; }
    std::int64_t frames() const override { return mAnnounced; }
    std::int64_t read(float* interleaved, std::int64_t maxFrames, std::string& error) override {
        if (mFailAt >= 0 && mRead >= mFailAt) {
            error = "read failed";
            return -1;
        }
        std::int64_t n = std::min(maxFrames, mFrames - mRead);
        if (mFailAt >= 0) n = std::min(n, mFailAt - mRead);
        std::fill(interleaved, interleaved + n, 0.25f);
        mRead += n;
        return n;
    }

  private:
    std::int64_t mFrames, mAnnounced, mFailAt, mRead = 0;
};

// What a job's start began (the view's window, served by another thread) is ended on every way out once the
// start succeeded, before the session goes: a failure as well as the end of the programme.
TEST(MeterJobEnd, IsReachedOnceOnEveryWayOutAfterAStart) {
    struct Case {
        const char* what;
        std::int64_t frames, announced, failAt;
        bool startOk;
        std::int64_t stopAfter;  // afterBlock ends the run once this many frames are done (-1: never)
        bool ok;
        int ends;
    };
    const Case cases[] = {
        {"the programme's end", 200000, 200000, -1, true, -1, true, 1},
        {"a stop after a block", 200000, 200000, -1, true, 4096, true, 1},
        {"a read failure", 200000, 200000, 70000, true, -1, false, 1},
        {"a programme shorter than announced", 1000, 200000, -1, true, -1, false, 1},
        {"no audio frames", 0, 0, -1, true, -1, false, 1},
        {"a failed start", 200000, 200000, -1, false, -1, false, 0},
    };
    for (const Case& k : cases) {
        test::FakeLog log;
        test::FakeFactory factory(log);
        Options options;
        std::ostringstream sink;
        Progress progress(sink, false, 1);
        int ends = 0;
        MeterJob job;
        job.name = k.what;
        job.open = [&k](std::string&) -> std::unique_ptr<AudioSource> {
            return std::make_unique<ScriptedSource>(k.frames, k.announced, k.failAt);
        };
        job.onStart = [&k](MeteringSession&, std::string& error) {
            if (!k.startOk) error = "no window";
            return k.startOk;
        };
        job.afterBlock = [&k](MeteringSession&, std::int64_t done, int) {
            return k.stopAfter < 0 || done < k.stopAfter;
        };
        job.onEnd = [&ends, &k](MeteringSession& session) {
            ++ends;
            // Still usable: the session is let go only after its job's end.
            EXPECT_EQ(session.version(), "1.3.0") << k.what;
        };
        FileReport report = meterOne(job, 0, factory, options, nullptr, progress);
        EXPECT_EQ(report.ok, k.ok) << k.what << ": " << report.error;
        EXPECT_EQ(ends, k.ends) << k.what;
    }
}

TEST(ProgressLine, ShowsAllFilesTogetherWhenSeveralRun) {
    std::ostringstream sink;
    Progress p(sink, true, 2);
    p.begin(0, "first.wav");
    p.advance(0, 50, 100, 50, 48000);
    p.begin(1, "second.wav");
    // Half of one file, nothing of the other.
    EXPECT_NE(sink.str().find(" 25.0%"), std::string::npos) << sink.str();
    EXPECT_NE(sink.str().find("(0/2) second.wav"), std::string::npos) << sink.str();
    p.advance(1, 100, 400, 100, 48000);
    p.fileDone(0);
    // One whole file and a quarter of the other.
    EXPECT_NE(sink.str().find(" 62.5%"), std::string::npos) << sink.str();
    EXPECT_NE(sink.str().find("(1/2) second.wav"), std::string::npos) << sink.str();
}

}  // namespace
}  // namespace quenlix::cli
