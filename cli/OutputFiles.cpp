#include "cli/OutputFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <utility>
#include <vector>

namespace quenlix::cli {

std::string systemReason(int errnum) {
    return std::strerror(errnum != 0 ? errnum : EIO);
}

std::string outputPathProblem(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return systemReason(EISDIR);
        return access(path.c_str(), W_OK) == 0 ? std::string() : systemReason(errno);
    }
    if (errno != ENOENT) return systemReason(errno);
    // A new file: its folder must be there and take new entries.
    std::string folder = std::filesystem::path(path).parent_path().string();
    if (folder.empty()) folder = ".";
    if (stat(folder.c_str(), &st) != 0) return systemReason(errno);
    if (!S_ISDIR(st.st_mode)) return systemReason(ENOTDIR);
    return access(folder.c_str(), W_OK | X_OK) == 0 ? std::string() : systemReason(errno);
}

bool checkOutputPaths(const Options& options, std::ostream& err) {
    const std::vector<std::pair<const char*, const std::string*>> outputs = {
        {"timeline", &options.timelinePath},
        {"snapshot", &options.snapshotPath},
        {"saved state", &options.saveStatePath},
        {"plot", &options.plotPath},
        {"CSV", &options.csvPath}};
    bool ok = true;
    for (const auto& [what, path] : outputs) {
        if (path->empty()) continue;
        if (std::string problem = outputPathProblem(*path); !problem.empty()) {
            err << "quenlix: cannot write " << what << ' ' << *path << ": " << problem << '\n';
            ok = false;
        }
    }
    return ok;
}

bool closeOutputFile(std::FILE* file, int firstErrno, std::string& reason) {
    int failure = firstErrno;
    errno = 0;
    if (std::fflush(file) != 0 && failure == 0) failure = errno != 0 ? errno : EIO;
    if (std::ferror(file) != 0 && failure == 0) failure = errno != 0 ? errno : EIO;
    errno = 0;
    if (std::fclose(file) != 0 && failure == 0) failure = errno != 0 ? errno : EIO;
    if (failure == 0) return true;
    reason = systemReason(failure);
    return false;
}

}  // namespace quenlix::cli
