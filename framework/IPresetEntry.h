#pragma once

#include "framework/ByteChunk.h"

// One preset slot of a plug-in. Created uninitialised, named "empty", with no values; once
// initialised, mChunk holds the preset's parameter values in the saved-state format.
struct IPresetEntry {
    static constexpr int kNameSize = 256;  // terminating zero included; longer names are cut

    IPresetEntry();

    bool mInitialized = false;
    char mName[kNameSize];
    ByteChunk mChunk;
};
