// The built-in demonstration programme: about a minute of stereo at 48 kHz whose loudness changes from
// section to section (speech-like noise bursts, a steady chord, a quiet passage, a loud passage with sharp
// transients, a fade to silence and a crescendo). Synthesised deterministically while it is read; no file is
// involved.
#pragma once

#include "cli/AudioSource.h"

namespace quenlix::cli {

constexpr int kDemoSampleRate = 48000;
constexpr double kDemoSeconds = 60.0;

std::unique_ptr<AudioSource> makeDemoProgramme();

}  // namespace quenlix::cli
