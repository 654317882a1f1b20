// The areas of the editor one draw cycle redraws and puts on screen: the rectangles that changed, each
// kept apart from the others unless joining two costs few pixels more than drawing them apart (a meter
// beside a meter, read-outs under one another), so that a change in one corner and one in the other
// do not send everything between them. A fixed list: collecting never allocates.
//
// UI thread (the draw cycle).
#pragma once

#include "editor/IGraphicsStructs.h"

class DirtyAreas {
  public:
    // More areas than this are joined pairwise where that costs least.
    static constexpr int kCapacity = 16;
    // Two areas are joined when their bounding box exceeds the pixels of both by at most this many
    // pixels or a quarter of both, whichever is more: below that, a second pass over the controls and a
    // second image request cost more than the pixels saved.
    static constexpr long long kJoinSlackPixels = 1024;

    // Adds r (an empty rectangle adds nothing), joining it with the areas close to it.
    void Add(const IRECT& r);
    void Clear() { mCount = 0; }

    int Count() const { return mCount; }
    const IRECT& operator[](int i) const { return mAreas[i]; }
    // The bounding box of every area (empty when there is none).
    IRECT Bounds() const;
    // Pixels of all areas together (overlaps counted twice).
    long long Pixels() const;

    // Pixels of a rectangle (0 for an inverted one).
    static long long PixelsOf(const IRECT& r);

  private:
    void Remove(int i);

    IRECT mAreas[kCapacity];
    int mCount = 0;
};
