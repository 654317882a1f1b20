#include "cli/RecordLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "cli/OutputFiles.h"
#include "cli/Report.h"
#include "cli/StreamSource.h"

namespace quenlix::cli {

bool readRecorded(const std::string& path, RecordedProgrammes& recorded, std::int64_t& validBytes,
                  bool& cutShort, std::string& error) {
    validBytes = 0;
    cutShort = false;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 && errno == ENOENT) return true;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = systemReason(errno);
        return false;
    }
    std::string line;
    for (std::int64_t number = 1; std::getline(in, line); ++number) {
        if (in.eof()) {
            // No newline after it: the write of this record was cut short.
            cutShort = true;
            break;
        }
        std::string why;
        std::optional<FileReport> r = reportFromRecord(line, why);
        if (!r || r->album) {
            error = "line " + std::to_string(number) + ": " +
                    (r ? "an album is no programme of an archive" : why);
            return false;
        }
        recorded[r->file] = r->identity;
        validBytes += static_cast<std::int64_t>(line.size()) + 1;
    }
    if (in.bad()) {
        error = systemReason(errno);
        return false;
    }
    return true;
}

bool alreadyRecorded(const RecordedProgrammes& recorded, const std::string& path,
                     const std::optional<FileIdentity>& identity, bool stream) {
    if (stream) return false;
    auto it = recorded.find(path);
    return it != recorded.end() && it->second == identity;
}

RecordLog::~RecordLog() {
    if (mOwned && mFd >= 0) ::close(mFd);
}

bool RecordLog::open(const std::string& path, std::int64_t appendAt, std::string& error) {
    mPath = path;
    if (path == kStdinName) {
        mFd = STDOUT_FILENO;
        return true;
    }
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (appendAt >= 0 ? O_APPEND : O_TRUNC);
    mFd = ::open(path.c_str(), flags, 0666);
    if (mFd < 0) {
        error = systemReason(errno);
        return false;
    }
    mOwned = true;
    struct stat st {};
    if (appendAt >= 0 && fstat(mFd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > appendAt &&
        ftruncate(mFd, appendAt) != 0) {
        error = systemReason(errno);
        return false;
    }
    return true;
}

bool RecordLog::append(const std::string& line, std::string& error) {
    std::lock_guard<std::mutex> lock(mMutex);
    const char* data = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        // One call for the whole line; a regular file takes it whole, a pipe may take it in parts.
        ssize_t n = ::write(mFd, data, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = systemReason(errno);
            return false;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

bool RecordLog::finish(std::string& error) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mFd < 0) return true;
    bool ok = true;
    if (::fsync(mFd) != 0 && errno != EINVAL && errno != EROFS) {
        // EINVAL: a pipe or terminal, which keeps nothing to sync.
        error = systemReason(errno);
        ok = false;
    }
    if (mOwned && ::close(mFd) != 0 && ok) {
        error = systemReason(errno);
        ok = false;
    }
    mFd = -1;
    return ok;
}

}  // namespace quenlix::cli
