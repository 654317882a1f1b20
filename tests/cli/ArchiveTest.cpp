// The parts of an archive run that need no plug-in: shards, lists, folder walks, the records read back for
// a resume and the argument checks.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "WavFiles.h"
#include "cli/App.h"
#include "cli/ArchiveInputs.h"
#include "cli/Options.h"
#include "cli/RecordLog.h"
#include "cli/Report.h"

namespace quenlix::cli {
namespace {

using test::ScratchDir;

TEST(Shards, HashIsFnv1a64OfThePathBytes) {
    // Published FNV-1a 64 test vectors: a script in another language can reproduce any shard.
    const std::vector<std::pair<std::string, std::uint64_t>> vectors = {
        {"", 0xcbf29ce484222325ULL}, {"a", 0xaf63dc4c8601ec8cULL}, {"foobar", 0x85944171f73967e8ULL}};
    for (const auto& [text, hash] : vectors) EXPECT_EQ(pathHash(text), hash) << text;
}

TEST(Shards, EveryPathFallsInExactlyOneShardAndNoShardIsLeftEmpty) {
    std::vector<std::string> paths;
    for (int i = 0; i < 2000; ++i)
        paths.push_back("/archive/" + std::to_string(i / 40) + "/take" + std::to_string(i) + ".wav");
    for (int count : {1, 2, 3, 7, 16}) {
        std::vector<int> sizes(count, 0);
        for (const std::string& p : paths) {
            int in = 0;
            for (int k = 1; k <= count; ++k)
                if (inShard(p, k, count)) {
                    ++in;
                    ++sizes[k - 1];
                }
            EXPECT_EQ(in, 1) << p << " in " << count;
        }
        for (int k = 0; k < count; ++k)
            EXPECT_GT(sizes[k], 2000 / count / 2) << "shard " << k + 1 << " of " << count << " is lopsided";
    }
}

TEST(Shards, SpecIsKOfNCountedFromOne) {
    struct Case {
        const char* text;
        bool ok;
        int k, n;
    };
    const Case cases[] = {{"1/1", true, 1, 1},   {"3/3", true, 3, 3},   {"2/8", true, 2, 8},
                          {"0/3", false, 0, 0},  {"4/3", false, 0, 0},  {"1/0", false, 0, 0},
                          {"a/b", false, 0, 0},  {"1/3x", false, 0, 0}, {"-1/3", false, 0, 0},
                          {" 1/3", false, 0, 0}, {"1/+3", false, 0, 0}, {"3", false, 0, 0}};
    for (const Case& c : cases) {
        int k = 0, n = 0;
        std::string error;
        EXPECT_EQ(parseShard(c.text, k, n, error), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(k, c.k);
            EXPECT_EQ(n, c.n);
        } else {
            EXPECT_FALSE(error.empty()) << c.text;
        }
    }
}

TEST(FileLists, LinesOrNulSeparatedEntriesWithoutEmptyOnes) {
    ScratchDir dir;
    struct Case {
        std::string bytes;
        bool nul;
        std::vector<std::string> paths;
    };
    const std::vector<Case> cases = {
        {"a.wav\n\nb c.wav\nlast.wav", false, {"a.wav", "b c.wav", "last.wav"}},
        {"a.wav\n", false, {"a.wav"}},
        {std::string("line\nbreak.wav\0\0x.wav\0", 22), true, {"line\nbreak.wav", "x.wav"}},
        {"", false, {}}};
    for (const Case& c : cases) {
        test::writeBytes(dir.file("list"), c.bytes);
        std::vector<std::string> paths;
        std::string error;
        EXPECT_TRUE(readFileList(dir.file("list"), c.nul, paths, error)) << error;
        EXPECT_EQ(paths, c.paths);
    }
    std::vector<std::string> paths;
    std::string error;
    EXPECT_FALSE(readFileList(dir.file("missing"), false, paths, error));
    EXPECT_EQ(error, "No such file or directory");
}

TEST(FolderWalk, AudioFilesBelowAFolderInByteOrderEachOnce) {
    ScratchDir dir;
    namespace fs = std::filesystem;
    fs::create_directories(dir.file("lib/Z"));
    fs::create_directories(dir.file("lib/a/b"));
    for (const char* name : {"lib/Z/1.FLAC", "lib/a/b/2.wav", "lib/a/3.aif", "lib/a/notes.txt", "lib/a/noext",
                             "lib/10.ogg", "lib/9.mp3", "lib/raw.raw", "other.wav"})
        test::writeBytes(dir.file(name), "x");
    fs::create_directory_symlink(dir.file("lib/a"), dir.file("lib/a/b/back"));  // a loop if followed
    fs::create_symlink(dir.file("other.wav"), dir.file("lib/link.wav"));
    const std::vector<std::string> inputs = {dir.file("first.wav"), dir.file("lib"), dir.file("lib/a/3.aif"),
                                             dir.file("first.wav"), "-"};
    EXPECT_EQ(expandProgrammes(inputs, false).size(), 10u) << "every path as often as it comes";
    std::vector<ProgrammeEntry> got = expandProgrammes(inputs, true);
    std::vector<std::string> paths;
    for (const ProgrammeEntry& e : got) {
        paths.push_back(e.path);
        EXPECT_TRUE(e.problem.empty()) << e.path << ": " << e.problem;
    }
    EXPECT_EQ(paths,
              (std::vector<std::string>{dir.file("first.wav"), dir.file("lib/10.ogg"), dir.file("lib/9.mp3"),
                                        dir.file("lib/Z/1.FLAC"), dir.file("lib/a/3.aif"),
                                        dir.file("lib/a/b/2.wav"), dir.file("lib/link.wav"), "-"}));
}

TEST(FolderWalk, AFolderThatCannotBeListedGetsAnEntryNamingWhy) {
    if (geteuid() == 0) GTEST_SKIP() << "root lists any folder";
    ScratchDir dir;
    std::filesystem::create_directories(dir.file("lib/shut"));
    test::writeBytes(dir.file("lib/ok.wav"), "x");
    chmod(dir.file("lib/shut").c_str(), 0);
    std::vector<ProgrammeEntry> got = expandProgrammes({dir.file("lib")}, true);
    chmod(dir.file("lib/shut").c_str(), 0700);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].path, dir.file("lib/ok.wav"));
    EXPECT_EQ(got[1].path, dir.file("lib/shut"));
    EXPECT_NE(got[1].problem.find("Permission denied"), std::string::npos);
}

FileReport measuredReport(const std::string& file) {
    FileReport r;
    r.file = file;
    r.ok = true;
    r.hasFormat = true;
    r.sampleRate = 48000;
    r.channels = 2;
    r.frames = 96000;
    r.hasResults = true;
    r.nonFiniteSamples = 3;
    r.identity = FileIdentity{1234, 1700000000123456789};
    r.measurements.meterType = 1;
    r.measurements.integratedLufs = -23.04;
    r.measurements.loudnessRangeLu = 4.5;
    r.measurements.truePeakDbtp = -1.5;
    r.measurements.truePeakDbtpPerChannel = {-1.5, -2.5};
    r.check = Verdict{"ebu", false, {"true peak -1.5 dBTP above -1.0"}};
    return r;
}

TEST(Records, ALineReadsBackAsTheReportItWasWrittenFrom) {
    FileReport failed;
    failed.file = "gone.wav";
    failed.error = "No such file or directory";
    FileReport rms = measuredReport("rms.wav");
    rms.measurements = Measurements{};
    rms.measurements.meterType = 0;
    rms.measurements.integratedDbfs = -20.0;
    rms.measurements.crestDb = 3.01;
    rms.check.reset();
    for (const FileReport& r : {measuredReport("a \"quoted\" name.wav"), failed, rms}) {
        const std::string line = recordLine(r);
        ASSERT_EQ(line.back(), '\n');
        EXPECT_EQ(line.find('\n'), line.size() - 1) << "one record, one line";
        std::string error;
        std::optional<FileReport> back = reportFromRecord(line.substr(0, line.size() - 1), error);
        ASSERT_TRUE(back) << error;
        EXPECT_EQ(back->file, r.file);
        EXPECT_EQ(back->ok, r.ok);
        EXPECT_EQ(back->error, r.error);
        EXPECT_EQ(back->identity.has_value(), r.identity.has_value());
        if (r.identity) {
            EXPECT_EQ(*back->identity, *r.identity);
        }
        EXPECT_EQ(back->hasFormat, r.hasFormat);
        EXPECT_EQ(back->frames, r.frames);
        EXPECT_EQ(back->hasResults, r.hasResults);
        EXPECT_EQ(back->nonFiniteSamples, r.nonFiniteSamples);
        EXPECT_EQ(back->measurements.meterType, r.measurements.meterType);
        EXPECT_EQ(back->measurements.integratedLufs, r.measurements.integratedLufs);
        EXPECT_EQ(back->measurements.integratedDbfs, r.measurements.integratedDbfs);
        EXPECT_EQ(back->measurements.crestDb, r.measurements.crestDb);
        EXPECT_EQ(back->measurements.truePeakDbtpPerChannel, r.measurements.truePeakDbtpPerChannel);
        EXPECT_EQ(back->check.has_value(), r.check.has_value());
        if (r.check) {
            EXPECT_EQ(back->check->failures, r.check->failures);
        }
    }
}

TEST(Resume, RecordsOfAnEarlierRunUpToALineCutShort) {
    ScratchDir dir;
    const std::string a = recordLine(measuredReport("a.wav")), b = recordLine(measuredReport("b.wav"));
    struct Case {
        std::string bytes;
        bool ok;
        std::size_t recorded;
        std::int64_t validBytes;
        bool cutShort;
        std::string error;
    };
    const std::vector<Case> cases = {
        {a + b, true, 2, static_cast<std::int64_t>(a.size() + b.size()), false, ""},
        {a + b.substr(0, 40), true, 1, static_cast<std::int64_t>(a.size()), true, ""},
        {a + b.substr(0, b.size() - 1), true, 1, static_cast<std::int64_t>(a.size()), true, ""},
        {"", true, 0, 0, false, ""},
        {a + "garbage\n" + b, false, 0, 0, false, "line 2: not JSON"},
        {a + "{\"ok\": true}\n", false, 0, 0, false, "line 2: not a result"}};
    for (const Case& c : cases) {
        test::writeBytes(dir.file("r.jsonl"), c.bytes);
        RecordedProgrammes recorded;
        std::int64_t validBytes = -1;
        bool cutShort = false;
        std::string error;
        EXPECT_EQ(readRecorded(dir.file("r.jsonl"), recorded, validBytes, cutShort, error), c.ok) << c.bytes;
        if (!c.ok) {
            EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
            continue;
        }
        EXPECT_EQ(recorded.size(), c.recorded);
        EXPECT_EQ(validBytes, c.validBytes);
        EXPECT_EQ(cutShort, c.cutShort);
    }
    RecordedProgrammes none;
    std::int64_t validBytes = -1;
    bool cutShort = true;
    std::string error;
    EXPECT_TRUE(readRecorded(dir.file("never-written.jsonl"), none, validBytes, cutShort, error));
    EXPECT_TRUE(none.empty());
}

TEST(Resume, AppendingStartsWhereTheLastWholeRecordEnded) {
    ScratchDir dir;
    test::writeBytes(dir.file("r.jsonl"), "{\"whole\":1}\n{\"cut");
    RecordLog log;
    std::string error;
    ASSERT_TRUE(log.open(dir.file("r.jsonl"), 12, error)) << error;
    ASSERT_TRUE(log.append("{\"next\":2}\n", error)) << error;
    ASSERT_TRUE(log.finish(error)) << error;
    EXPECT_EQ(test::readFile(dir.file("r.jsonl")), "{\"whole\":1}\n{\"next\":2}\n");
    RecordLog fresh;
    ASSERT_TRUE(fresh.open(dir.file("r.jsonl"), -1, error)) << error;
    ASSERT_TRUE(fresh.finish(error)) << error;
    EXPECT_EQ(test::readFile(dir.file("r.jsonl")), "") << "a new run starts a new file";
}

TEST(ArchiveArguments, CombinationsThatCannotWorkAreUsageErrors) {
    const std::vector<std::vector<std::string>> cases = {
        {"measure", "--jsonl", "r.jsonl", "--json", "a.wav"},
        {"measure", "--jsonl", "r.jsonl", "--csv", "t.csv", "a.wav"},
        {"measure", "--jsonl", "r.jsonl", "--album", "a.wav"},
        {"measure", "--resume", "r.jsonl", "--jsonl", "other.jsonl", "a.wav"},
        {"measure", "--resume", "-", "a.wav"},
        {"measure", "--null", "a.wav"},
        {"measure", "--shard", "0/2", "a.wav"},
        {"measure", "--shard", "1/2", "--album", "a.wav"},
        {"measure", "--files-from", "-", "-"},
        {"summarize"}};
    for (const std::vector<std::string>& args : cases) {
        std::vector<const char*> argv{"quenlix"};
        for (const std::string& a : args) argv.push_back(a.c_str());
        Options options;
        std::ostringstream out, err;
        std::optional<int> code =
            parseArguments(static_cast<int>(argv.size()), argv.data(), options, out, err);
        EXPECT_EQ(code, std::optional<int>(kExitUsage)) << args[1] << " " << args.size();
        EXPECT_FALSE(err.str().empty());
    }
}

TEST(ArchiveArguments, OneFileOutputsRefuseAFolderOrListOfSeveralProgrammes) {
    ScratchDir dir;
    std::filesystem::create_directories(dir.file("lib"));
    test::writeBytes(dir.file("lib/a.wav"), "x");
    test::writeBytes(dir.file("lib/b.wav"), "x");
    test::writeBytes(dir.file("list"), dir.file("lib/a.wav") + "\n" + dir.file("lib/b.wav") + "\n");
    FactoryMaker unreachable = [](const std::string&, std::string& error) -> std::unique_ptr<SessionFactory> {
        error = "the plug-in is not needed to refuse this";
        return nullptr;
    };
    const std::vector<std::vector<std::string>> cases = {
        {"measure", "--timeline", dir.file("t.csv"), dir.file("lib")},
        {"measure", "--plot", dir.file("p.png"), "--files-from", dir.file("list")},
        {"measure", "--save-state", dir.file("s.bin"), dir.file("lib")},
        {"measure", dir.file("empty-list-only"), "--files-from", "/dev/null"}};
    std::filesystem::create_directories(dir.file("empty-list-only"));
    for (const std::vector<std::string>& args : cases) {
        std::vector<const char*> argv{"quenlix"};
        for (const std::string& a : args) argv.push_back(a.c_str());
        std::ostringstream out, err;
        EXPECT_EQ(runQuenlix(static_cast<int>(argv.size()), argv.data(), out, err, unreachable, false),
                  kExitUsage)
            << args[1];
        EXPECT_EQ(err.str().find("not needed"), std::string::npos) << err.str();
    }
}

}  // namespace
}  // namespace quenlix::cli
