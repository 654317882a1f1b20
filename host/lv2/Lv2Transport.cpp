#include "host/lv2/Lv2Transport.h"

#include <lv2/atom/util.h>
#include <lv2/time/time.h>

#include <cmath>

namespace {

// Largest beats per bar or beat unit taken; anything above is no meter a host means.
constexpr double kMaxMeterCount = 1024.0;

LV2_URID MapUri(LV2_URID_Map* map, const char* uri) {
    return map ? map->map(map->handle, uri) : 0;
}

}  // namespace

void Lv2Transport::Map(LV2_URID_Map* map) {
    mUrid.atomBlank = MapUri(map, LV2_ATOM__Blank);
    mUrid.atomObject = MapUri(map, LV2_ATOM__Object);
    mUrid.atomInt = MapUri(map, LV2_ATOM__Int);
    mUrid.atomLong = MapUri(map, LV2_ATOM__Long);
    mUrid.atomFloat = MapUri(map, LV2_ATOM__Float);
    mUrid.atomDouble = MapUri(map, LV2_ATOM__Double);
    mUrid.position = MapUri(map, LV2_TIME__Position);
    mUrid.speed = MapUri(map, LV2_TIME__speed);
    mUrid.frame = MapUri(map, LV2_TIME__frame);
    mUrid.bpm = MapUri(map, LV2_TIME__beatsPerMinute);
    mUrid.bar = MapUri(map, LV2_TIME__bar);
    mUrid.barBeat = MapUri(map, LV2_TIME__barBeat);
    mUrid.beatsPerBar = MapUri(map, LV2_TIME__beatsPerBar);
    mUrid.beatUnit = MapUri(map, LV2_TIME__beatUnit);
}

bool Lv2Transport::Number(const LV2_Atom* atom, double* pValue) const {
    double v;
    if (atom->type == 0) return false;
    if (atom->type == mUrid.atomFloat && atom->size >= sizeof(float)) {
        v = reinterpret_cast<const LV2_Atom_Float*>(atom)->body;
    } else if (atom->type == mUrid.atomDouble && atom->size >= sizeof(double)) {
        v = reinterpret_cast<const LV2_Atom_Double*>(atom)->body;
    } else if (atom->type == mUrid.atomInt && atom->size >= sizeof(int32_t)) {
        v = reinterpret_cast<const LV2_Atom_Int*>(atom)->body;
    } else if (atom->type == mUrid.atomLong && atom->size >= sizeof(int64_t)) {
        v = static_cast<double>(reinterpret_cast<const LV2_Atom_Long*>(atom)->body);
    } else {
        return false;
    }
    if (!std::isfinite(v)) return false;
    *pValue = v;
    return true;
}

void Lv2Transport::Read(const LV2_Atom* atom) {
    if (!atom || atom->size < sizeof(LV2_Atom_Object_Body)) return;
    if (atom->type == 0 || (atom->type != mUrid.atomObject && atom->type != mUrid.atomBlank)) return;
    const auto* object = reinterpret_cast<const LV2_Atom_Object*>(atom);
    if (object->body.otype != mUrid.position) return;
    LV2_ATOM_OBJECT_FOREACH(object, prop) {
        double v = 0.0;
        if (!Number(&prop->value, &v)) continue;
        if (prop->key == mUrid.speed) {
            mSpeed = v;
        } else if (prop->key == mUrid.frame) {
            if (v >= 0.0) mFrame = v;
        } else if (prop->key == mUrid.bpm) {
            if (v > 0.0) mBpm = v;
        } else if (prop->key == mUrid.bar) {
            if (v >= 0.0) mBar = v;
        } else if (prop->key == mUrid.barBeat) {
            if (v >= 0.0) mBarBeat = v;
        } else if (prop->key == mUrid.beatsPerBar) {
            if (v > 0.0 && v <= kMaxMeterCount) mBeatsPerBar = v;
        } else if (prop->key == mUrid.beatUnit) {
            if (v > 0.0 && v <= kMaxMeterCount) mBeatUnit = v;
        }
    }
}

void Lv2Transport::Advance(int nFrames, double sampleRate) {
    if (mSpeed == 0.0 || nFrames <= 0) return;
    const double frames = nFrames * mSpeed;
    if (mFrame >= 0.0) mFrame = std::fmax(0.0, mFrame + frames);
    if (mBpm > 0.0 && mBar >= 0.0 && mBeatsPerBar > 0.0 && sampleRate > 0.0) {
        mBarBeat += frames * mBpm / (60.0 * sampleRate);
        const double bars = std::floor(mBarBeat / mBeatsPerBar);
        mBar = std::fmax(0.0, mBar + bars);
        mBarBeat -= bars * mBeatsPerBar;
    }
}

void Lv2Transport::Fill(ITimeInfo* pTimeInfo) const {
    if (!pTimeInfo) return;
    pTimeInfo->mTransportIsRunning = IsRunning();
    if (mFrame >= 0.0) pTimeInfo->mSamplePos = mFrame;
    if (mBpm > 0.0) pTimeInfo->mTempo = mBpm;
    if (mBeatsPerBar > 0.0) pTimeInfo->mNumerator = static_cast<int>(mBeatsPerBar);
    if (mBeatUnit > 0.0) pTimeInfo->mDenominator = static_cast<int>(mBeatUnit);
    if (mBar >= 0.0 && mBeatsPerBar > 0.0 && mBeatUnit > 0.0) {
        // Beats are of the meter's unit; a quarter note is 4 / beatUnit of them.
        const double quartersPerBeat = 4.0 / mBeatUnit;
        pTimeInfo->mLastBar = mBar * mBeatsPerBar * quartersPerBeat;
        pTimeInfo->mPPQPos = pTimeInfo->mLastBar + mBarBeat * quartersPerBeat;
    }
}
