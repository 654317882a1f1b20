#pragma once

// The channel settings a programme of a given width is measured with unless someone chose otherwise: a
// mono programme by its one channel, a stereo one as stereo, four channels as 4 channels / 4.0, five as
// 6 channels / 4.1 and six as 6 channels / 5.1. The command-line host applies them per file; a host
// format that fixes the width when it creates an instance (LV2) starts the instance with them.
// Compile-time functions; any thread.

namespace quenlix {

// "RMS Channel Config" index: 0 "Stereo", 1 "Left", 3 "4 Channel", 4 "6 Channel".
constexpr int RmsChannelConfigForChannels(int channels) {
    return channels <= 1 ? 1 : channels == 2 ? 0 : channels <= 4 ? 3 : 4;
}

// "EBU Channel Config" index: 0 "2.0 Stereo", 1 "4.0 Surround", 2 "4.1 Surround", 3 "5.1 Surround".
constexpr int EbuChannelConfigForChannels(int channels) {
    return channels <= 2 ? 0 : channels <= 4 ? 1 : channels == 5 ? 2 : 3;
}

}  // namespace quenlix
