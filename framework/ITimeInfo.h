#pragma once

// Transport record filled by the host adapter (GetTime). The member initialisers are the values
// callers preset before asking the host: a host that knows nothing leaves a 4/4 transport at
// 120 BPM, stopped, with every position unknown (-1.0).
struct ITimeInfo {
    double mTempo = 120.0;      // beats per minute
    double mSamplePos = -1.0;   // samples since the project start
    double mPPQPos = -1.0;      // quarter notes since the project start
    double mLastBar = -1.0;     // quarter-note position of the current bar's start
    double mCycleStart = -1.0;  // loop start, quarter notes
    double mCycleEnd = -1.0;    // loop end, quarter notes
    int mNumerator = 4;         // time signature
    int mDenominator = 4;
    bool mTransportIsRunning = false;
    bool mTransportLoopEnabled = false;
};
