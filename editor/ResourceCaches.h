// The process-wide caches of decoded images and fonts, shared by every editor of the process. Each has
// its own recursive mutex; their contents are deleted when the process (the plug-in library) unloads.
// Any thread; in this program the UI thread.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "editor/IGraphicsStructs.h"

class LICE_IBitmap;
class LICE_IFont;

class BitmapStorage {
  public:
    static BitmapStorage& Instance();

    // The image stored under ID (the name is not part of the key), or null when none is stored yet.
    LICE_IBitmap* Find(int ID);
    // Stores a decoded image under ID (ownership passes to the cache) and returns the image to use:
    // when another editor stored one for the same ID meanwhile, that one is kept and bm deleted, so
    // one ID always yields one image. A null bm is remembered as missing and retried by the next load.
    LICE_IBitmap* Add(int ID, LICE_IBitmap* bm);
    // Number of entries (missing ones included).
    int Count();

  private:
    struct Entry {
        int mID;
        std::unique_ptr<LICE_IBitmap> mBitmap;
    };
    std::recursive_mutex mMutex;
    std::vector<Entry> mEntries;
};

class FontStorage {
  public:
    static FontStorage& Instance();

    // The font for the style's size, orientation, style and face name (quality and colours are not
    // part of the key), or null.
    LICE_IFont* Find(const IText* text);
    // Stores a font under the style's key (ownership passes to the cache) and returns the font to use
    // (an earlier entry for the same key wins; font is then deleted).
    LICE_IFont* Add(const IText* text, LICE_IFont* font);
    int Count();

  private:
    struct Entry {
        int mSize, mOrientation, mStyle;
        char mFace[IText::kFontNameLen];
        std::unique_ptr<LICE_IFont> mFont;
    };
    static bool Matches(const Entry& e, const IText* text);
    std::recursive_mutex mMutex;
    std::vector<Entry> mEntries;
};
