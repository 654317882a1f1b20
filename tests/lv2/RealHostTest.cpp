// The bundle in real LV2 hosts: lv2apply (lilv-utils) processes files through every plug-in, and jalv
// runs the stereo plug-in under a JACK dummy server that the test starts and stops itself.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/cli/RunProgram.h"
#include "tests/lv2/JackServer.h"
#include "tests/lv2/Lv2TestHost.h"

namespace {

using quenlix::cli::test::ScratchDir;
using quenlix::cli::test::shellQuote;

std::string BundleParent() {
    std::string b = QUENLIX_LV2_BUNDLE;
    return b.substr(0, b.rfind('/'));
}

// Runs a shell command, returning its exit code and standard output.
int Shell(const std::string& cmd, std::string* out = nullptr) {
    std::FILE* pipe = popen(cmd.c_str(), "r");
    if (!pipe) return -1;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;)
        if (out) out->append(buf, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<float> ReadFloats(const std::string& path, SF_INFO* info) {
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, info);
    if (!f) return {};
    std::vector<float> data(static_cast<size_t>(info->frames * info->channels));
    sf_readf_float(f, data.data(), info->frames);
    sf_close(f);
    return data;
}

}  // namespace

TEST(RealHost, Lv2applyPassesAFileThroughEveryPluginUnchanged) {
    ScratchDir dir;
    for (const lv2test::PluginCase& pc : lv2test::kPlugins) {
        const std::string in = dir.file("in.wav"), out = dir.file("out.wav");
        ASSERT_TRUE(quenlix::cli::test::writeWav(
            in, pc.channels, 48000, 30000,
            [](std::int64_t i, int c) { return 0.5 * std::sin(0.003 * i * (c + 1)); },
            SF_FORMAT_WAV | SF_FORMAT_FLOAT));
        const std::string cmd = "LV2_PATH=" + shellQuote(BundleParent()) + " lv2apply -i " + shellQuote(in) +
                                " -o " + shellQuote(out) + " -c type 1 " + pc.uri + " 2>&1";
        std::string log;
        ASSERT_EQ(Shell(cmd, &log), 0) << pc.uri << ": " << log;
        SF_INFO a{}, b{};
        const std::vector<float> x = ReadFloats(in, &a), y = ReadFloats(out, &b);
        EXPECT_EQ(b.channels, pc.channels) << pc.uri;
        EXPECT_EQ(x, y) << pc.uri;
    }
}

TEST(RealHost, JalvUnderAJackDummyServerPrintsTheControlOutputs) {
    const std::string name = "quenlix-lv2-test-" + std::to_string(getpid());
    lv2test::JackServer jack(name);
    if (!jack.Ready()) GTEST_SKIP() << "the JACK dummy server could not be started on this machine";
    ScratchDir dir;
    // jalv reads commands from its standard input and stops at its end: ask for the outputs once the
    // plug-in has run a while, then close. timeout bounds the whole run.
    const std::string cmd =
        "(sleep 1.5; echo monitors; sleep 0.5) | JACK_DEFAULT_SERVER=" + shellQuote(name) +
        " LV2_PATH=" + shellQuote(BundleParent()) +
        " timeout -s INT 8 jalv -x -n quenlix-jalv -p -c type=1 urn:harbelwick:quenlix:stereo 2>" +
        shellQuote(dir.file("jalv.err"));
    std::string out;
    Shell(cmd, &out);
    // Silent inputs: every level at the floor, range and crest at 0.
    for (const char* line :
         {"out_rms_il = -60.000000", "out_rms_crest = 0.000000", "out_ebu_il = -60.000000",
          "out_ebu_ml = -60.000000", "out_ebu_tp_max = -60.000000", "out_ebu_lra = 0.000000"})
        EXPECT_NE(out.find(line), std::string::npos) << line << " missing from:\n" << out;
    EXPECT_NE(out.find("type = 1.000000"), std::string::npos) << out;
    std::printf("%s\n", out.c_str());
}

TEST(RealHost, JalvListsAndLoadsEachFactoryPreset) {
    const std::string name = "quenlix-lv2-preset-" + std::to_string(getpid());
    lv2test::JackServer jack(name);
    if (!jack.Ready()) GTEST_SKIP() << "the JACK dummy server could not be started on this machine";
    ScratchDir dir;
    const std::string base = "urn:harbelwick:quenlix:5ch:preset:";
    // Each preset with the setting it gives, which is moved away from that value before it loads.
    struct Case {
        const char* preset;
        const char* away;
        const char* line;
    };
    const Case cases[] = {{"default", "type = 1", "type = 0.000000"},
                          {"rms_300_ml", "rms_window = 1234", "rms_window = 300.000000"},
                          {"ebu_r128", "type = 0", "type = 1.000000"}};
    // jalv's console, as a user would use it: list the presets, then per preset change a setting and
    // load the preset, after which jalv prints the controls.
    std::string commands = "sleep 1; echo presets; ";
    for (const Case& c : cases)
        commands += "echo '" + std::string(c.away) + "'; echo 'preset " + base + c.preset + "'; sleep 0.3; ";
    const std::string cmd = "(" + commands + ") | JACK_DEFAULT_SERVER=" + shellQuote(name) +
                            " LV2_PATH=" + shellQuote(BundleParent()) +
                            " timeout -s INT 8 jalv -x -n quenlix-jalv-preset urn:harbelwick:quenlix:5ch 2>" +
                            shellQuote(dir.file("jalv.err"));
    std::string out;
    Shell(cmd, &out);
    for (const char* label : {"(Default)", "(RMS 300 ML)", "(EBU R128)"})
        EXPECT_NE(out.find(label), std::string::npos) << label << " missing from:\n" << out;
    // The blocks of controls jalv printed, each from its "type" line to its "enabled" line: the first
    // when it started, then one per preset loaded.
    std::vector<std::string> blocks;
    for (size_t at = out.find("rms_channel_config = "); at != std::string::npos;
         at = out.find("rms_channel_config = ", at + 1)) {
        const size_t start = out.rfind("type = ", at);
        const size_t end = out.find("enabled = ", at);
        if (start != std::string::npos && end != std::string::npos)
            blocks.push_back(out.substr(start, end - start));
    }
    ASSERT_EQ(blocks.size(), 1 + std::size(cases)) << out;
    for (size_t k = 0; k < std::size(cases); ++k) {
        EXPECT_NE(blocks[k + 1].find(cases[k].line), std::string::npos) << cases[k].preset << ":\n"
                                                                        << blocks[k + 1];
        // The 5-channel plug-in's own layout, which no preset names.
        EXPECT_NE(blocks[k + 1].find("ebu_channel_config = 2.000000"), std::string::npos) << cases[k].preset;
    }
}
