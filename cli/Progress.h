// The progress bar on standard error: the file being metered, its percentage and the speed as a multiple of
// real time; for a stream of unknown length (frames < 0), the audio metered so far and the time taken instead
// of a bar. Drawn only when enabled (standard error is a terminal and --quiet was not given). Safe to call
// from every worker thread; redraws at most ten times a second while audio runs, and at once when a file
// starts or ends.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

namespace quenlix::cli {

class Progress {
  public:
    Progress(std::ostream& err, bool enabled, int fileCount);

    // `job` is the programme's position in the argument list (0 .. fileCount - 1).
    void begin(int job, const std::string& name);
    void advance(int job, std::int64_t framesDone, std::int64_t frames, std::int64_t newFrames,
                 int sampleRate);
    void fileDone(int job);
    // Clears the bar so the report starts on a clean line.
    void finish();

    // The line as drawn (without the carriage return). With several files the percentage is of all of them.
    static std::string line(const std::string& name, double percent, double speed, int filesDone,
                            int fileCount);
    // The line for a stream: `audioS` seconds of audio metered in `elapsedS` seconds.
    static std::string streamLine(const std::string& name, double audioS, double elapsedS, double speed,
                                  int filesDone, int fileCount);

  private:
    void draw(bool force);

    std::ostream& mErr;
    bool mEnabled;
    int mFileCount;
    int mFilesDone = 0;
    std::mutex mMutex;
    std::string mName;               // the file started last
    std::vector<double> mFractions;  // per job, 0 .. 1
    double mAudioSeconds = 0.0;
    double mStreamSeconds = 0.0;  // audio read from the stream being metered, when its length is unknown
    bool mStreaming = false;      // the programme advanced last is a stream of unknown length
    std::chrono::steady_clock::time_point mStart;
    std::chrono::steady_clock::time_point mLastDraw;
    std::size_t mLastWidth = 0;
    bool mDrawn = false;
};

// Whether standard error is a terminal.
bool stderrIsTerminal();

}  // namespace quenlix::cli
