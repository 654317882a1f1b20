// What the command line reads and writes besides ordinary files, through the built program and the real
// plug-in module: pipes, named pipes and /dev/stdin metered as streams with the file's results; output
// files checked before metering; and an output that fails after metering (a full disk) reported beside the
// kept results.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "RunProgram.h"
#include "WavFiles.h"

namespace quenlix::cli {
namespace {

using nlohmann::json;
using test::ScratchDir;

// Writes `bytes` into the named pipe `path` once a reader has opened it; gives up after `timeout` without
// one (the program never opened the pipe), so a failing run cannot hang the test.
void feedPipe(const std::string& path, const std::string& bytes, std::chrono::seconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    int fd = -1;
    while ((fd = open(path.c_str(), O_WRONLY | O_NONBLOCK)) < 0 && errno == ENXIO &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (fd < 0) return;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    for (std::size_t done = 0; done < bytes.size();) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    close(fd);
}

class OutputsAndStreams : public ::testing::Test {
  protected:
    std::string sine(const std::string& name, double seconds) {
        std::string path = dir.file(name);
        EXPECT_TRUE(test::writeWav(path, 2, 48000, static_cast<std::int64_t>(seconds * 48000),
                                   test::sine(-26.0, 1000.0, 48000), SF_FORMAT_WAV | SF_FORMAT_PCM_16));
        return path;
    }
    test::ProgramRun run(const std::vector<std::string>& args, const std::string& stdinFile = "") {
        return test::runQuenlixProgram(args, dir, "", stdinFile);
    }
    static json parse(const test::ProgramRun& r) {
        json j = json::parse(r.out, nullptr, false);
        EXPECT_FALSE(j.is_discarded()) << r.out << r.err;
        return j.is_array() && !j.empty() ? j[0] : json();
    }
    // What must agree between two runs of the same audio.
    static void expectSameResults(const json& got, const json& want, const std::string& how) {
        ASSERT_TRUE(got.is_object()) << how;
        EXPECT_TRUE(got["ok"].get<bool>()) << how << ": " << got.dump(2);
        for (const char* key :
             {"sample_rate", "channels", "frames", "settings", "outputs", "readouts", "measurements"})
            EXPECT_EQ(got[key], want[key]) << how << ": " << key;
    }

    ScratchDir dir;
};

TEST_F(OutputsAndStreams, PipesNamedPipesAndDevStdinMeterLikeTheFile) {
    std::string f = sine("f.wav", 4.0);
    test::ProgramRun fromFile = run({"measure", "--json", f});
    ASSERT_EQ(fromFile.exitCode, 0) << fromFile.err;
    const json want = parse(fromFile);

    // A named pipe, fed once the program opens it.
    std::string fifo = dir.file("named.pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer(feedPipe, fifo, test::readFile(f), std::chrono::seconds(20));
    test::ProgramRun named = run({"measure", "--json", fifo});
    writer.join();
    EXPECT_EQ(named.exitCode, 0) << named.err;
    expectSameResults(parse(named), want, "named pipe");
    EXPECT_EQ(parse(named)["file"], fifo);

    // /dev/stdin with standard input a pipe.
    test::ProgramRun devStdin = run({"measure", "--json", "/dev/stdin"}, f);
    EXPECT_EQ(devStdin.exitCode, 0) << devStdin.err;
    expectSameResults(parse(devStdin), want, "/dev/stdin");

    // A process substitution, /dev/fd/N, as a shell hands it over.
    std::string out = dir.file("substituted.json");
    std::string command =
        "bash -c " + test::shellQuote(test::shellQuote(QUENLIX_EXE) + " measure --json <(cat " +
                                      test::shellQuote(f) + ") >" + test::shellQuote(out));
    EXPECT_EQ(std::system(command.c_str()), 0);
    test::ProgramRun substituted;
    substituted.out = test::readFile(out);
    expectSameResults(parse(substituted), want, "process substitution");

    // A stream cannot be read a second time for the album.
    ASSERT_EQ(mkfifo(dir.file("album.pipe").c_str(), 0600), 0);
    test::ProgramRun album = run({"measure", "--album", f, dir.file("album.pipe")});
    EXPECT_EQ(album.exitCode, 2);
    EXPECT_NE(album.err.find("--album reads every file a second time"), std::string::npos) << album.err;
}

TEST_F(OutputsAndStreams, AnOutputIntoAMissingFolderFailsBeforeMeteringNamingTheReason) {
    std::string f = sine("f.wav", 1.0);
    std::string csv = dir.file("table.csv");
    struct Case {
        const char* option;
        std::string path;
        const char* says;
    };
    for (const Case& c : std::vector<Case>{
             {"--plot", dir.file("missing/plot.png"), "cannot write plot "},
             {"--csv", dir.file("missing/table.csv"), "cannot write CSV "},
             {"--timeline", dir.file("missing/t.csv"), "cannot write timeline "},
             {"--snapshot", dir.file("missing/editor.png"), "cannot write snapshot "},
             {"--save-state", dir.file("missing/settings.chunk"), "cannot write saved state "},
             {"--timeline", f + "/t.csv", "cannot write timeline "},
         }) {
        // With a good output beside it: that one is not left behind half made either.
        const char* beside = std::string(c.option) == "--csv" ? "--timeline" : "--csv";
        test::ProgramRun r = run({"measure", "-j", "2", c.option, c.path, beside, csv, f});
        EXPECT_EQ(r.exitCode, 1) << c.option;
        EXPECT_EQ(r.out, "") << c.option << ": nothing was metered";
        const std::string reason =
            c.path.rfind(f, 0) == 0 ? ": Not a directory" : ": No such file or directory";
        EXPECT_NE(r.err.find(std::string(c.says) + c.path + reason), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(csv)) << c.option;
    }
    // A folder given as the file is named as one.
    test::ProgramRun folder = run({"measure", "--csv", dir.file(""), f});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_NE(folder.err.find("Is a directory"), std::string::npos) << folder.err;
    // An existing output is checked without being touched.
    test::writeBytes(csv, "kept");
    test::ProgramRun kept = run({"measure", "--csv", csv, "--plot", dir.file("missing/p.png"), f});
    EXPECT_EQ(kept.exitCode, 1);
    EXPECT_EQ(test::readFile(csv), "kept");
}

TEST_F(OutputsAndStreams, AnOutputThatFailsAfterMeteringKeepsTheResults) {
    struct stat st {};
    if (stat("/dev/full", &st) != 0 || !S_ISCHR(st.st_mode)) GTEST_SKIP() << "no /dev/full device here";
    std::string f = sine("f.wav", 4.0);
    test::ProgramRun plain = run({"measure", "--json", f});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    // The plot's name must say its format: a link with that name to the full device.
    std::string fullPng = dir.file("full.png");
    std::filesystem::create_symlink("/dev/full", fullPng);
    struct Case {
        const char* option;
        std::string path;
        const char* says;
    };
    for (const Case& c : std::vector<Case>{
             {"--timeline", "/dev/full", "cannot write timeline /dev/full"},
             {"--save-state", "/dev/full", "cannot write saved state /dev/full"},
             {"--csv", "/dev/full", "cannot write CSV /dev/full"},
             {"--plot", fullPng, "cannot write plot "},
         }) {
        test::ProgramRun r = run({"measure", "--json", c.option, c.path, f});
        EXPECT_EQ(r.exitCode, 1) << c.option;
        EXPECT_NE(r.err.find(std::string(c.says)), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(": No space left on device"), std::string::npos) << r.err;
        json got = parse(r);
        expectSameResults(got, parse(plain), c.option);
        EXPECT_TRUE(got["error"].is_null()) << c.option;
    }
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
}

}  // namespace
}  // namespace quenlix::cli
