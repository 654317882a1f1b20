// Runs the built `quenlix` program as a user would, capturing its standard output, standard error and exit
// code.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "WavFiles.h"

namespace quenlix::cli::test {

struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

// Runs QUENLIX_EXE with `args` in folder `cwd` (empty: the current one). With `stdinFile`, the program's
// standard input is a pipe that carries the file's bytes.
inline ProgramRun runQuenlixProgram(const std::vector<std::string>& args, const ScratchDir& dir,
                                    const std::string& cwd = "", const std::string& stdinFile = "") {
    std::string errFile = dir.file("stderr.txt");
    std::string cmd;
    if (!cwd.empty()) cmd += "cd " + shellQuote(cwd) + " && ";
    if (!stdinFile.empty()) cmd += "cat " + shellQuote(stdinFile) + " | ";
    cmd += shellQuote(QUENLIX_EXE);
    for (const std::string& a : args) cmd += " " + shellQuote(a);
    cmd += " 2>" + shellQuote(errFile);
    ProgramRun run;
    std::FILE* pipe = popen(cmd.c_str(), "r");
    if (pipe == nullptr) return run;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) run.out.append(buf, n);
    int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = readFile(errFile);
    return run;
}

}  // namespace quenlix::cli::test
