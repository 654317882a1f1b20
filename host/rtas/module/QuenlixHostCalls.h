#pragma once

// The inspection call of the Quenlix plug-in module: a second exported entry point, beside the group
// entry point, through which a host that wants more than the thirteen "OUT:" controls (the command-line
// host) reads the active engine's results unrounded, their validity, and the read-out texts the editor
// shows. It changes nothing in the plug-in and is not part of the host format.
//
// C layout only (no classes cross the module boundary). The caller sets mStructSize; a module that does
// not know that size refuses the call, so both sides must come from the same build.

#include <stdint.h>

#define QUENLIX_INSPECT_ENTRY_POINT "QuenlixInspect"

enum { kQuenlixInspectSlots = 6, kQuenlixInspectMaxReadouts = 7, kQuenlixInspectTextSize = 16 };

struct QuenlixMeterReport {
    uint32_t mStructSize;    // in: sizeof(QuenlixMeterReport)
    int32_t mVendorVersion;  // out: major << 16 | minor << 8 | patch
    int32_t mMeterType;      // out: 0 RMS, 1 EBU R128 (the "Type" mirror)

    // EBU R128 engine. Loudness in LUFS, range in LU, true peaks in dBTP (-144.0 when silent). A flag of
    // 0 means the value before it is not valid yet (no gated block, window not filled, no range block).
    double mEbuIntegratedLufs;
    int32_t mEbuIntegratedValid;
    int32_t mEbuMomentaryValid;
    double mEbuMomentaryLufs;
    double mEbuMomentaryMaxLufs;
    int32_t mEbuShortTermValid;
    int32_t mEbuRangeValid;
    double mEbuShortTermLufs;
    double mEbuShortTermMaxLufs;
    double mEbuRangeLu;
    double mEbuTruePeakDbtp[kQuenlixInspectSlots];

    // RMS engine, in dBFS with the RMS mode's offsets applied as the read-outs apply them (-144.0 plus
    // offset when silent). The windowed and integrated values are valid once the window has filled.
    int32_t mRmsWindowValid;
    int32_t mRmsCrestValid;  // 0 while the integrated level is below -140 dB
    double mRmsIntegratedDbfs;
    double mRmsMomentaryDbfs;
    double mRmsMomentaryMaxDbfs;
    double mRmsSamplePeakDbfs;
    double mRmsTruePeakDbfs;
    double mRmsCrestDb;

    // The active type's read-out texts as the editor holds them (last display refresh), in display order:
    // RMS: IL, ML, ML Max, Peak Max, TP Max, Crest; EBU: IL, ML, ML Max, SL, SL Max, TP Max, LRA.
    int32_t mNumReadouts;
    char mReadouts[kQuenlixInspectMaxReadouts][kQuenlixInspectTextSize];
};

#define QUENLIX_EDITOR_PICTURE_ENTRY_POINT "QuenlixWriteEditorPicture"

// `process` is the host-side process object of an instance of this module (CEffectProcessRTAS*).
// Returns 0 and fills `report`, or -1 (report untouched but for nothing) for a null argument or a
// foreign struct size. Main thread; takes the plug-in mutex for the read.
typedef int (*QuenlixInspectFunction)(void* process, struct QuenlixMeterReport* report);

// Writes the editor's screen, as last drawn in the view the host opened (Instance::OpenView, then its timer
// ticked), to `pngPath` as a PNG file of the editor's size. Returns 0, or -1 with a one-line reason in
// `error` (at most errorSize bytes, terminated) when the view is not open or the file cannot be written.
// Main thread.
typedef int (*QuenlixWriteEditorPictureFunction)(void* process, const char* pngPath, char* error,
                                                 int errorSize);

#define QUENLIX_WINDOW_SYSTEM_ENTRY_POINT "QuenlixUseWindowSystem"
// Selects the window system editors of instances created from now on open in: 0 headless (the default),
// 1 X11 on the display named by DISPLAY. Returns 0, or -1 when X11 is asked for and that display cannot be
// reached (the selection is then left as it was). Main thread, before the instances are created.
typedef int (*QuenlixUseWindowSystemFunction)(int system);

#define QUENLIX_CLOSE_REQUESTED_ENTRY_POINT "QuenlixEditorCloseRequested"
// 1 when the editor of the instance behind `process` has a window of its own that the user asked to close
// (or that is gone), 2 when that window's connection to the X server was lost, else 0. Main thread.
typedef int (*QuenlixEditorCloseRequestedFunction)(void* process);

#define QUENLIX_WINDOW_TITLE_ENTRY_POINT "QuenlixSetEditorWindowTitle"
// Names the window the editor of the instance behind `process` opens in (UTF-8), at once when it is open.
// Returns 0, or -1 for a null argument or an editor without windows. Main thread.
typedef int (*QuenlixSetEditorWindowTitleFunction)(void* process, const char* title);

#define QUENLIX_EDITOR_SCALE_ENTRY_POINT "QuenlixSetEditorScale"
// The scale the editor of the instance behind `process` draws at: 1, 1.5 or 2 times its size; in a window,
// 0 takes it from the desktop (GDK_SCALE, Xft.dpi). For a window, from the next time it opens; for the
// headless view, at once. Returns 0, or -1 for a null process or another scale. Main thread, while no
// window of the instance is open.
typedef int (*QuenlixSetEditorScaleFunction)(void* process, double scale);
