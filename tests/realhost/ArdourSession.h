// Ardour 7's headless session tool (ardour7-lua) as a host of the bundle: each run gets a scratch folder
// holding a private HOME (whose Ardour configuration shows the Dummy backend), the session and the Lua
// script, and reads back the figures the script prints.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace quenlix::realhost {

// The path of ardour7-lua, "" when it is not installed.
std::string FindArdourLua();

class ArdourSession {
  public:
    ArdourSession();
    ~ArdourSession();
    ArdourSession(const ArdourSession&) = delete;
    ArdourSession& operator=(const ArdourSession&) = delete;

    struct Result {
        int exitCode = -1;
        std::map<std::string, double> figures;     // "QX <name> <value>" lines
        std::map<std::string, std::string> texts;  // "QXT <name> <text>" lines
        std::vector<std::string> errors;           // "QX_ERROR <text>" lines
        bool ended = false;                        // the script printed "QX_END"
        std::string log;                           // everything the tool printed
    };

    // Runs `prelude`, the shared helpers and the scripts named (files beside this test's sources),
    // in one ardour7-lua process, bounded by timeoutS seconds. Every run of one object uses the same
    // session folder, so a later run can load what an earlier one saved.
    Result Run(const std::string& prelude, const std::vector<std::string>& scripts, int timeoutS = 120);

  private:
    std::string mDir;
};

}  // namespace quenlix::realhost
