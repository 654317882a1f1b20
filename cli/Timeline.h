// The --timeline CSV: a header row, then one row per output publish (every 50 ms of audio) with the time in
// seconds and the thirteen output parameters as the host read them.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace quenlix::cli {

class TimelineWriter {
  public:
    TimelineWriter() = default;
    ~TimelineWriter();
    TimelineWriter(const TimelineWriter&) = delete;
    TimelineWriter& operator=(const TimelineWriter&) = delete;

    // Creates the file and writes the header ("time_s" and the given column names).
    bool open(const std::string& path, const std::vector<std::string>& columns, std::string& error);
    void row(double timeS, const std::vector<double>& values);
    // Flushes and closes; reports a failed write (a full disk) as an error with the system's reason.
    bool close(std::string& error);

  private:
    std::FILE* mFile = nullptr;
    std::string mPath;
    int mErrno = 0;  // of the first failed write
};

// A CSV field: quoted when it holds a comma, quote or line break.
std::string csvField(const std::string& text);

}  // namespace quenlix::cli
