// Counting the samples of a programme that are not finite numbers (NaN, infinities). A decoder or a damaged
// file can produce them; the plug-in meters them as silence, so the host says how many there were.
#pragma once

#include <memory>

#include "cli/AudioSource.h"

namespace quenlix::cli {

// Wraps `inner`: the same frames, unchanged, with nonFiniteSamples() counting what passed. Reader thread.
std::unique_ptr<AudioSource> countNonFinite(std::unique_ptr<AudioSource> inner);

}  // namespace quenlix::cli
