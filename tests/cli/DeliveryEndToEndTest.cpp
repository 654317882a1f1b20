// Delivery work through the built program and the real plug-in module: target checks and exit codes, the
// album result, standard input, dual mono, non-finite samples, the CSV table and the plot options.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>

#include "RunProgram.h"
#include "WavFiles.h"

namespace quenlix::cli {
namespace {

using nlohmann::json;
using test::ScratchDir;

// K-weighting at 1 kHz adds 0.691 dB to a stereo sine's level, which the loudness formula's -0.691 takes away
// again: a 1 kHz sine of RMS level L dBFS on both channels reads L + 3.01 LUFS (two channels summed).
double stereoSineRmsFor(double lufs) {
    return lufs - 10.0 * std::log10(2.0);
}

class Delivery : public ::testing::Test {
  protected:
    // A 1 kHz sine at `lufs` (as a stereo programme; a mono file carries the same per-channel level).
    std::string sine(const std::string& name, double lufs, double seconds, int channels = 2) {
        std::string path = dir.file(name);
        EXPECT_TRUE(test::writeWav(path, channels, 48000, static_cast<std::int64_t>(seconds * 48000),
                                   test::sine(stereoSineRmsFor(lufs), 1000.0, 48000),
                                   SF_FORMAT_WAV | SF_FORMAT_FLOAT));
        return path;
    }
    test::ProgramRun run(const std::vector<std::string>& args) { return test::runQuenlixProgram(args, dir); }
    json runJson(std::vector<std::string> args, int expectedExit) {
        args.insert(args.begin() + 1, "--json");
        test::ProgramRun r = run(args);
        EXPECT_EQ(r.exitCode, expectedExit) << r.err;
        json j = json::parse(r.out, nullptr, false);
        EXPECT_FALSE(j.is_discarded()) << r.out << r.err;
        return j;
    }
    // Runs the program with the bytes of `file` arriving through a pipe on its standard input.
    test::ProgramRun runWithStdin(const std::string& file, const std::vector<std::string>& args) {
        return test::runQuenlixProgram(args, dir, "", file);
    }

    ScratchDir dir;
};

TEST_F(Delivery, ExitCodeAndCheckSayWhetherEveryFileMetTheTarget) {
    std::string onTarget = sine("on.wav", -23.0, 4.0);
    std::string loud = sine("loud.wav", -20.0, 4.0);
    std::string missing = dir.file("missing.wav");

    json j = runJson({"measure", "--target", "ebu", onTarget}, 0);
    EXPECT_EQ(j[0]["check"], json::parse(R"({"target": "ebu", "pass": true, "failures": []})"));

    j = runJson({"measure", "--target", "ebu", onTarget, loud}, 3);
    EXPECT_TRUE(j[0]["check"]["pass"].get<bool>());
    EXPECT_FALSE(j[1]["check"]["pass"].get<bool>());
    EXPECT_EQ(j[1]["check"]["failures"], json::array({"integrated -20.0 LUFS is 3.0 LU above -23 +-0.5"}));

    // A file that could not be measured outranks a missed target.
    j = runJson({"measure", "--target", "ebu", loud, missing}, 1);
    EXPECT_TRUE(j[1]["check"].is_null());
    EXPECT_EQ(runJson({"measure", onTarget}, 0)[0]["check"], json(nullptr));

    // The table shows the verdict with its reasons.
    test::ProgramRun table = run({"measure", "--target", "stream-16", loud});
    EXPECT_EQ(table.exitCode, 3);
    EXPECT_NE(table.out.find("check stream-16: FAIL\n    integrated -20.0 LUFS is 4.0 LU below -16 +-1"),
              std::string::npos)
        << table.out;
}

TEST_F(Delivery, TargetOptionsAreCheckedBeforeAnythingIsMetered) {
    std::string f = sine("f.wav", -23.0, 1.0);
    test::ProgramRun list = run({"measure", "--target", "list"});
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_NE(list.out.find("stream-14"), std::string::npos) << list.out;
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    for (const Case& c : std::vector<Case>{
             {{"measure", "--target", "ebu", "--type", "rms", f}, "needs --type ebu"},
             {{"measure", "--target", "loudest", f}, "unknown target"},
             {{"measure", "--plot", dir.file("p.jpg"), f}, ".png or .svg"},
             {{"measure", "--plot", dir.file("p.png"), f, f}, "single FILE"},
             {{"measure", "--plot-size", "100x50", f}, "--plot-size"},
             {{"measure", "--plot-size", "1200*400", f}, "--plot-size"},
             {{"measure", "-", "-"}, "only once"},
             {{"measure", "--album", f, "-"}, "standard input"},
         }) {
        test::ProgramRun r = run(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args[1] << " " << c.args[2];
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    test::ProgramRun help = run({"measure", "--help"});
    EXPECT_NE(help.out.find("3 every programme measured, some missed the --target"), std::string::npos)
        << help.out;
}

TEST_F(Delivery, AlbumIsTheConcatenationMeteredNotTheAverage) {
    std::string quiet = sine("quiet.wav", -26.0, 10.0);
    std::string loud = sine("loud.wav", -20.0, 10.0);
    std::string both = dir.file("both.wav");
    ASSERT_TRUE(test::writeWav(
        both, 2, 48000, 20 * 48000,
        [&](std::int64_t i, int c) {
            double lufs = i < 10 * 48000 ? -26.0 : -20.0;
            return test::sine(stereoSineRmsFor(lufs), 1000.0, 48000)(i < 10 * 48000 ? i : i - 10 * 48000, c);
        },
        SF_FORMAT_WAV | SF_FORMAT_FLOAT));

    json album = runJson({"measure", "--album", "--target", "ebu", quiet, loud}, 3);
    json concatenated = runJson({"measure", both}, 0);
    ASSERT_EQ(album.size(), 3u);
    const json& a = album[2];
    EXPECT_TRUE(a["file"].is_null());
    EXPECT_TRUE(a["album"].get<bool>());
    EXPECT_FALSE(album[0]["album"].get<bool>());
    EXPECT_EQ(a["frames"], 20 * 48000);
    double il = a["measurements"]["integrated_lufs"].get<double>();
    EXPECT_NEAR(il, concatenated[0]["measurements"]["integrated_lufs"].get<double>(), 0.01);
    EXPECT_NEAR(a["measurements"]["loudness_range_lu"].get<double>(),
                concatenated[0]["measurements"]["loudness_range_lu"].get<double>(), 0.01);
    // Equal durations: the mean of the energies (both blocks pass the relative gate), not of the levels
    // (-23).
    EXPECT_NEAR(il, 10.0 * std::log10((std::pow(10.0, -2.6) + std::pow(10.0, -2.0)) / 2.0), 0.05);
    EXPECT_FALSE(a["check"]["pass"].get<bool>());

    // An album of files that cannot go back to back is a failed result of its own.
    std::string other = dir.file("44k.wav");
    ASSERT_TRUE(test::writeWav(other, 2, 44100, 44100, test::sine(-20.0, 1000.0, 44100)));
    test::ProgramRun mixed = run({"measure", "--album", quiet, other});
    EXPECT_EQ(mixed.exitCode, 1);
    EXPECT_NE(mixed.err.find("album (2 files): not metered: the files differ"), std::string::npos)
        << mixed.err;
}

TEST_F(Delivery, StandardInputMetersLikeTheFile) {
    std::string f = sine("f.wav", -23.0, 5.0);
    json fromFile = runJson({"measure", f}, 0);
    test::ProgramRun piped = runWithStdin(f, {"measure", "--json", "-"});
    ASSERT_EQ(piped.exitCode, 0) << piped.err;
    json fromPipe = json::parse(piped.out);
    EXPECT_EQ(fromPipe[0]["file"], "-");
    EXPECT_EQ(fromPipe[0]["frames"], 5 * 48000) << "the length is known once the stream has ended";
    EXPECT_EQ(fromPipe[0]["measurements"], fromFile[0]["measurements"]);
    EXPECT_EQ(fromPipe[0]["outputs"], fromFile[0]["outputs"]);

    std::string junk = dir.file("junk.bin");
    test::writeBytes(junk, std::string(5000, 'x'));
    test::ProgramRun bad = runWithStdin(junk, {"measure", "-", f});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("-: not a readable audio stream"), std::string::npos) << bad.err;
    EXPECT_NE(bad.out.find(f), std::string::npos) << "the file after it is still measured";
}

TEST_F(Delivery, DualMonoReadsThreeDecibelsAboveMono) {
    std::string mono = sine("mono.wav", -23.0, 5.0, 1);
    // Plain mono is one channel of weight 1: its loudness is the per-channel level, 3 dB under the stereo
    // reading the file was written for.
    json plain = runJson({"measure", mono}, 0);
    json dual = runJson({"measure", "--dual-mono", mono}, 0);
    EXPECT_NEAR(plain[0]["measurements"]["integrated_lufs"].get<double>(), -26.0, 0.05);
    EXPECT_NEAR(dual[0]["measurements"]["integrated_lufs"].get<double>(), -23.0, 0.05);
    EXPECT_TRUE(dual[0]["dual_mono"].get<bool>());
    EXPECT_FALSE(plain[0]["dual_mono"].get<bool>());
    EXPECT_EQ(dual[0]["channels"], 2);
}

TEST_F(Delivery, NonFiniteSamplesAreCountedWarnedOnceAndTabled) {
    std::string f = dir.file("nan.wav");
    ASSERT_TRUE(test::writeWav(
        f, 2, 48000, 48000,
        [](std::int64_t i, int c) {
            if (i % 1000 == 0 && c == 0) return std::nan("");
            if (i == 7 && c == 1) return HUGE_VAL;
            return 0.1;
        },
        SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    std::string clean = sine("clean.wav", -23.0, 1.0);
    std::string csv = dir.file("table.csv");
    test::ProgramRun r = run({"measure", "--json", "--csv", csv, f, clean});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    json j = json::parse(r.out);
    EXPECT_EQ(j[0]["non_finite_samples"], 49);
    EXPECT_EQ(j[1]["non_finite_samples"], 0);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find(f + ": warning: 49 non-finite samples"), std::string::npos) << r.err;

    std::istringstream lines(test::readFile(csv));
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(lines, line);) {
        rows.emplace_back();
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');) rows.back().push_back(cell);
    }
    ASSERT_EQ(rows.size(), 3u);
    auto field = [&](std::size_t row, const std::string& name) {
        auto at = std::find(rows[0].begin(), rows[0].end(), name);
        return at == rows[0].end() || static_cast<std::size_t>(at - rows[0].begin()) >= rows[row].size()
                   ? std::string("<none>")
                   : rows[row][static_cast<std::size_t>(at - rows[0].begin())];
    };
    EXPECT_EQ(field(1, "non_finite_samples"), "49");
    EXPECT_EQ(field(2, "non_finite_samples"), "0");
    EXPECT_EQ(field(2, "file"), clean);
    EXPECT_NEAR(std::stod(field(2, "integrated_lufs")), -23.0, 0.05);
}

TEST_F(Delivery, CsvCarriesTheAlbumAndTheVerdicts) {
    std::string a = sine("a.wav", -23.0, 4.0);
    std::string b = sine("b.wav", -16.0, 4.0);
    std::string csv = dir.file("t.csv");
    ASSERT_EQ(run({"measure", "--album", "--target", "ebu", "--csv", csv, a, b}).exitCode, 3);
    std::istringstream lines(test::readFile(csv));
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);) rows.push_back(line);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].rfind("file,album,ok,error,sample_rate,channels,", 0), 0u) << rows[0];
    EXPECT_NE(rows[1].find(",ebu,true,"), std::string::npos) << rows[1];
    EXPECT_NE(rows[2].find(",ebu,false,integrated -16.0 LUFS is 7.0 LU above -23 +-0.5"), std::string::npos)
        << rows[2];
    EXPECT_EQ(rows[3].rfind(",true,true,", 0), 0u) << "the album row: no file, album true, ok" << rows[3];
}

TEST_F(Delivery, PlotIsWrittenForTheFileOrTheAlbumAtTheAskedSize) {
    std::string a = sine("a.wav", -23.0, 4.0);
    std::string b = sine("b.wav", -20.0, 4.0);
    std::string png = dir.file("plot.png"), svg = dir.file("album.svg");
    ASSERT_EQ(run({"measure", "--plot", png, "--plot-size", "640x240", a}).exitCode, 0);
    std::string bytes = test::readFile(png);
    ASSERT_GT(bytes.size(), 24u);
    auto be32 = [&](std::size_t at) {
        return (unsigned(static_cast<unsigned char>(bytes[at])) << 24) |
               (unsigned(static_cast<unsigned char>(bytes[at + 1])) << 16) |
               (unsigned(static_cast<unsigned char>(bytes[at + 2])) << 8) |
               unsigned(static_cast<unsigned char>(bytes[at + 3]));
    };
    EXPECT_EQ(be32(16), 640u);
    EXPECT_EQ(be32(20), 240u);

    ASSERT_EQ(run({"measure", "--album", "--plot", svg, a, b}).exitCode, 0);
    std::string xml = test::readFile(svg);
    EXPECT_NE(xml.find("<svg"), std::string::npos);

    test::ProgramRun unwritable = run({"measure", "--plot", dir.file("none/p.png"), a});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_NE(unwritable.err.find("cannot write plot"), std::string::npos) << unwritable.err;
}

}  // namespace
}  // namespace quenlix::cli
