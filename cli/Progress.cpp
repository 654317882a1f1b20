#include "cli/Progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace quenlix::cli {
namespace {

std::string shortName(const std::string& name) {
    return name.size() > 40 ? "..." + name.substr(name.size() - 37) : name;
}

}  // namespace

bool stderrIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

Progress::Progress(std::ostream& err, bool enabled, int fileCount)
    : mErr(err),
      mEnabled(enabled),
      mFileCount(fileCount),
      mFractions(static_cast<std::size_t>(std::max(fileCount, 0))),
      mStart(std::chrono::steady_clock::now()),
      mLastDraw(mStart) {}

std::string Progress::line(const std::string& name, double percent, double speed, int filesDone,
                           int fileCount) {
    constexpr int kBarWidth = 24;
    int filled = static_cast<int>(percent / 100.0 * kBarWidth + 0.5);
    if (filled < 0) filled = 0;
    if (filled > kBarWidth) filled = kBarWidth;
    char buf[256];
    std::snprintf(buf, sizeof buf, "[%.*s%.*s] %5.1f%%  %6.1fx real time  ", filled,
                  "########################", kBarWidth - filled, "                        ", percent, speed);
    std::string out = buf;
    if (fileCount > 1) out += "(" + std::to_string(filesDone) + "/" + std::to_string(fileCount) + ") ";
    return out + shortName(name);
}

std::string Progress::streamLine(const std::string& name, double audioS, double elapsedS, double speed,
                                 int filesDone, int fileCount) {
    auto clock = [](double seconds) {
        long t = static_cast<long>(seconds);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", t / 3600, t / 60 % 60, t % 60);
        return std::string(buf);
    };
    char buf[256];
    std::snprintf(buf, sizeof buf, "[%s of audio in %s]  %6.1fx real time  ", clock(audioS).c_str(),
                  clock(elapsedS).c_str(), speed);
    std::string out = buf;
    if (fileCount > 1) out += "(" + std::to_string(filesDone) + "/" + std::to_string(fileCount) + ") ";
    return out + shortName(name);
}

void Progress::begin(int job, const std::string& name) {
    if (!mEnabled) return;
    std::lock_guard<std::mutex> lock(mMutex);
    mName = name;
    (void)job;
    draw(true);
}

void Progress::advance(int job, std::int64_t framesDone, std::int64_t frames, std::int64_t newFrames,
                       int sampleRate) {
    if (!mEnabled) return;
    std::lock_guard<std::mutex> lock(mMutex);
    if (job >= 0 && job < static_cast<int>(mFractions.size()) && frames > 0)
        mFractions[job] = std::min(1.0, static_cast<double>(framesDone) / static_cast<double>(frames));
    const bool switched = mStreaming != (frames < 0);
    mStreaming = frames < 0;
    if (mStreaming && sampleRate > 0) mStreamSeconds = static_cast<double>(framesDone) / sampleRate;
    if (sampleRate > 0) mAudioSeconds += static_cast<double>(newFrames) / sampleRate;
    draw(switched);
}

void Progress::fileDone(int job) {
    if (!mEnabled) return;
    std::lock_guard<std::mutex> lock(mMutex);
    if (job >= 0 && job < static_cast<int>(mFractions.size())) mFractions[job] = 1.0;
    ++mFilesDone;
    mStreaming = false;
    draw(true);
}

void Progress::finish() {
    if (!mEnabled) return;
    std::lock_guard<std::mutex> lock(mMutex);
    if (mDrawn) mErr << '\r' << std::string(mLastWidth, ' ') << '\r' << std::flush;
    mDrawn = false;
}

void Progress::draw(bool force) {
    auto now = std::chrono::steady_clock::now();
    if (!force && mDrawn && now - mLastDraw < std::chrono::milliseconds(100)) return;
    mLastDraw = now;
    double wall = std::chrono::duration<double>(now - mStart).count();
    double speed = wall > 0.0 ? mAudioSeconds / wall : 0.0;
    double done = 0.0;
    for (double f : mFractions) done += f;
    double percent = mFractions.empty() ? 100.0 : 100.0 * done / static_cast<double>(mFractions.size());
    std::string text = mStreaming ? streamLine(mName, mStreamSeconds, wall, speed, mFilesDone, mFileCount)
                                  : line(mName, percent, speed, mFilesDone, mFileCount);
    std::size_t width = text.size();
    if (width < mLastWidth) text += std::string(mLastWidth - width, ' ');
    mErr << '\r' << text << std::flush;
    mLastWidth = width;
    mDrawn = true;
}

}  // namespace quenlix::cli
