#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "FakeSession.h"
#include "WavFiles.h"
#include "cli/App.h"

namespace quenlix::cli {
namespace {

std::string runJson(const std::vector<std::string>& args, test::FakeLog& log, int& code) {
    std::vector<const char*> argv{"quenlix"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::ostringstream o, e;
    FactoryMaker make = [&log](const std::string&, std::string&) -> std::unique_ptr<SessionFactory> {
        return std::make_unique<test::FakeFactory>(log);
    };
    code = runQuenlix(static_cast<int>(argv.size()), argv.data(), o, e, make, false);
    return o.str();
}

TEST(ParallelFiles, KeepArgumentOrderAndGiveTheSameResultsAsOneAtATime) {
    test::ScratchDir dir;
    std::vector<std::string> args = {"measure", "--json"};
    // Longest first, so later files finish before earlier ones when run in parallel.
    for (int i = 0; i < 6; ++i) {
        std::string path = dir.file("f" + std::to_string(i) + ".wav");
        ASSERT_TRUE(test::writeWav(path, 1 + i % 2, 48000, 48000 * (6 - i) / 2,
                                   test::sine(-30.0 + 3 * i, 440.0, 48000)));
        args.push_back(path);
    }
    args.push_back(dir.file("missing.wav"));
    test::FakeLog seqLog, parLog;
    int seqCode = 0, parCode = 0;
    std::string sequential = runJson(args, seqLog, seqCode);
    args.insert(args.begin() + 1, {"-j", "3"});
    std::string parallel = runJson(args, parLog, parCode);
    EXPECT_EQ(seqCode, 1);
    EXPECT_EQ(parCode, 1);
    EXPECT_EQ(parLog.created.load(), 6) << "one instance per file";
    EXPECT_EQ(nlohmann::json::parse(sequential), nlohmann::json::parse(parallel));
}

}  // namespace
}  // namespace quenlix::cli
