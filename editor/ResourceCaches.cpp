#include "editor/ResourceCaches.h"

#include <cstring>

#include "raster/Bitmap.h"
#include "raster/Font.h"

BitmapStorage& BitmapStorage::Instance() {
    static BitmapStorage storage;
    return storage;
}

LICE_IBitmap* BitmapStorage::Find(int ID) {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    for (Entry& e : mEntries)
        if (e.mID == ID && e.mBitmap) return e.mBitmap.get();
    return nullptr;
}

LICE_IBitmap* BitmapStorage::Add(int ID, LICE_IBitmap* bm) {
    std::unique_ptr<LICE_IBitmap> owned(bm);
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    Entry* missing = nullptr;
    for (Entry& e : mEntries) {
        if (e.mID != ID) continue;
        if (e.mBitmap) return e.mBitmap.get();
        if (!missing) missing = &e;
    }
    if (missing) {
        missing->mBitmap = std::move(owned);
        return missing->mBitmap.get();
    }
    mEntries.push_back(Entry{ID, std::move(owned)});
    return mEntries.back().mBitmap.get();
}

int BitmapStorage::Count() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return static_cast<int>(mEntries.size());
}

FontStorage& FontStorage::Instance() {
    static FontStorage storage;
    return storage;
}

bool FontStorage::Matches(const Entry& e, const IText* text) {
    return e.mSize == text->mSize && e.mOrientation == text->mOrientation && e.mStyle == text->mStyle &&
           std::strncmp(e.mFace, text->mFont, IText::kFontNameLen) == 0;
}

LICE_IFont* FontStorage::Find(const IText* text) {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    for (Entry& e : mEntries)
        if (Matches(e, text) && e.mFont) return e.mFont.get();
    return nullptr;
}

LICE_IFont* FontStorage::Add(const IText* text, LICE_IFont* font) {
    std::unique_ptr<LICE_IFont> owned(font);
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    for (Entry& e : mEntries)
        if (Matches(e, text) && e.mFont) return e.mFont.get();
    Entry e{text->mSize, text->mOrientation, text->mStyle, {}, std::move(owned)};
    std::memcpy(e.mFace, text->mFont, sizeof(e.mFace));
    e.mFace[IText::kFontNameLen - 1] = '\0';
    mEntries.push_back(std::move(e));
    return mEntries.back().mFont.get();
}

int FontStorage::Count() {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    return static_cast<int>(mEntries.size());
}
