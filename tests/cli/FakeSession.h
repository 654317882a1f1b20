// A stand-in plug-in for testing the host side of the command line without the plug-in module: it publishes
// "OUT:EBU IL" as the number of frames seen every 50 ms, as the plug-in's publish cadence does, and records
// what the host did to it.
#pragma once

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <fstream>
#include <mutex>

#include "cli/Meterer.h"
#include "cli/MeteringSession.h"

namespace quenlix::cli::test {

struct FakeLog {
    std::mutex mutex;
    std::vector<int> blockSizes;
    std::atomic<int> created{0};
};

class FakeSession final : public MeteringSession {
  public:
    explicit FakeSession(FakeLog& log) : mLog(log) {}
    std::string version() const override { return "1.3.0"; }
    bool start(int channels, double rate, std::string& error) override {
        if (channels > 6) {
            error = "no effect type";
            return false;
        }
        mChannels = channels;
        mPeriod = publishPeriodFrames(static_cast<int>(rate));
        return true;
    }
    bool restoreState(const std::vector<std::uint8_t>& chunk, std::string& error) override {
        if (chunk.size() != sizeof mValues) {
            error = "bad chunk";
            return false;
        }
        std::memcpy(mValues, chunk.data(), sizeof mValues);
        return true;
    }
    bool saveState(std::vector<std::uint8_t>& chunk, std::string&) override {
        chunk.resize(sizeof mValues);
        std::memcpy(chunk.data(), mValues, sizeof mValues);
        return true;
    }
    bool setParameter(int index, double value, std::string&) override {
        mValues[index] = value;
        return true;
    }
    bool render(const float* const* channels, int frames, std::string&) override {
        {
            std::lock_guard<std::mutex> lock(mLog.mutex);
            mLog.blockSizes.push_back(frames);
        }
        for (int i = 0; i < frames; ++i) {
            for (int c = 0; c < mChannels; ++c) mPeak = std::max(mPeak, std::fabs(double(channels[c][i])));
            if (++mCounter >= mPeriod) {
                mCounter = 0;
                mValues[12] = static_cast<double>(mFrames + i + 1);
                mValues[17] = mPeak;
            }
        }
        mFrames += frames;
        return true;
    }
    ParamReading parameter(int index) const override {
        ParamReading p;
        p.name = index == 12 ? "OUT:EBU IL" : index == 17 ? "OUT:EBU TP Max" : "P" + std::to_string(index);
        p.value = mValues[index];
        p.text = std::to_string(mValues[index]);
        return p;
    }
    Measurements measurements() const override {
        Measurements m;
        m.truePeakDbtp = mPeak;
        m.truePeakDbtpPerChannel.assign(6, mPeak);
        return m;
    }
    Readouts readouts() const override { return {{"IL", "---"}, {"TP Max", "-inf"}}; }
    bool snapshot(const std::string& path, std::string& error) override {
        std::ofstream out(path);
        out << "picture";
        if (!out) error = "cannot write " + path;
        return static_cast<bool>(out);
    }

  private:
    FakeLog& mLog;
    int mChannels = 0;
    int mPeriod = 1;
    int mCounter = 0;
    std::int64_t mFrames = 0;
    double mPeak = 0.0;
    double mValues[kParamCount] = {};
};

class FakeFactory final : public SessionFactory {
  public:
    explicit FakeFactory(FakeLog& log) : mLog(log) {}
    std::unique_ptr<MeteringSession> create(std::string&) override {
        ++mLog.created;
        return std::make_unique<FakeSession>(mLog);
    }

  private:
    FakeLog& mLog;
};

}  // namespace quenlix::cli::test
