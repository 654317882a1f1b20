// The fixture of the `quenlix live` tests: a synchronous JACK dummy server of the test's own at 64-frame
// periods (so the tone arrives whole however loaded the machine),
// named for the test and stopped in every outcome, and the tone client playing into it.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/live/LiveTestSupport.h"
#include "tests/lv2/JackServer.h"

namespace livetest {

// The tone's peak level per channel that a stereo 997 Hz tone needs to read the given loudness: both
// channels weigh 1 and the K-weighting adds about 0.69 dB at 997 Hz, which the -0.691 of the loudness
// formula takes off again, so a stereo sine of peak P dBFS reads P LUFS.
inline double peakForLoudness(double lufs) {
    return lufs;
}

class LiveCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        // Servers started at the same moment by tests run in parallel can trip over JACK's shared
        // registry; a server that did not come up is stopped and another started.
        bool ready = false;
        for (int attempt = 0; attempt < 3 && !ready; ++attempt) {
            mName = "quenlix-live-test-" + std::to_string(getpid()) + "-" + std::to_string(sServers++);
            mServer = std::make_unique<lv2test::JackServer>(mName, 64, true);
            ready = mServer->Ready();
            if (!ready) mServer.reset();
        }
        ASSERT_TRUE(ready) << "the JACK dummy server " << mName << " did not start";
        setenv("JACK_DEFAULT_SERVER", mName.c_str(), 1);
    }
    void TearDown() override {
        if (mTone) {
            // Asked to end, so it leaves the server as a client should.
            mTone->signal(SIGTERM);
            mTone->finish(5.0);
            mTone.reset();
        }
        mServer.reset();
        unsetenv("JACK_DEFAULT_SERVER");
        // The server leaves the semaphores of clients it outlived or lost (jack_sem.<uid>_<server>_<client>).
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ec))
            if (entry.path().filename().string().find("_" + mName + "_") != std::string::npos)
                std::filesystem::remove(entry.path(), ec);
    }

    // Starts the tone client "tone" and waits for its ports.
    void playTone(double peakDbfs, double wobbleHz = 0.0) {
        mTone = std::make_unique<Background>(
            std::vector<std::string>{QUENLIX_TONE_EXE, "tone", std::to_string(peakDbfs),
                                     std::to_string(wobbleHz)},
            std::vector<std::string>{}, true);
        ASSERT_TRUE(mTone->waitForLine("ready", 10000)) << "the tone client did not start";
    }

    static std::vector<std::string> live(const std::vector<std::string>& args) {
        std::vector<std::string> argv{QUENLIX_EXE, "live", "--connect", "tone:out_1", "tone:out_2"};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }

    static inline int sServers = 0;
    std::string mName;
    std::unique_ptr<lv2test::JackServer> mServer;
    std::unique_ptr<Background> mTone;
};

}  // namespace livetest
