#include "host/rtas/format/PluginControl.h"

#include <cmath>
#include <cstdio>

#include "host/rtas/format/ControlEncoding.h"

CPluginControl::CPluginControl(Kind kind, OSType id, const std::string& names, bool automatable)
    : mKind(kind), mID(id), mNames(names), mAutomatable(automatable) {}

std::string CPluginControl::GetName() const {
    return mNames.substr(0, mNames.find('\n'));
}

std::string CPluginControl::GetValueText(int32_t value) const {
    char text[64];
    std::snprintf(text, sizeof(text), "%g", ControlToNumber(value));
    return text;
}

CPluginControl_Discrete::CPluginControl_Discrete(OSType id, const std::string& names, int min, int max,
                                                 int defaultValue, bool automatable)
    : CPluginControl_Discrete(Kind::Discrete, id, names, min, max, defaultValue, automatable) {}

CPluginControl_Discrete::CPluginControl_Discrete(Kind kind, OSType id, const std::string& names, int min,
                                                 int max, int defaultValue, bool automatable)
    : CPluginControl(kind, id, names, automatable), mMin(min), mMax(max) {
    SetDefaultValue(DiscreteToControl(defaultValue, mMin, mMax));
}

int32_t CPluginControl_Discrete::GetNumSteps() const {
    if (mMax <= mMin) return 1;
    const long long n = static_cast<long long>(mMax) - mMin + 1;
    return n > 2147483647LL ? 2147483647 : static_cast<int32_t>(n);
}

double CPluginControl_Discrete::ControlToNumber(int32_t value) const {
    return ControlToDiscrete(value, mMin, mMax);
}

int32_t CPluginControl_Discrete::NumberToControl(double number) const {
    // Round to the nearest position first; NaN becomes the minimum.
    if (!(number >= mMin)) return DiscreteToControl(mMin, mMin, mMax);
    if (number >= mMax) return DiscreteToControl(mMax, mMin, mMax);
    return DiscreteToControl(static_cast<int>(std::floor(number + 0.5)), mMin, mMax);
}

int CPluginControl_Discrete::ControlToDiscrete(int32_t value, int min, int max) {
    return ::ControlToDiscrete(value, min, max);
}

int32_t CPluginControl_Discrete::DiscreteToControl(int value, int min, int max) {
    return ::DiscreteToControl(value, min, max);
}

CPluginControl_OnOff::CPluginControl_OnOff(OSType id, const std::string& names, bool defaultOn,
                                           bool automatable)
    : CPluginControl_Discrete(Kind::OnOff, id, names, 0, 1, defaultOn ? 1 : 0, automatable) {}

std::string CPluginControl_OnOff::GetValueText(int32_t value) const {
    return ControlToNumber(value) != 0.0 ? "on" : "off";
}

CPluginControl_List::CPluginControl_List(OSType id, const std::string& names,
                                         const std::vector<std::string>& entries, int defaultValue,
                                         bool automatable)
    : CPluginControl_Discrete(Kind::List, id, names, 0,
                              entries.empty() ? 0 : static_cast<int>(entries.size()) - 1, defaultValue,
                              automatable),
      mEntries(entries) {}

std::string CPluginControl_List::GetValueText(int32_t value) const {
    const int index = static_cast<int>(ControlToNumber(value));
    if (index >= 0 && index < static_cast<int>(mEntries.size())) return mEntries[index];
    return CPluginControl::GetValueText(value);
}

CPluginControl_Linear::CPluginControl_Linear(OSType id, const std::string& names, double min, double max,
                                             double step, double defaultValue, bool automatable)
    : CPluginControl(Kind::Linear, id, names, automatable), mMin(min), mMax(max), mStep(step) {
    SetDefaultValue(ContinuousToControl(defaultValue, mMin, mMax));
}

int32_t CPluginControl_Linear::GetNumSteps() const {
    return LinearStepCount(mMin, mMax, mStep);
}

double CPluginControl_Linear::ControlToNumber(int32_t value) const {
    return ControlToContinuous(value, mMin, mMax);
}

int32_t CPluginControl_Linear::NumberToControl(double number) const {
    return ContinuousToControl(number, mMin, mMax);
}

double CPluginControl_Linear::ControlToContinuous(int32_t value, double min, double max) {
    return ::ControlToContinuous(value, min, max);
}

int32_t CPluginControl_Linear::ContinuousToControl(double value, double min, double max) {
    return ::ContinuousToControl(value, min, max);
}
