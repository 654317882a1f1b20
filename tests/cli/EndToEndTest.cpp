// The built program metering generated files through the real plug-in module, found beside the program.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "RunProgram.h"
#include "WavFiles.h"
#include "plugin/QuenlixParams.h"

namespace quenlix::cli {
namespace {

using nlohmann::json;
using test::ScratchDir;

// A sine whose peak amplitude is `peakDbfs` on every channel.
std::function<double(std::int64_t, int)> peakSine(double peakDbfs, double frequency, int rate) {
    double amp = std::pow(10.0, peakDbfs / 20.0);
    return [=](std::int64_t i, int) { return amp * std::sin(2.0 * M_PI * frequency * double(i) / rate); };
}

class EndToEnd : public ::testing::Test {
  protected:
    std::string wav(const std::string& name, int channels, int rate, double seconds,
                    double peakDbfs = -23.0) {
        std::string path = dir.file(name);
        EXPECT_TRUE(test::writeWav(path, channels, rate, static_cast<std::int64_t>(seconds * rate),
                                   peakSine(peakDbfs, 1000.0, rate), SF_FORMAT_WAV | SF_FORMAT_FLOAT));
        return path;
    }
    test::ProgramRun run(const std::vector<std::string>& args) {
        test::ProgramRun r = test::runQuenlixProgram(args, dir);
        return r;
    }
    json runJson(std::vector<std::string> args, int expectedExit = 0) {
        args.insert(args.begin() + 1, "--json");
        test::ProgramRun r = run(args);
        EXPECT_EQ(r.exitCode, expectedExit) << r.err;
        try {
            return json::parse(r.out);
        } catch (const std::exception& e) {
            ADD_FAILURE() << "not JSON: " << e.what() << "\n" << r.out << r.err;
            return json::array();
        }
    }

    ScratchDir dir;
};

TEST_F(EndToEnd, StereoSineAtMinus23ReadsMinus23Lufs) {
    std::string f = wav("sine.wav", 2, 48000, 20.0);
    json j = runJson({"measure", f});
    ASSERT_EQ(j.size(), 1u);
    const json& r = j[0];
    ASSERT_TRUE(r["ok"].get<bool>()) << r.dump(2);
    EXPECT_EQ(r["outputs"]["OUT:EBU IL"].get<double>(), -23.0);
    EXPECT_NEAR(r["measurements"]["integrated_lufs"].get<double>(), -23.0, 0.05);
    EXPECT_NEAR(r["measurements"]["momentary_lufs"].get<double>(), -23.0, 0.05);
    EXPECT_NEAR(r["measurements"]["short_term_max_lufs"].get<double>(), -23.0, 0.05);
    EXPECT_NEAR(r["measurements"]["loudness_range_lu"].get<double>(), 0.0, 0.1);
    EXPECT_NEAR(r["measurements"]["true_peak_dbtp"].get<double>(), -23.0, 0.1);
    EXPECT_EQ(r["readouts"]["IL"], "-23.0");
    EXPECT_EQ(r["readouts"]["LRA"], "0.0");
    // The unrounded value is not the rounded output in disguise.
    EXPECT_NE(r["measurements"]["integrated_lufs"].get<double>(), -23.0);
}

TEST_F(EndToEnd, JsonCarriesTheWholeShape) {
    std::string f = wav("sine.wav", 2, 44100, 2.0);
    json r = runJson({"measure", f})[0];
    EXPECT_EQ(r["file"], f);
    EXPECT_EQ(r["version"], "1.3.0");
    EXPECT_TRUE(r["error"].is_null());
    EXPECT_EQ(r["sample_rate"], 44100);
    EXPECT_EQ(r["channels"], 2);
    EXPECT_EQ(r["frames"], 2 * 44100);
    EXPECT_EQ(r["settings"],
              json::parse(R"j({"Type": "EBU R128", "Sync": "off", "RMS Channel Config": "Stereo",
        "RMS Meter Mode": "RMS (dBFS)", "RMS Window": "300 ms", "EBU Channel Config": "2.0 Stereo"})j"));
    ASSERT_EQ(r["outputs"].size(), 13u);
    for (auto& [name, value] : r["outputs"].items()) {
        EXPECT_EQ(name.rfind("OUT:", 0), 0u) << name;
        EXPECT_TRUE(value.is_number()) << name;
    }
    std::vector<std::string> keys;
    for (auto& [key, text] : r["readouts"].items()) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"IL", "LRA", "ML", "ML Max", "SL", "SL Max", "TP Max"}));
    EXPECT_EQ(r["measurements"]["true_peak_dbtp_per_channel"].size(), 2u);
    // Two seconds fill the momentary window but not the 3 s short-term one, so no loudness range yet.
    EXPECT_TRUE(r["measurements"]["momentary_lufs"].is_number());
    EXPECT_TRUE(r["measurements"]["short_term_lufs"].is_null());
    EXPECT_TRUE(r["measurements"]["short_term_max_lufs"].is_null());
    EXPECT_TRUE(r["measurements"]["loudness_range_lu"].is_null());
    EXPECT_EQ(r["readouts"]["SL"], "---");
    EXPECT_EQ(r["readouts"]["LRA"], "---");
}

// The names a host prints are the plug-in's own, and each read-out's text is its own output parameter's
// value as the editor rounds it, for either type.
TEST_F(EndToEnd, OutputsSettingsAndReadoutsAreThePluginsOwn) {
    std::string f = dir.file("steps.wav");
    ASSERT_TRUE(test::writeWav(
        f, 2, 48000, 48000 * 5,
        [](std::int64_t i, int c) {
            const double t = double(i) / 48000.0;
            const double level = t >= 1.0 && t < 1.2 ? 0.7 : (t >= 4.0 ? 0.1 : 0.3);
            return (c == 0 ? 1.0 : 0.8) * level * std::sin(2.0 * M_PI * 997.0 * t);
        },
        SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    for (const char* type : {"rms", "ebu"}) {
        SCOPED_TRACE(type);
        json r = runJson({"measure", "--type", type, f})[0];
        std::set<std::string> settings, outputs;
        for (auto& [name, text] : r["settings"].items()) settings.insert(name);
        for (auto& [name, value] : r["outputs"].items()) outputs.insert(name);
        std::set<std::string> tableSettings, tableOutputs;
        for (int idx : quenlix::kSettingParams) tableSettings.insert(quenlix::kParams[idx].def.name);
        for (int idx : quenlix::kReadoutParams) tableOutputs.insert(quenlix::kParams[idx].def.name);
        EXPECT_EQ(settings, tableSettings);
        EXPECT_EQ(outputs, tableOutputs);

        const bool ebu = std::string(type) == "ebu";
        const int* column = ebu ? quenlix::kEbuReadoutParams.data() : quenlix::kRmsReadoutParams.data();
        const int count = ebu ? quenlix::kNumEbuReadouts : quenlix::kNumRmsReadouts;
        ASSERT_EQ(r["readouts"].size(), static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            const quenlix::QuenlixParam& p = quenlix::kParams[column[i]];
            char shown[32];
            std::snprintf(shown, sizeof shown, "%.1f", r["outputs"][p.def.name].get<double>());
            EXPECT_EQ(r["readouts"][p.key].get<std::string>(), std::string(shown)) << p.def.name;
        }
    }
}

TEST_F(EndToEnd, RmsTypeReadsTheSineLevelAndCrest) {
    std::string f = wav("sine.wav", 2, 48000, 3.0, -6.0);
    json r = runJson({"measure", "--type", "rms", "--rms-mode", "rms+3", "--rms-channels", "left", f})[0];
    ASSERT_TRUE(r["ok"].get<bool>()) << r.dump(2);
    EXPECT_EQ(r["settings"]["Type"], "RMS");
    EXPECT_EQ(r["settings"]["RMS Meter Mode"], "RMS +3dB (dBFS)");
    EXPECT_EQ(r["settings"]["RMS Channel Config"], "Left");
    // A sine's RMS is 3.01 dB under its peak; the +3 dB mode lifts the RMS readings by exactly 3.
    EXPECT_EQ(r["outputs"]["OUT:RMS IL"].get<double>(), -6.0);
    EXPECT_EQ(r["outputs"]["OUT:RMS Peak Max"].get<double>(), -6.0);
    const json& m = r["measurements"];
    EXPECT_NEAR(m["integrated_dbfs"].get<double>(), -9.0103 + 3.0, 0.005);
    EXPECT_NEAR(m["sample_peak_dbfs"].get<double>(), -6.0, 0.01);
    EXPECT_NEAR(m["crest_db"].get<double>(), 0.0103, 0.01);
    EXPECT_FALSE(m.contains("integrated_lufs"));
    EXPECT_EQ(r["readouts"]["Crest"], "0.0");
}

TEST_F(EndToEnd, EveryChannelCountAndRateLimitIsMetered) {
    std::vector<std::string> args = {"measure"};
    for (int channels = 1; channels <= 6; ++channels)
        args.push_back(wav("c" + std::to_string(channels) + ".wav", channels, 48000, 0.5));
    args.push_back(wav("low.wav", 2, 8000, 0.5));
    args.push_back(wav("high.wav", 2, 384000, 0.5));
    json j = runJson(args);
    ASSERT_EQ(j.size(), 8u);
    const char* layouts[] = {"2.0 Stereo",   "2.0 Stereo",   "4.0 Surround",
                             "4.0 Surround", "4.1 Surround", "5.1 Surround"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_TRUE(j[i]["ok"].get<bool>()) << j[i].dump();
        EXPECT_EQ(j[i]["settings"]["EBU Channel Config"], layouts[i]) << i + 1 << " channels";
        EXPECT_NEAR(j[i]["measurements"]["true_peak_dbtp"].get<double>(), -23.0, 0.2) << i + 1 << " channels";
    }
    EXPECT_TRUE(j[6]["ok"].get<bool>()) << j[6].dump();
    EXPECT_TRUE(j[7]["ok"].get<bool>()) << j[7].dump();
}

TEST_F(EndToEnd, BadFilesFailAloneWithOneLineEach) {
    std::string good = wav("good.wav", 2, 48000, 1.0);
    std::string seven = dir.file("seven.wav");
    ASSERT_TRUE(test::writeWav(seven, 7, 48000, 4800, [](std::int64_t, int) { return 0.1; }));
    std::string empty = dir.file("empty.wav");
    test::writeBytes(empty, "");
    std::string corrupt = dir.file("corrupt.wav");
    test::writeBytes(corrupt, "RIFF\x24\x00\x00\x00WAVEfmt garbage garbage garbage");
    std::string truncated = dir.file("truncated.wav");
    ASSERT_TRUE(test::writeWav(truncated, 2, 48000, 48000, peakSine(-10.0, 440.0, 48000)));
    std::filesystem::resize_file(truncated, 1000);
    std::string missing = dir.file("missing.wav");

    test::ProgramRun r = run({"measure", seven, good, empty, corrupt, truncated, missing});
    EXPECT_EQ(r.exitCode, 1);
    std::istringstream lines(r.err);
    std::vector<std::string> errLines;
    for (std::string line; std::getline(lines, line);) errLines.push_back(line);
    ASSERT_EQ(errLines.size(), 5u) << r.err;
    EXPECT_NE(errLines[0].find(seven + ": 7 channels"), std::string::npos) << errLines[0];
    EXPECT_NE(errLines[1].find(empty + ": empty file"), std::string::npos) << errLines[1];
    EXPECT_NE(errLines[2].find(corrupt + ": not a readable audio file"), std::string::npos) << errLines[2];
    EXPECT_NE(errLines[3].find(truncated + ": "), std::string::npos) << errLines[3];
    EXPECT_NE(errLines[4].find(missing + ": No such file"), std::string::npos) << errLines[4];
    EXPECT_NE(r.out.find("-23.0"), std::string::npos) << "the good file is still measured:\n" << r.out;
}

TEST_F(EndToEnd, UsageErrorsExitWithTwo) {
    std::string good = wav("good.wav", 2, 48000, 0.2);
    EXPECT_EQ(run({"measure", "--rms-window", "5000", good}).exitCode, 2);
    EXPECT_EQ(run({"measure", "--type", "loud", good}).exitCode, 2);
    EXPECT_EQ(run({"measure"}).exitCode, 2);
    EXPECT_EQ(run({}).exitCode, 2);
    EXPECT_EQ(run({"measure", "--help"}).exitCode, 0);
}

TEST_F(EndToEnd, ThePluginIsTheBundleGivenOrAClearFailure) {
    std::string good = wav("good.wav", 2, 48000, 0.2);
    std::string bundle =
        std::filesystem::path(QUENLIX_EXE).parent_path().string() + "/../host/rtas/Quenlix.rtas";
    EXPECT_EQ(run({"measure", "--plugin", bundle, good}).exitCode, 0);
    EXPECT_EQ(run({"measure", "--plugin", bundle + "/Quenlix.so", good}).exitCode, 0);

    test::ProgramRun r = run({"measure", "--plugin", dir.file("nowhere"), good});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no plug-in module at"), std::string::npos) << r.err;
    r = run({"measure", "--plugin", good, good});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot load plug-in module"), std::string::npos) << r.err;
}

TEST_F(EndToEnd, ParallelFilesMatchSequentialInArgumentOrder) {
    std::vector<std::string> args = {"measure"};
    for (int i = 0; i < 4; ++i)
        args.push_back(wav("f" + std::to_string(i) + ".wav", 2, 48000, 4.0 - i, -30.0 + 4 * i));
    json sequential = runJson(args);
    args.insert(args.begin() + 1, {"-j", "2"});
    json parallel = runJson(args);
    ASSERT_EQ(sequential.size(), 4u);
    EXPECT_EQ(sequential, parallel);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(parallel[i]["file"], args[args.size() - 4 + i]);
}

TEST_F(EndToEnd, SavedStateReappliedReproducesTheSettings) {
    std::string f = wav("sine.wav", 2, 48000, 1.0);
    std::string state = dir.file("settings.chunk");
    json first = runJson({"measure", "--type", "rms", "--rms-channels", "right", "--rms-mode", "rms+3",
                          "--rms-window", "1000", "--ebu-layout", "5.1", "--save-state", state, f});
    ASSERT_TRUE(first[0]["ok"].get<bool>()) << first.dump(2);
    json second = runJson({"measure", "--state", state, f});
    ASSERT_TRUE(second[0]["ok"].get<bool>()) << second.dump(2);
    EXPECT_EQ(second[0]["settings"], first[0]["settings"]);
    EXPECT_EQ(second[0]["settings"]["RMS Window"], "1000 ms");
    EXPECT_EQ(second[0]["settings"]["EBU Channel Config"], "5.1 Surround");
    // An explicit option still wins over the saved state.
    json third = runJson({"measure", "--state", state, "--rms-window", "20", f});
    EXPECT_EQ(third[0]["settings"]["RMS Window"], "20 ms");
    EXPECT_EQ(third[0]["settings"]["Type"], "RMS");

    std::string junk = dir.file("junk.chunk");
    test::writeBytes(junk, "not a settings chunk");
    test::ProgramRun bad = run({"measure", "--state", junk, f});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("saved state"), std::string::npos) << bad.err;
}

TEST_F(EndToEnd, TimelineHasARowPerPublish) {
    std::string f = wav("sine.wav", 2, 48000, 2.0);
    std::string csv = dir.file("timeline.csv");
    test::ProgramRun r = run({"measure", "--block", "1000", "--timeline", csv, f});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::istringstream lines(test::readFile(csv));
    std::string header, line, last;
    std::getline(lines, header);
    EXPECT_EQ(header.rfind("time_s,OUT:RMS IL,OUT:RMS ML,", 0), 0u) << header;
    EXPECT_NE(header.find(",OUT:EBU LRA"), std::string::npos) << header;
    int rows = 0;
    while (std::getline(lines, line)) {
        ++rows;
        last = line;
        EXPECT_EQ(std::count(line.begin(), line.end(), ','), 13) << line;
    }
    EXPECT_EQ(rows, 40);
    EXPECT_EQ(last.rfind("2.000000,", 0), 0u) << last;
    // Column 13 is "OUT:EBU IL": the sine's loudness once the integrator has gated blocks.
    std::vector<std::string> cells;
    std::istringstream cellStream(last);
    for (std::string c; std::getline(cellStream, c, ',');) cells.push_back(c);
    ASSERT_EQ(cells.size(), 14u);
    EXPECT_EQ(cells[7], "-23");
}

bool isPng616x320(const std::string& bytes) {
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return false;
    auto be32 = [&](std::size_t at) {
        return (unsigned(static_cast<unsigned char>(bytes[at])) << 24) |
               (unsigned(static_cast<unsigned char>(bytes[at + 1])) << 16) |
               (unsigned(static_cast<unsigned char>(bytes[at + 2])) << 8) |
               unsigned(static_cast<unsigned char>(bytes[at + 3]));
    };
    return be32(16) == 616 && be32(20) == 320;
}

// Width and height of a PNG file's picture, or 0 x 0.
std::pair<unsigned, unsigned> pngSize(const std::string& bytes) {
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return {0, 0};
    auto be32 = [&](std::size_t at) {
        return (unsigned(static_cast<unsigned char>(bytes[at])) << 24) |
               (unsigned(static_cast<unsigned char>(bytes[at + 1])) << 16) |
               (unsigned(static_cast<unsigned char>(bytes[at + 2])) << 8) |
               unsigned(static_cast<unsigned char>(bytes[at + 3]));
    };
    return {be32(16), be32(20)};
}

TEST_F(EndToEnd, SnapshotIsTheEditorPicture) {
    std::string f = wav("sine.wav", 2, 48000, 1.0);
    std::string png = dir.file("editor.png");
    test::ProgramRun r = run({"measure", "--snapshot", png, f});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(isPng616x320(test::readFile(png)));
}

TEST_F(EndToEnd, SnapshotScaleDrawsThePictureAtThatSize) {
    std::string f = wav("sine.wav", 2, 48000, 1.0);
    const struct {
        const char* scale;
        unsigned w, h;
    } cases[] = {{"1", 616, 320}, {"1.5", 924, 480}, {"2", 1232, 640}};
    std::string one;
    for (const auto& c : cases) {
        std::string png = dir.file(std::string("editor-") + c.scale + ".png");
        test::ProgramRun r = run({"measure", "--snapshot", png, "--snapshot-scale", c.scale, f});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(pngSize(test::readFile(png)), std::make_pair(c.w, c.h)) << c.scale;
        if (c.w == 616) one = test::readFile(png);
    }
    // Scale 1 is the picture without the option, byte for byte.
    std::string plain = dir.file("editor.png");
    ASSERT_EQ(run({"measure", "--snapshot", plain, f}).exitCode, 0);
    EXPECT_TRUE(test::readFile(plain) == one);
}

TEST_F(EndToEnd, DemoPrintsTheTableAndWritesItsPictureHere) {
    std::string here = dir.file("");
    test::ProgramRun r = test::runQuenlixProgram({"demo"}, dir, here);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("demo programme  (48000 Hz, 2 ch, 60.00 s)  Quenlix 1.3.0"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("EBU R128"), std::string::npos) << r.out;
    EXPECT_TRUE(r.err.empty()) << "no progress bar when standard error is not a terminal: " << r.err;
    EXPECT_TRUE(isPng616x320(test::readFile(dir.file("quenlix-demo.png"))));
}

}  // namespace
}  // namespace quenlix::cli
