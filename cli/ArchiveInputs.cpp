#include "cli/ArchiveInputs.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <unordered_set>

#include "cli/OutputFiles.h"
#include "cli/StreamSource.h"

namespace quenlix::cli {
namespace {

namespace fs = std::filesystem;

std::string lowered(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

const std::set<std::string>& audioExtensions() {
    static const std::set<std::string> extensions = [] {
        // Other spellings of formats libsndfile reads, which its list names once each.
        std::set<std::string> e = {"aif", "aifc", "aiff", "au",   "snd", "wav",   "wave", "bwf",  "rf64",
                                   "w64", "caf",  "flac", "ogg",  "oga", "opus",  "mp3",  "voc",  "paf",
                                   "svx", "iff",  "sf",   "nist", "sph", "ircam", "mat",  "mat4", "mat5",
                                   "pvf", "xi",   "htk",  "sds",  "avr", "wve",   "sd2",  "mpc"};
        int count = 0;
        sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
        for (int i = 0; i < count; ++i) {
            SF_FORMAT_INFO info{};
            info.format = i;
            if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) == 0 &&
                info.extension != nullptr)
                e.insert(lowered(info.extension));
        }
        // Headerless samples: nothing in such a file says its rate or channels.
        e.erase("raw");
        return e;
    }();
    return extensions;
}

// Adds the audio files below `folder` to `found`, unsorted; a folder that cannot be listed gets an entry of
// its own naming the reason, and the walk goes on with the rest.
void walk(const fs::path& folder, std::vector<ProgrammeEntry>& found) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const fs::directory_entry& entry = *it;
        std::error_code typeError;
        const bool link = entry.is_symlink(typeError);
        if (!link && entry.is_directory(typeError)) {
            walk(entry.path(), found);
        } else if (entry.is_regular_file(typeError) && hasAudioExtension(entry.path().filename().string())) {
            found.push_back({entry.path().string(), {}});
        }
    }
    if (ec) found.push_back({folder.string(), "cannot read folder: " + ec.message()});
}

void collectAudioFiles(const std::string& root, std::vector<ProgrammeEntry>& out) {
    std::vector<ProgrammeEntry> found;
    walk(fs::path(root), found);
    std::sort(found.begin(), found.end(),
              [](const ProgrammeEntry& a, const ProgrammeEntry& b) { return a.path < b.path; });
    out.insert(out.end(), found.begin(), found.end());
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool readFileList(const std::string& path, bool nulSeparated, std::vector<std::string>& paths,
                  std::string& error) {
    const bool fromStdin = path == kStdinName;
    std::FILE* file = fromStdin ? stdin : std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = systemReason(errno);
        return false;
    }
    const int separator = nulSeparated ? '\0' : '\n';
    std::string entry;
    for (int c; (c = std::getc(file)) != EOF;) {
        if (c != separator) {
            entry.push_back(static_cast<char>(c));
        } else if (!entry.empty()) {
            paths.push_back(entry);
            entry.clear();
        }
    }
    const bool failed = std::ferror(file) != 0;
    const int readErrno = errno;
    if (!fromStdin) std::fclose(file);
    if (failed) {
        error = systemReason(readErrno);
        return false;
    }
    if (!entry.empty()) paths.push_back(entry);
    return true;
}

bool hasAudioExtension(const std::string& path) {
    const std::string::size_type dot = path.rfind('.');
    const std::string::size_type slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot + 1 == path.size())
        return false;
    return audioExtensions().count(lowered(path.substr(dot + 1))) != 0;
}

std::vector<ProgrammeEntry> expandProgrammes(const std::vector<std::string>& inputs, bool unique) {
    std::vector<ProgrammeEntry> expanded;
    for (const std::string& input : inputs) {
        if (input != kStdinName && isFolder(input))
            collectAudioFiles(input, expanded);
        else
            expanded.push_back({input, {}});
    }
    if (!unique) return expanded;
    std::unordered_set<std::string> seen;
    std::vector<ProgrammeEntry> once;
    once.reserve(expanded.size());
    for (ProgrammeEntry& e : expanded)
        if (seen.insert(e.path).second) once.push_back(std::move(e));
    return once;
}

std::uint64_t pathHash(const std::string& path) {
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (unsigned char c : path) {
        h ^= c;
        h *= 0x100000001b3ULL;
    }
    return h;
}

bool inShard(const std::string& path, int index, int count) {
    return pathHash(path) % static_cast<std::uint64_t>(count) == static_cast<std::uint64_t>(index - 1);
}

bool parseShard(const std::string& text, int& index, int& count, std::string& error) {
    constexpr int kMaxShards = 1000000;
    long k = 0, n = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%7ld/%7ld%n", &k, &n, &used) != 2 ||
        used != static_cast<int>(text.size()) || text.find_first_of("+- ") != std::string::npos) {
        error = "must be K/N, e.g. 2/8, got " + text;
        return false;
    }
    if (n < 1 || n > kMaxShards) {
        error = "N must be 1 to " + std::to_string(kMaxShards) + ", got " + text;
        return false;
    }
    if (k < 1 || k > n) {
        error = "K counts from 1 to N, got " + text;
        return false;
    }
    index = static_cast<int>(k);
    count = static_cast<int>(n);
    return true;
}

std::optional<FileIdentity> identityOf(const std::string& path) {
    struct stat st {};
    if (path == kStdinName || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return FileIdentity{static_cast<std::int64_t>(st.st_size),
                        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

}  // namespace quenlix::cli
