// The --jsonl file of a run: one record per programme, each written whole by one write() as soon as the
// programme is done, so that a run killed at any moment leaves every finished record in the file and at
// most the last line cut short; and the reading of such a file when a run is resumed.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "cli/FileReport.h"

namespace quenlix::cli {

// The programmes an earlier run recorded: path -> the file's identity then (none for a missing file).
using RecordedProgrammes = std::unordered_map<std::string, std::optional<FileIdentity>>;

// Reads the records of `path` for --resume. A missing file is an empty record (nothing done yet). A last
// line without its newline was cut short by a crash: it is not counted, and `validBytes` (the length up to
// the last newline) tells where appending must start. False with `error` ("line 7: not JSON") when a whole
// line is not a record: such a file is not this program's, and appending to it would spoil it further.
bool readRecorded(const std::string& path, RecordedProgrammes& recorded, std::int64_t& validBytes,
                  bool& cutShort, std::string& error);

// Whether a programme is already recorded: the same path with the same identity. A stream is never: it
// cannot be told apart from another stream under the same name.
bool alreadyRecorded(const RecordedProgrammes& recorded, const std::string& path,
                     const std::optional<FileIdentity>& identity, bool stream);

class RecordLog {
  public:
    RecordLog() = default;
    ~RecordLog();
    RecordLog(const RecordLog&) = delete;
    RecordLog& operator=(const RecordLog&) = delete;

    // Opens `path` ("-": standard output) for a new run (truncated) or, with `appendAt` >= 0, for a resumed
    // one: the file is cut to `appendAt` bytes (dropping a line cut short) and records follow. Main thread.
    bool open(const std::string& path, std::int64_t appendAt, std::string& error);

    // Writes one line (ending in a newline) in one write() call; safe from every worker thread. False with
    // `error` (the system's reason) when it could not be written whole.
    bool append(const std::string& line, std::string& error);

    // Syncs the file to its storage (not a pipe or a terminal, which have none) and closes it. Main thread,
    // after the last append.
    bool finish(std::string& error);

  private:
    std::mutex mMutex;
    int mFd = -1;
    bool mOwned = false;  // opened here, closed here; standard output is not
    std::string mPath;
};

}  // namespace quenlix::cli
