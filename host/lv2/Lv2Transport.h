#pragma once

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include "framework/ITimeInfo.h"

// The host's transport as LV2 reports it: time:Position objects on the plug-in's atom input, each
// carrying some of speed, frame, tempo, bar, beat and meter. Between positions the transport moves
// on by itself at its last speed. Before the host has said anything the transport counts as
// stopped, as with a host that has no transport at all.
//
// Audio thread only (Read, Advance, Fill); Map at instantiation. No allocation, no lock.
class Lv2Transport {
  public:
    // Maps the URIs it reads. Instantiation thread.
    void Map(LV2_URID_Map* map);

    // Takes the fields of one atom event body when it is a time:Position object; any other atom,
    // and fields of the wrong type or size, non-finite or out of range, are ignored.
    void Read(const LV2_Atom* atom);
    // Moves the position on by nFrames at the current speed (nothing while stopped).
    void Advance(int nFrames, double sampleRate);
    // Fills what the host has told: running flag, sample position, tempo, meter and positions in
    // quarter notes. Fields the host never gave keep the caller's presets.
    void Fill(ITimeInfo* pTimeInfo) const;

    bool IsRunning() const { return mSpeed != 0.0; }
    double GetSpeed() const { return mSpeed; }
    double GetFrame() const { return mFrame; }

  private:
    // A number atom (Int, Long, Float or Double) as a double; false for anything else.
    bool Number(const LV2_Atom* atom, double* pValue) const;

    struct Urids {
        LV2_URID atomBlank = 0, atomObject = 0, atomInt = 0, atomLong = 0, atomFloat = 0, atomDouble = 0;
        LV2_URID position = 0, speed = 0, frame = 0, bpm = 0, bar = 0, barBeat = 0, beatsPerBar = 0,
                 beatUnit = 0;
    } mUrid;

    double mSpeed = 0.0;
    double mFrame = -1.0;  // -1: never told
    double mBpm = 0.0;     // 0: never told
    double mBar = -1.0;
    double mBarBeat = 0.0;
    double mBeatsPerBar = 0.0;  // 0: never told
    double mBeatUnit = 0.0;
};
