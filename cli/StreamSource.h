// Audio from a non-seekable stream (standard input fed by a decoder): a WAV or AU stream read with
// libsndfile through virtual I/O over the descriptor. The frame count is unknown until the stream ends.
#pragma once

#include <memory>
#include <string>

#include "cli/AudioSource.h"

namespace quenlix::cli {

// The name that stands for standard input on the command line.
constexpr const char* kStdinName = "-";

// Opens the audio stream arriving on file descriptor `fd` (not closed; read to its end at most once). The
// header is parsed from the first bytes; they are kept so libsndfile may look back within them. On failure
// returns null and sets `error` to one line. The source's frames() is kUnknownFrames; a stream whose header
// announces a length and that ends sooner fails its read as truncated. Called on the thread that meters it.
std::unique_ptr<AudioSource> openAudioStream(int fd, std::string& error);

// Whether `path` names something to read as a stream rather than as a file: standard input ("-") and
// anything that exists and is neither a regular file nor a folder (a pipe, a named pipe, /dev/stdin fed by
// a pipe or a terminal, a character device). Only looks; never opens.
bool isStream(const std::string& path);

// Opens the stream named by `path` ("-": standard input) and reads it as openAudioStream does; a path's
// descriptor belongs to the source and is closed with it. A terminal is refused with a hint, since nothing
// would arrive until the user typed audio. On failure returns null and sets `error` to one line.
std::unique_ptr<AudioSource> openNamedStream(const std::string& path, std::string& error);

}  // namespace quenlix::cli
