// Whole archives through the built program and the real plug-in module: one run against shards run side
// by side by GNU parallel, runs killed at random moments and resumed, and lists with entries that cannot
// be metered.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <thread>

#include "RunProgram.h"
#include "WavFiles.h"

namespace quenlix::cli {
namespace {

using nlohmann::json;
using test::ScratchDir;

constexpr int kFiles = 200;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The records of JSON-lines files by programme; a programme recorded twice fails the test.
std::map<std::string, json> recordsByFile(const std::vector<std::string>& paths) {
    std::map<std::string, json> byFile;
    for (const std::string& path : paths) {
        std::string text = test::readFile(path);
        EXPECT_TRUE(text.empty() || text.back() == '\n') << path << " ends inside a record";
        for (const std::string& line : lines(text)) {
            json j = json::parse(line, nullptr, false);
            EXPECT_FALSE(j.is_discarded()) << path << ": " << line;
            if (j.is_discarded()) continue;
            const std::string file = j["file"].get<std::string>();
            EXPECT_EQ(byFile.count(file), 0u) << file << " recorded twice";
            byFile[file] = j;
        }
    }
    return byFile;
}

// 200 short programmes (0.5 s of mono 8 kHz, each at its own level), written once for every test here.
class Archive : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        sDir = new ScratchDir;
        std::string list;
        std::filesystem::create_directories(sDir->file("archive/b"));
        for (int i = 0; i < kFiles; ++i) {
            std::string path = sDir->file((i % 2 ? "archive/b/" : "archive/") + std::to_string(i) + ".wav");
            ASSERT_TRUE(test::writeWav(path, 1, 8000, 4000, test::sine(-40.0 + i % 30, 500.0, 8000)));
            list += path + '\n';
        }
        test::writeBytes(sDir->file("list.txt"), list);
        // The uninterrupted run every other run is compared with.
        test::ProgramRun r = test::runQuenlixProgram(
            {"measure", "-q", "--jsonl", sDir->file("whole.jsonl"), "--files-from", sDir->file("list.txt")},
            *sDir);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        sWhole = new std::map<std::string, json>(recordsByFile({sDir->file("whole.jsonl")}));
    }
    static void TearDownTestSuite() {
        delete sWhole;
        delete sDir;
    }
    static std::string file(const std::string& name) { return sDir->file(name); }

    static ScratchDir* sDir;
    static std::map<std::string, json>* sWhole;
};
ScratchDir* Archive::sDir = nullptr;
std::map<std::string, json>* Archive::sWhole = nullptr;

TEST_F(Archive, OneRunRecordsEveryProgrammeOnceAndMeasuresIt) {
    ASSERT_EQ(sWhole->size(), static_cast<std::size_t>(kFiles));
    for (const auto& [path, r] : *sWhole) {
        EXPECT_TRUE(r["ok"].get<bool>()) << r.dump();
        EXPECT_EQ(r["frames"], 4000);
        EXPECT_EQ(r["size_bytes"], std::filesystem::file_size(path));
        EXPECT_TRUE(r["measurements"]["integrated_lufs"].is_number()) << r.dump();
    }
}

TEST_F(Archive, ThreeShardsUnderGnuParallelGiveTheSameRecordsAsOneRun) {
    if (std::system("parallel --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "GNU parallel is not installed";
    std::string cmd = "parallel --halt now,fail=1 -j 3 " + test::shellQuote(QUENLIX_EXE) +
                      " measure -q --files-from " + test::shellQuote(file("list.txt")) +
                      " --shard {}/3 --jsonl " + test::shellQuote(file("shard")) + "{}.jsonl ::: 1 2 3";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    std::vector<std::string> shards = {file("shard1.jsonl"), file("shard2.jsonl"), file("shard3.jsonl")};
    for (const std::string& s : shards) EXPECT_GT(lines(test::readFile(s)).size(), 40u) << s;
    EXPECT_EQ(recordsByFile(shards), *sWhole);

    // Merged by summarize: the same table as from the one run, and counts that say so.
    std::vector<std::string> args = {"summarize", "--csv", file("shards.csv")};
    args.insert(args.end(), shards.begin(), shards.end());
    test::ProgramRun merged = test::runQuenlixProgram(args, *sDir);
    EXPECT_EQ(merged.exitCode, 0) << merged.err;
    EXPECT_NE(merged.out.find("programmes: 200\nmeasured: 200\nfailed: 0\n"), std::string::npos)
        << merged.out;
    test::ProgramRun whole =
        test::runQuenlixProgram({"summarize", "--csv", file("whole.csv"), file("whole.jsonl")}, *sDir);
    EXPECT_EQ(whole.exitCode, 0) << whole.err;
    EXPECT_EQ(lines(test::readFile(file("whole.csv"))).size(), static_cast<std::size_t>(kFiles + 1));
    EXPECT_EQ(test::readFile(file("shards.csv")), test::readFile(file("whole.csv")));
}

// Starts the program with `args`, its output and errors thrown away.
pid_t spawnQuenlix(const std::vector<std::string>& args) {
    std::vector<char*> argv{const_cast<char*>(QUENLIX_EXE)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execv(QUENLIX_EXE, argv.data());
        _exit(127);
    }
    return pid;
}

std::size_t newlines(const std::string& path) {
    std::string text = test::readFile(path);
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST_F(Archive, RunsKilledAtRandomMomentsAndResumedRecordEveryProgrammeExactlyOnce) {
    std::mt19937 random(std::random_device{}());
    int interrupted = 0;  // kills that landed before the run was through
    for (int trial = 0; trial < 3; ++trial) {
        const std::string records = file("killed" + std::to_string(trial) + ".jsonl");
        const std::vector<std::string> args = {"measure",        "-q",       "-j",   "2", "--files-from",
                                               file("list.txt"), "--resume", records};
        // Killed three times, each once some records more are there (the first time possibly before any).
        for (int kill = 0; kill < 3; ++kill) {
            const std::size_t before = newlines(records);
            const std::size_t wanted = before + std::uniform_int_distribution<std::size_t>(0, 60)(random);
            pid_t pid = spawnQuenlix(args);
            ASSERT_GT(pid, 0);
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            int status = 0;
            bool ended = false;
            while (newlines(records) < wanted && std::chrono::steady_clock::now() < deadline) {
                if (waitpid(pid, &status, WNOHANG) == pid) {
                    ended = true;
                    break;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            if (!ended) {
                ::kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                if (WIFSIGNALED(status) && newlines(records) < static_cast<std::size_t>(kFiles))
                    ++interrupted;
            }
        }
        pid_t pid = spawnQuenlix(args);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "trial " << trial;
        EXPECT_EQ(recordsByFile({records}), *sWhole) << "trial " << trial;
        EXPECT_EQ(newlines(records), static_cast<std::size_t>(kFiles));
    }
    EXPECT_GT(interrupted, 0) << "no kill landed inside a run";
}

TEST_F(Archive, ALastRecordCutShortIsMeteredAgainAndTheRestIsKept) {
    const std::string records = file("cut.jsonl");
    std::string whole = test::readFile(file("whole.jsonl"));
    // Everything up to the middle of the 150th record, as a crash inside its write leaves the file.
    std::size_t end = 0;
    for (int i = 0; i < 149; ++i) end = whole.find('\n', end) + 1;
    const std::size_t cut = end + (whole.find('\n', end) - end) / 2;
    test::writeBytes(records, whole.substr(0, cut));
    test::ProgramRun r =
        test::runQuenlixProgram({"measure", "--files-from", file("list.txt"), "--resume", records}, *sDir);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("the last record was cut short"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("51 measured, 0 failed, 149 already recorded"), std::string::npos) << r.err;
    EXPECT_EQ(test::readFile(records).substr(0, end), whole.substr(0, end));
    EXPECT_EQ(recordsByFile({records}), *sWhole);

    // Nothing left to do: a second resume meters nothing and leaves the file alone.
    const std::string after = test::readFile(records);
    r = test::runQuenlixProgram({"measure", "--files-from", file("list.txt"), "--resume", records}, *sDir);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("0 measured, 0 failed, 200 already recorded"), std::string::npos) << r.err;
    EXPECT_EQ(test::readFile(records), after);
}

TEST(ArchiveRuns, AChangedFileIsMeteredAgainOnResumeAndSummarizeKeepsTheNewerRecord) {
    ScratchDir dir;
    std::string a = dir.file("a.wav"), b = dir.file("b.wav"), records = dir.file("r.jsonl");
    ASSERT_TRUE(test::writeWav(a, 1, 8000, 4000, test::sine(-30.0, 500.0, 8000)));
    ASSERT_TRUE(test::writeWav(b, 1, 8000, 4000, test::sine(-30.0, 500.0, 8000)));
    ASSERT_EQ(test::runQuenlixProgram({"measure", "--jsonl", records, a, b}, dir).exitCode, 0);
    ASSERT_TRUE(test::writeWav(b, 1, 8000, 8000, test::sine(-20.0, 500.0, 8000)));
    test::ProgramRun r = test::runQuenlixProgram({"measure", "--resume", records, a, b}, dir);
    EXPECT_NE(r.err.find("1 measured, 0 failed, 1 already recorded"), std::string::npos) << r.err;
    std::vector<std::string> written = lines(test::readFile(records));
    ASSERT_EQ(written.size(), 3u);
    EXPECT_EQ(json::parse(written[2])["frames"], 8000);

    test::ProgramRun s = test::runQuenlixProgram({"summarize", "--csv", dir.file("s.csv"), records}, dir);
    EXPECT_EQ(s.exitCode, 0) << s.err;
    EXPECT_NE(s.out.find("programmes: 2 (1 records superseded by a later one of the same file)"),
              std::string::npos)
        << s.out;
    EXPECT_NE(test::readFile(dir.file("s.csv")).find(b + ",false,true,,8000,1,false,8000,"),
              std::string::npos);
}

TEST(ArchiveRuns, EveryEntryOfAListThatCannotBeMeteredGetsItsOwnErrorRecord) {
    ScratchDir dir;
    const std::string good = dir.file("good.wav"), text = dir.file("notes.wav"),
                      empty = dir.file("empty.wav");
    const std::string locked = dir.file("locked.wav"), loop = dir.file("loop.wav");
    const std::string missing = dir.file("missing.wav"), under = good + "/inside.wav";
    ASSERT_TRUE(test::writeWav(good, 2, 8000, 4000, test::sine(-30.0, 500.0, 8000)));
    test::writeBytes(text, "not audio at all\n");
    test::writeBytes(empty, "");
    ASSERT_TRUE(test::writeWav(locked, 1, 8000, 4000, test::sine(-30.0, 500.0, 8000)));
    chmod(locked.c_str(), 0);
    ASSERT_EQ(symlink(loop.c_str(), loop.c_str()), 0);
    std::filesystem::create_directories(dir.file("folder/deeper"));
    const std::string inFolder = dir.file("folder/deeper/x.flac");
    ASSERT_TRUE(test::writeWav(inFolder, 1, 8000, 4000, test::sine(-30.0, 500.0, 8000),
                               SF_FORMAT_FLAC | SF_FORMAT_PCM_16));
    test::writeBytes(dir.file("folder/readme.txt"), "skipped: not an audio file's name\n");

    test::writeBytes(dir.file("list"), missing + "\n" + text + "\n\n" + good + "\n" + empty + "\n" + locked +
                                           "\n" + loop + "\n" + under + "\n" + dir.file("folder") + "\n");
    test::ProgramRun r = test::runQuenlixProgram(
        {"measure", "-j", "2", "--files-from", dir.file("list"), "--jsonl", "-"}, dir);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    std::map<std::string, json> byFile;
    for (const std::string& line : lines(r.out)) {
        json j = json::parse(line);
        byFile[j["file"].get<std::string>()] = j;
    }
    const bool root = geteuid() == 0;  // reads a file whatever its permissions
    const std::vector<std::pair<std::string, std::string>> expected = {
        {missing, "No such file or directory"},
        {text, "not a readable audio file"},
        {empty, "empty file"},
        {locked, root ? "" : "Permission denied"},
        {loop, "Too many levels of symbolic links"},
        {under, "Not a directory"},
        {good, ""},
        {inFolder, ""}};
    EXPECT_EQ(byFile.size(), expected.size()) << r.out;
    for (const auto& [path, reason] : expected) {
        ASSERT_EQ(byFile.count(path), 1u) << path << "\n" << r.out;
        const json& rec = byFile[path];
        EXPECT_EQ(rec["ok"].get<bool>(), reason.empty()) << rec.dump();
        if (!reason.empty()) {
            EXPECT_NE(rec["error"].get<std::string>().find(reason), std::string::npos) << rec.dump();
            EXPECT_NE(r.err.find(path + ": "), std::string::npos) << r.err;
        }
    }
    EXPECT_EQ(byFile[good]["channels"], 2);
    EXPECT_TRUE(byFile[missing]["size_bytes"].is_null());

    // Resumed, the entries whose files did not change are all recorded already, failures too.
    test::writeBytes(dir.file("r.jsonl"), r.out);
    test::ProgramRun again = test::runQuenlixProgram(
        {"measure", "--files-from", dir.file("list"), "--resume", dir.file("r.jsonl")}, dir);
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_NE(again.err.find("0 measured, 0 failed, 8 already recorded"), std::string::npos) << again.err;
}

TEST(ArchiveSummarize, RefusesLinesThatAreNoRecordsWithTheirLineNumbers) {
    ScratchDir dir;
    const std::string good = R"({"file":"a.wav","ok":false,"error":"empty file"})";
    test::writeBytes(dir.file("r.jsonl"),
                     good + "\n{\"file\": 3}\nnot json\n" + good + "\n{\"file\":\"b.wav\",\"ok\":tr");
    test::ProgramRun s = test::runQuenlixProgram({"summarize", dir.file("r.jsonl")}, dir);
    EXPECT_EQ(s.exitCode, 1);
    EXPECT_NE(s.err.find("r.jsonl:2: refused: not a result"), std::string::npos) << s.err;
    EXPECT_NE(s.err.find("r.jsonl:3: refused: not JSON"), std::string::npos) << s.err;
    EXPECT_NE(s.err.find("r.jsonl:5: refused: cut short"), std::string::npos) << s.err;
    EXPECT_NE(s.out.find("records: 2 in 1 file, 3 lines refused\nprogrammes: 1"), std::string::npos) << s.out;
    EXPECT_NE(s.out.find("failed: 1\n  a.wav: empty file\n"), std::string::npos) << s.out;
}

}  // namespace
}  // namespace quenlix::cli
