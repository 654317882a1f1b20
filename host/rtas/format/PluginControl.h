#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "host/rtas/format/FourCharCode.h"

// A host control object: one entry of a process's control table. It carries the control's ID,
// its names, its bounds and its current value in the 32-bit host encoding (ControlEncoding.h).
//
// Threads: created on the main thread while the effect initialises; the value is read and
// written from the main thread and from the audio thread (a plug-in reports its output
// parameters while rendering), so it is held atomically and every value call is allocation-free.
class CPluginControl {
  public:
    enum class Kind { OnOff, Discrete, Linear, List };

    // `names` are the long to short forms of the control's name separated by '\n'.
    CPluginControl(Kind kind, OSType id, const std::string& names, bool automatable);
    virtual ~CPluginControl() = default;
    CPluginControl(const CPluginControl&) = delete;
    CPluginControl& operator=(const CPluginControl&) = delete;

    Kind GetKind() const { return mKind; }
    OSType GetID() const { return mID; }
    const std::string& GetNames() const { return mNames; }
    std::string GetName() const;  // the longest form (first line)
    bool IsAutomatable() const { return mAutomatable; }

    int32_t GetValue() const { return mValue.load(std::memory_order_relaxed); }
    void SetValue(int32_t value) { mValue.store(value, std::memory_order_relaxed); }
    int32_t GetDefaultValue() const { return mDefaultValue; }

    // Bounds of the control in its own units (0 and 1 for on/off, 0 and entries - 1 for lists).
    virtual double GetMinimum() const = 0;
    virtual double GetMaximum() const = 0;
    // Number of distinct positions.
    virtual int32_t GetNumSteps() const = 0;
    // The control value in the control's own units, and the encoding of such a number.
    virtual double ControlToNumber(int32_t value) const = 0;
    virtual int32_t NumberToControl(double number) const = 0;
    // Text the host shows for a value: a list entry, "on"/"off", or the number.
    virtual std::string GetValueText(int32_t value) const;

  protected:
    void SetDefaultValue(int32_t value) {
        mDefaultValue = value;
        SetValue(value);
    }

  private:
    Kind mKind;
    OSType mID;
    std::string mNames;
    bool mAutomatable;
    int32_t mDefaultValue = 0;
    std::atomic<int32_t> mValue{0};
};

// Integer-valued control with inclusive bounds.
class CPluginControl_Discrete : public CPluginControl {
  public:
    CPluginControl_Discrete(OSType id, const std::string& names, int min, int max, int defaultValue,
                            bool automatable);

    int GetDiscrete() const { return ControlToDiscrete(GetValue(), mMin, mMax); }
    void SetDiscrete(int value) { SetValue(DiscreteToControl(value, mMin, mMax)); }

    double GetMinimum() const override { return mMin; }
    double GetMaximum() const override { return mMax; }
    int32_t GetNumSteps() const override;
    double ControlToNumber(int32_t value) const override;
    int32_t NumberToControl(double number) const override;

    static int ControlToDiscrete(int32_t value, int min, int max);
    static int32_t DiscreteToControl(int value, int min, int max);

  protected:
    CPluginControl_Discrete(Kind kind, OSType id, const std::string& names, int min, int max,
                            int defaultValue, bool automatable);

  private:
    int mMin;
    int mMax;
};

// Two-state control, bounds 0 (off) and 1 (on); the master bypass is one.
class CPluginControl_OnOff : public CPluginControl_Discrete {
  public:
    CPluginControl_OnOff(OSType id, const std::string& names, bool defaultOn, bool automatable);
    bool GetOnOff() const { return GetDiscrete() != 0; }
    std::string GetValueText(int32_t value) const override;
};

// Control choosing one of named entries; bounds 0 and entries - 1.
class CPluginControl_List : public CPluginControl_Discrete {
  public:
    CPluginControl_List(OSType id, const std::string& names, const std::vector<std::string>& entries,
                        int defaultValue, bool automatable);
    const std::vector<std::string>& GetEntries() const { return mEntries; }
    std::string GetValueText(int32_t value) const override;

  private:
    std::vector<std::string> mEntries;
};

// Real-valued control over [min, max] with a step; positions are not snapped to the step.
class CPluginControl_Linear : public CPluginControl {
  public:
    CPluginControl_Linear(OSType id, const std::string& names, double min, double max, double step,
                          double defaultValue, bool automatable);

    double GetContinuous() const { return ControlToContinuous(GetValue(), mMin, mMax); }
    void SetContinuous(double value) { SetValue(ContinuousToControl(value, mMin, mMax)); }

    double GetMinimum() const override { return mMin; }
    double GetMaximum() const override { return mMax; }
    double GetStep() const { return mStep; }
    int32_t GetNumSteps() const override;
    double ControlToNumber(int32_t value) const override;
    int32_t NumberToControl(double number) const override;

    static double ControlToContinuous(int32_t value, double min, double max);
    static int32_t ContinuousToControl(double value, double min, double max);

  private:
    double mMin;
    double mMax;
    double mStep;
};
