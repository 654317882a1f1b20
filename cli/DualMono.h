// Dual mono: a mono programme metered as a stereo insert with the same signal in both channels, the
// convention many delivery requirements use for mono programmes. Both channels carry weight 1 in the
// loudness sum, so the programme reads 3 dB louder than as plain mono.
#pragma once

#include <memory>

#include "cli/AudioSource.h"

namespace quenlix::cli {

// Wraps a mono `inner` as two identical channels; a source of more channels is returned as it is.
// Reader thread.
std::unique_ptr<AudioSource> asDualMono(std::unique_ptr<AudioSource> inner);

}  // namespace quenlix::cli
