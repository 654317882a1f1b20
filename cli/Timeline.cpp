#include "cli/Timeline.h"

#include <cerrno>
#include <cmath>
#include <cstring>

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
    if (mFile == nullptr) return;
    std::fprintf(mFile, "%.6f", timeS);
    for (double v : values) {
        if (std::isfinite(v))
            std::fprintf(mFile, ",%.10g", v);
        else
            std::fputs(",", mFile);
    }
    std::fputc('\n', mFile);
}

bool TimelineWriter::close(std::string& error) {
    if (mFile == nullptr) return true;
    bool failed = std::ferror(mFile) != 0;
    failed = (std::fclose(mFile) != 0) || failed;
    mFile = nullptr;
    if (failed) {
        error = "cannot write timeline " + mPath + ": write failed";
        return false;
    }
    return true;
}

}  // namespace quenlix::cli
