#pragma once

#include <atomic>

#include "framework/WDL_TypedBuf.h"

struct ParamDef;

// One plug-in parameter: type, current value in its own units, bounds, step, shape of the
// normalised mapping, default, display precision, texts, and the texts shown for discrete values.
//
// The record does no locking. The current value is a single atomic word, so any thread may read it
// while another sets it (the audio thread applying a host's value, the editor a user's) and sees the
// old or the new value, never a torn one; whoever changes a value and reacts to it holds the plug-in's
// mutex or runs on the audio thread. Reading and the text functions never allocate; InitEnum, InitDouble and
// SetDisplayText allocate and run only while the plug-in is being constructed.
class IParam {
  public:
    enum EParamType { kTypeNone = 0, kTypeBool = 1, kTypeInt = 2, kTypeEnum = 3, kTypeDouble = 4 };

    // Capacity of every name, label, group and display text, terminating zero included.
    // Longer texts are cut to 31 characters.
    static constexpr int kTextSize = 32;
    // Size of the buffer GetDisplayForHost writes when the caller gives no size.
    static constexpr int kDisplaySize = 32;

    IParam() = default;
    IParam(const IParam&) = delete;
    IParam& operator=(const IParam&) = delete;

    // Initialisation (plug-in constructor). Each sets the type only while it is still kTypeNone.
    void InitBool(const char* name, bool defaultValue, const char* label = "", const char* group = "");
    void InitEnum(const char* name, int defaultValue, int nEnums, const char* label = "",
                  const char* group = "");
    void InitInt(const char* name, int defaultValue, int minValue, int maxValue, const char* label = "",
                 const char* group = "");
    void InitDouble(const char* name, double defaultValue, double minValue, double maxValue, double step,
                    const char* label = "", const char* group = "", double shape = 1.0);
    // A shape of exactly 0 is ignored.
    void SetShape(double shape);
    // Appends a text for a discrete value; an existing text for the same value is not replaced
    // (lookups find the earliest).
    void SetDisplayText(int value, const char* text);

    // Stores value clamped to [min, max]. NaN is ignored (the value stays).
    void Set(double value);
    // Sets the value from a normalised position (clamped to 0..1); non-double types snap to the
    // step grid counted from zero. A double parameter stores a value of at most kTypedDecimals
    // decimals (every value of a step grid such as 1 or 0.1, every value typed into the editor)
    // exactly when the position is exactly that value's GetNormalized; any other position as it
    // maps. NaN is ignored.
    void SetNormalized(double normalized);
    double GetNormalized() const;
    double GetNormalized(double value) const;
    void GetBounds(double* pMin, double* pMax) const;

    EParamType Type() const { return static_cast<EParamType>(mType); }
    // Out of line: inlined at a call through a pointer that may be null, GCC 12 mistakes the atomic
    // load for a write into nothing (-Wstringop-overflow).
    double Value() const;
    // The value truncated toward zero, saturated to the int range (NaN gives 0).
    int Int() const { return TruncToInt(Value()); }
    bool Bool() const { return Int() != 0; }
    double GetMin() const { return mMin; }
    double GetMax() const { return mMax; }
    double GetStep() const { return mStep; }
    double GetShape() const { return mShape; }
    double GetDefault() const { return mDefault; }
    int GetPrecision() const { return mDisplayPrecision; }
    void SetDisplayPrecision(int decimals);
    bool GetNegateDisplay() const { return mNegateDisplay; }
    void SetNegateDisplay(bool negate) { mNegateDisplay = negate; }
    bool GetCanAutomate() const { return mCanAutomate; }
    void SetCanAutomate(bool canAutomate) { mCanAutomate = canAutomate; }

    const char* GetNameForHost() const { return mName; }
    const char* GetGroupForHost() const { return mGroup; }
    // "" when the current value has a non-empty display text, else the unit label.
    const char* GetLabelForHost() const;
    // Text of the earliest record with this value, "" when there is none.
    const char* GetDisplayText(int value) const;
    int GetNDisplayTexts() const { return mDisplayTexts.GetSize(); }
    // Text of record idx (0..count-1) and, when pValue is not null, its value. An index out of
    // range gives "" and leaves *pValue alone.
    const char* GetDisplayTextAtIdx(int idx, int* pValue = nullptr) const;
    // Finds the first record whose text equals text exactly; writes its value and returns true.
    bool MapDisplayText(const char* text, int* pValue) const;

    // Formats value for the host's display into out, which holds at least kDisplaySize bytes
    // (or outSize bytes), rounded to the display precision. A normalised value is mapped without
    // clamping or snapping.
    // Display texts are used when withDisplayText is set and the value has one.
    void GetDisplayForHost(double value, bool normalized, char* out, bool withDisplayText = true,
                           int outSize = kDisplaySize) const;
    // The current value formatted as above.
    void GetDisplayForHost(char* out, bool withDisplayText = true, int outSize = kDisplaySize) const {
        GetDisplayForHost(Value(), false, out, withDisplayText, outSize);
    }

    // The table row the parameter was defined from (InitParamFromDef), null for one defined field by
    // field.
    const ParamDef* GetDef() const { return mDef; }
    void SetDef(const ParamDef* def) { mDef = def; }

    // Truncation toward zero that cannot overflow: NaN gives 0, out-of-range values saturate.
    static int TruncToInt(double v);

  private:
    struct DisplayText {
        int mValue;
        char mText[kTextSize];
    };

    // Decimals of the values SetNormalized recovers exactly.
    static constexpr int kTypedDecimals = 6;
    // The value of at most kTypedDecimals decimals near v whose position is exactly n, else v.
    double TypedValueAt(double n, double v) const;
    // Value for normalised n without clamping n or snapping.
    double FromNormalizedUnclamped(double n) const;

    int mType = kTypeNone;
    std::atomic<double> mValue{0.0};
    double mMin = 0.0;
    double mMax = 1.0;
    double mStep = 1.0;
    double mShape = 1.0;
    double mDefault = 0.0;
    int mDisplayPrecision = 0;
    char mName[kTextSize] = {};
    char mLabel[kTextSize] = {};
    char mGroup[kTextSize] = {};
    bool mNegateDisplay = false;
    bool mCanAutomate = true;
    const ParamDef* mDef = nullptr;
    WDL_TypedBuf<DisplayText> mDisplayTexts{static_cast<int>(sizeof(DisplayText)) * 8};
};
