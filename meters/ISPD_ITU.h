#pragma once

// ISPD_ITU: inter-sample ("true") peak detector for one input slot.
//
// Oversamples every input four times with a 49-tap polyphase interpolator and keeps the largest
// interpolated magnitude: per sample (mPeak) and since the last reset (mTruePeakMax). Both are linear
// magnitudes (1.0 = full scale). The interpolated value of phase p for input n is
// (4 / N) * sum_m table[48 - p - 4m] * x[n - m], so phase 0 is the input itself six samples late,
// scaled by 4 / N (N = the active normaliser).
//
// A plain value type with no allocation: the engines hold arrays of six.
// Threads: Init, Reset and ProcessSample run on the audio thread under the plug-in mutex (or during
// construction); results are read there too. ProcessSample allocates nothing and cannot fail.

class ISPD_ITU {
  public:
    static constexpr int kTaps = 49;
    // Each normaliser is its table's coefficient sum rounded to ten significant digits.
    static constexpr double kNormaliserA = 3.968955297;
    static constexpr double kNormaliserB = 3.991122427;

    // Chooses the table for the rate truncated to whole Hz: table B for whole multiples of 48000 that
    // are not multiples of 44100, table A otherwise (including rates that are multiples of neither).
    // Then clears all state, history included: the audio starts afresh. A non-finite rate uses table A.
    void Init(double sampleRate);

    // Clears the per-sample peak and the maximum; keeps the table choice and the history. The history
    // is the audio itself, not a measurement: cleared in the middle of a programme it would show the
    // interpolator a step from silence the audio never had, and the maximum would over-read. If the
    // detector followed audio it did not measure (Follow) since it last measured, the history becomes
    // that audio. A history holding a non-finite input is cleared, so that a reset restores correct
    // measuring.
    void Reset();

    // Keeps up with inputs x[0 .. n-1] that are not measured (peak and maximum stay), beside the
    // history: the next Reset takes them as the history, so that measuring after it goes on from the
    // audio as it was. Measuring again without a reset goes on from the history as it stood, as if
    // the detector had been switched off. n <= 0 does nothing.
    void Follow(const double* x, int n);

    // Per-sample step: four interpolated values for input x; updates mPeak and mTruePeakMax.
    void ProcessSample(double x);

    // The per-sample step for each of the n inputs x[0 .. n-1] in turn (1 <= n <= kMaxRun), with the
    // four phases computed side by side in vector lanes: the same bits as n calls of ProcessSample.
    // peaks[i] receives the per-sample peak of input i; mPeak and mTruePeakMax end as after the
    // last call.
    static constexpr int kMaxRun = 128;
    void ProcessRun(const double* x, int n, double* peaks);

    // The table in use (49 coefficients) and its normaliser; fixed by Init.
    const double* ActiveTable() const { return mTable; }
    double ActiveNormaliser() const { return mNormaliser; }

    static const double kTableA[kTaps];  // rates that are whole multiples of 44100 Hz, and the fallback
    static const double kTableB[kTaps];  // rates that are whole multiples of 48000 Hz

    // Results, linear magnitudes.
    double mPeak = 0.0;         // largest |interpolated value| of the latest sample
    double mTruePeakMax = 0.0;  // largest mPeak since the last reset

  private:
    const double* mTable = kTableA;
    double mNormaliser = kNormaliserA;
    // The 13 newest scaled inputs (input * 4.0 / normaliser), each stored at i and i + 13 so that
    // they lie contiguous from the newest, at mWriteIndex, backwards in time.
    static constexpr int kInputs = 13;
    double mHistory[2 * kInputs] = {};
    int mWriteIndex = 0;  // newest entry, 0 .. 12
    // The audio followed since the detector last measured, laid out as the history; valid while
    // mFollowing.
    double mFollowed[2 * kInputs] = {};
    int mFollowedIndex = 0;
    bool mFollowing = false;
};
