#include "tests/realhost/ArdourSession.h"

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quenlix::realhost {
namespace {

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Ardour hides its Dummy backend unless the user's configuration asks for it.
const char* const kArdourConfig =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Ardour>\n"
    "  <Config>\n"
    "    <Option name=\"hide-dummy-backend\" value=\"0\"/>\n"
    "  </Config>\n"
    "</Ardour>\n";

}  // namespace

std::string FindArdourLua() {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        const std::string candidate = dir + "/ardour7-lua";
        if (!dir.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
}

ArdourSession::ArdourSession() {
    char pattern[] = "/tmp/quenlix-ardour-XXXXXX";
    const char* made = mkdtemp(pattern);
    mDir = made ? made : "";
    if (mDir.empty()) return;
    std::filesystem::create_directories(mDir + "/home/.config/ardour7");
    std::ofstream(mDir + "/home/.config/ardour7/config") << kArdourConfig;
}

ArdourSession::~ArdourSession() {
    std::error_code ec;
    if (!mDir.empty()) std::filesystem::remove_all(mDir, ec);
}

ArdourSession::Result ArdourSession::Run(const std::string& prelude, const std::vector<std::string>& scripts,
                                         int timeoutS) {
    Result result;
    if (mDir.empty()) {
        result.errors.push_back("no scratch folder");
        return result;
    }
    std::string program = prelude + "\n" + ReadFile(std::string(QUENLIX_REALHOST_SCRIPTS) + "/session.lua");
    for (const std::string& s : scripts)
        program += "\n" + ReadFile(std::string(QUENLIX_REALHOST_SCRIPTS) + "/" + s);
    const std::string script = mDir + "/script.lua";
    std::ofstream(script) << program;

    std::string bundles = QUENLIX_LV2_BUNDLE;
    bundles = bundles.substr(0, bundles.rfind('/'));
    // lilv needs the system's LV2 vocabulary beside the bundle, or it cannot tell a plug-in's ports apart.
    const std::string home = mDir + "/home";
    const std::string cmd = "cd " + Quote(mDir) + " && HOME=" + Quote(home) +
                            " XDG_CONFIG_HOME=" + Quote(home + "/.config") +
                            " LV2_PATH=" + Quote(bundles + ":/usr/lib/lv2:/usr/local/lib/lv2") +
                            " QUENLIX_SESSION_DIR=" + Quote(mDir + "/session") + " timeout -k 5 " +
                            std::to_string(timeoutS) + " " + Quote(FindArdourLua()) + " script.lua 2>&1";
    std::FILE* pipe = popen(cmd.c_str(), "r");
    if (!pipe) {
        result.errors.push_back("cannot start ardour7-lua");
        return result;
    }
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) result.log.append(buf, n);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;

    std::istringstream lines(result.log);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("QX_ERROR ", 0) == 0) {
            result.errors.push_back(line.substr(9));
        } else if (line.rfind("QXT ", 0) == 0) {
            const size_t space = line.find(' ', 4);
            if (space != std::string::npos) result.texts[line.substr(4, space - 4)] = line.substr(space + 1);
        } else if (line == "QX_END") {
            result.ended = true;
        } else if (line.rfind("QX ", 0) == 0) {
            std::istringstream fields(line.substr(3));
            std::string name;
            double value = 0.0;
            if (fields >> name >> value) result.figures[name] = value;
        }
    }
    return result;
}

}  // namespace quenlix::realhost
