#pragma once

// MIDI records passed between the host adapter and the plug-in. This meter neither reads nor
// sends MIDI; the records exist so the base's MIDI hooks have a stable shape.
struct IMidiMsg {
    int mOffset = 0;  // frame offset within the current block
    unsigned char mStatus = 0, mData1 = 0, mData2 = 0;
};

struct ISysEx {
    int mOffset = 0;                       // frame offset within the current block
    const unsigned char* mData = nullptr;  // not owned
    int mSize = 0;                         // bytes at mData
};
