#include "editor/DirtyAreas.h"

#include <algorithm>

namespace {

bool WorthJoining(const IRECT& a, const IRECT& b) {
    const long long apart = DirtyAreas::PixelsOf(a) + DirtyAreas::PixelsOf(b);
    const long long joined = DirtyAreas::PixelsOf(a.Union(&b));
    return joined - apart <= std::max(DirtyAreas::kJoinSlackPixels, apart / 4);
}

}  // namespace

long long DirtyAreas::PixelsOf(const IRECT& r) {
    return static_cast<long long>(std::max(r.W(), 0)) * std::max(r.H(), 0);
}

void DirtyAreas::Add(const IRECT& r) {
    if (r.Empty()) return;
    IRECT area = r;
    // A joined area may now be close to others it was not close to before: look again until none is.
    for (bool joined = true; joined;) {
        joined = false;
        for (int i = 0; i < mCount; ++i) {
            if (WorthJoining(mAreas[i], area)) {
                area = area.Union(&mAreas[i]);
                Remove(i);
                joined = true;
                break;
            }
        }
    }
    if (mCount == kCapacity) {
        // Full: join with the area whose bounding box with this one grows least.
        int best = 0;
        long long bestGrowth = -1;
        for (int i = 0; i < mCount; ++i) {
            const long long growth = PixelsOf(area.Union(&mAreas[i])) - PixelsOf(mAreas[i]) - PixelsOf(area);
            if (bestGrowth < 0 || growth < bestGrowth) best = i, bestGrowth = growth;
        }
        area = area.Union(&mAreas[best]);
        Remove(best);
        Add(area);
        return;
    }
    mAreas[mCount++] = area;
}

void DirtyAreas::Remove(int i) {
    for (int j = i + 1; j < mCount; ++j) mAreas[j - 1] = mAreas[j];
    --mCount;
}

IRECT DirtyAreas::Bounds() const {
    IRECT bounds;
    for (int i = 0; i < mCount; ++i) bounds = bounds.Union(&mAreas[i]);
    return bounds;
}

long long DirtyAreas::Pixels() const {
    long long n = 0;
    for (int i = 0; i < mCount; ++i) n += PixelsOf(mAreas[i]);
    return n;
}
