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

}  // namespace quenlix::cli
