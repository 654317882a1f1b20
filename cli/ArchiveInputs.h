// The programmes of a `measure` run over an archive: the FILE arguments and the --files-from list, folders
// walked for audio files, and the share of one --shard. Main thread, before anything is metered.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/FileReport.h"

namespace quenlix::cli {

// One programme to meter. `problem` is set for an entry that is known to fail before it is opened (a folder
// that cannot be read); it becomes the programme's error record.
struct ProgrammeEntry {
    std::string path;
    std::string problem;
};

// Reads a --files-from list from `path` ("-": standard input): one path per line, or with `nulSeparated`
// paths ended by NUL bytes (find -print0). Empty entries are skipped; a list without a final separator
// keeps its last entry. False with `error` set (the system's reason) when the list cannot be read.
bool readFileList(const std::string& path, bool nulSeparated, std::vector<std::string>& paths,
                  std::string& error);

// Whether `path`'s extension names a format libsndfile reads (case-insensitive): its own list of major
// formats, headerless raw left out, and the common other spellings (.aif, .oga, .opus, ...).
bool hasAudioExtension(const std::string& path);

// Replaces every folder among `inputs` by the audio files below it (symbolic links to files followed,
// links to folders not, so a loop cannot arise), sorted by the bytes of their paths: the same tree gives
// the same order on every machine. Anything else is kept as it is, to be opened (and named in an error
// record when it cannot be). With `unique`, a path that comes twice is kept once, where it first appears
// (records are known by their path); without, as often as it is given (an album may repeat a file).
std::vector<ProgrammeEntry> expandProgrammes(const std::vector<std::string>& inputs, bool unique);

// FNV-1a, 64 bits, of the bytes of `path`: the shard a path falls in depends on nothing else.
std::uint64_t pathHash(const std::string& path);

// Shard `index` of `count` (index counted from 1) takes the paths whose pathHash modulo `count` is
// `index - 1`; every path falls in exactly one shard.
bool inShard(const std::string& path, int index, int count);

// Parses "K/N" (1 <= K <= N <= 1000000); false with `error` naming what is wrong.
bool parseShard(const std::string& text, int& index, int& count, std::string& error);

// Size and modification time of the regular file `path`; none for a stream, a folder or a missing file.
std::optional<FileIdentity> identityOf(const std::string& path);

}  // namespace quenlix::cli
