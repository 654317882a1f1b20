#include "cli/Timeline.h"

#include <cerrno>
#include <cmath>
#include <cstring>

#include "cli/OutputFiles.h"

namespace quenlix::cli {

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

TimelineWriter::~TimelineWriter() {
    if (mFile != nullptr) std::fclose(mFile);
}

bool TimelineWriter::open(const std::string& path, const std::vector<std::string>& columns,
                          std::string& error) {
    mPath = path;
    mFile = std::fopen(path.c_str(), "w");
    if (mFile == nullptr) {
        error = "cannot write timeline " + path + ": " + std::strerror(errno);
        return false;
    }
    std::fputs("time_s", mFile);
    for (const std::string& c : columns) {
        std::fputc(',', mFile);
        std::fputs(csvField(c).c_str(), mFile);
    }
    std::fputc('\n', mFile);
    return true;
}

void TimelineWriter::row(double timeS, const std::vector<double>& values) {
    // After a failed write the file is lost anyway: the rest is not tried, the first reason is kept.
    if (mFile == nullptr || mErrno != 0) return;
    errno = 0;
    std::fprintf(mFile, "%.6f", timeS);
    for (double v : values) {
        if (std::isfinite(v))
            std::fprintf(mFile, ",%.10g", v);
        else
            std::fputs(",", mFile);
    }
    std::fputc('\n', mFile);
    if (std::ferror(mFile) != 0) mErrno = errno != 0 ? errno : EIO;
}

bool TimelineWriter::close(std::string& error) {
    if (mFile == nullptr) return true;
    std::string reason;
    bool ok = closeOutputFile(mFile, mErrno, reason);
    mFile = nullptr;
    if (!ok) error = "cannot write timeline " + mPath + ": " + reason;
    return ok;
}

}  // namespace quenlix::cli
