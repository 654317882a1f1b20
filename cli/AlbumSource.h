// An album as one programme: its files back to back through one source, so that one plug-in instance sees
// the whole album (its gating and loudness range over every file together).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/AudioSource.h"

namespace quenlix::cli {

using AlbumTrackOpener = std::function<std::unique_ptr<AudioSource>(std::string& error)>;

struct AlbumTrack {
    std::string name;  // for messages
    AlbumTrackOpener open;
};

// Opens the first track at once (it gives the album's channels and rate) and each next one when the one
// before has ended; a track of another channel count or rate fails the read. `frames` is the album's
// length when every track's length is known, else kUnknownFrames. Null with `error` set when there is no
// track or the first cannot be opened. Reader thread.
std::unique_ptr<AudioSource> openAlbum(std::vector<AlbumTrack> tracks, std::int64_t frames,
                                       std::string& error);

}  // namespace quenlix::cli
