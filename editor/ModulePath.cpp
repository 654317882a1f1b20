#include "editor/ModulePath.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <vector>

namespace modulepath {

namespace {

bool IsFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string ExecutablePath() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n <= 0) return std::string();
    buf[n] = '\0';
    return std::string(buf);
}

std::string ModuleFilePath() {
    Dl_info info;
    link_map* object = nullptr;
    // This function's own address lies in the object that holds the editor: the helper is part of
    // the editor's library, which each module or program links in whole.
    if (dladdr1(reinterpret_cast<const void*>(&ModuleFilePath), &info, reinterpret_cast<void**>(&object),
                RTLD_DL_LINKMAP) == 0)
        return std::string();
    // The program itself is listed without a file name.
    if (!object || !object->l_name || !object->l_name[0]) return ExecutablePath();
    std::string path = object->l_name;
    if (path[0] != '/') {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd)) return std::string();
        path = (std::filesystem::path(cwd) / path).lexically_normal().string();
    }
    return path;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool FindResource(const std::string& fileName, const std::string& onlyFolder, const char* sourceFolder,
                  std::string* path) {
    std::vector<std::string> folders;
    const auto add = [&folders](const std::string& folder) {
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
    };
    if (!onlyFolder.empty()) {
        add(onlyFolder);
    } else {
        // The module's own bundle first, so that a plug-in moved elsewhere still finds its images and
        // never picks up another copy's.
        const std::string object = ModuleFilePath();
        if (!object.empty()) add(DirectoryOf(object) + "/resources/img");
        const std::string exe = ExecutablePath();
        if (!exe.empty()) {
            std::string dir = DirectoryOf(exe);
            for (int up = 0; up < 3; ++up) {
                add(dir + "/resources/img");
                dir = DirectoryOf(dir);
            }
        }
        // Last, so that it only fills in what no installed copy beside the code provides.
        if (sourceFolder && sourceFolder[0]) add(sourceFolder);
    }
    for (const std::string& folder : folders) {
        const std::string candidate = folder + "/" + fileName;
        if (IsFile(candidate)) {
            *path = candidate;
            return true;
        }
    }
    return false;
}

}  // namespace modulepath
