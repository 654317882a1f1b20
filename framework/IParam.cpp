#include "framework/IParam.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Copies at most IParam::kTextSize - 1 characters of src (null counts as "") into dest.
void CopyText(char* dest, const char* src) {
    size_t n = 0;
    if (src)
        while (n < static_cast<size_t>(IParam::kTextSize - 1) && src[n]) ++n;
    if (n) std::memcpy(dest, src, n);
    std::memset(dest + n, 0, static_cast<size_t>(IParam::kTextSize) - n);
}

}  // namespace

int IParam::TruncToInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(v);
}

void IParam::InitBool(const char* name, bool defaultValue, const char* label, const char* group) {
    if (mType == kTypeNone) mType = kTypeBool;
    InitEnum(name, defaultValue ? 1 : 0, 2, label, group);
}

void IParam::InitEnum(const char* name, int defaultValue, int nEnums, const char* label, const char* group) {
    if (mType == kTypeNone) mType = kTypeEnum;
    CopyText(mName, name);
    CopyText(mLabel, label);
    CopyText(mGroup, group);
    mDefault = defaultValue;
    mValue.store(mDefault, std::memory_order_relaxed);
    mMin = 0.0;
    mMax = nEnums < 2 ? 1.0 : static_cast<double>(nEnums - 1);
    mStep = 1.0;
    mShape = 1.0;
}

void IParam::InitInt(const char* name, int defaultValue, int minValue, int maxValue, const char* label,
                     const char* group) {
    if (mType == kTypeNone) mType = kTypeInt;
    InitDouble(name, defaultValue, minValue, maxValue, 1.0, label, group);
}

void IParam::InitDouble(const char* name, double defaultValue, double minValue, double maxValue, double step,
                        const char* label, const char* group, double shape) {
    if (mType == kTypeNone) mType = kTypeDouble;
    CopyText(mName, name);
    CopyText(mLabel, label);
    CopyText(mGroup, group);
    mDefault = defaultValue;
    mValue.store(mDefault, std::memory_order_relaxed);
    mMin = minValue;
    mMax = maxValue > minValue + step ? maxValue : minValue + step;
    mStep = step;

    // Decimals: as many as it takes for the step to become whole, at most 6.
    int decimals = 0;
    double s = step;
    while (s != std::floor(s) && decimals < 6) {
        ++decimals;
        s *= 10.0;
    }
    mDisplayPrecision = decimals;

    if (shape != 0.0) mShape = shape;
}

void IParam::SetShape(double shape) {
    if (shape != 0.0) mShape = shape;
}

void IParam::SetDisplayPrecision(int decimals) {
    mDisplayPrecision = decimals < 0 ? 0 : (decimals > 6 ? 6 : decimals);
}

void IParam::SetDisplayText(int value, const char* text) {
    DisplayText record;
    record.mValue = value;
    CopyText(record.mText, text);
    mDisplayTexts.Add(record);  // on allocation failure the text is simply missing
}

double IParam::Value() const {
    return mValue.load(std::memory_order_relaxed);
}

void IParam::Set(double value) {
    if (std::isnan(value)) return;
    mValue.store(value < mMin ? mMin : (value > mMax ? mMax : value), std::memory_order_relaxed);
}

double IParam::FromNormalizedUnclamped(double n) const {
    return mMin + std::pow(n, mShape) * (mMax - mMin);
}

double IParam::TypedValueAt(double n, double v) const {
    // Whole numbers first, so a grid of whole steps is found before any decimal near it.
    double scale = 1.0;
    for (int decimals = 0; decimals <= kTypedDecimals; ++decimals, scale *= 10.0) {
        const double typed = std::floor(v * scale + 0.5) / scale;
        if (typed >= mMin && typed <= mMax && GetNormalized(typed) == n) return typed;
    }
    return v;
}

void IParam::SetNormalized(double normalized) {
    if (std::isnan(normalized)) return;
    const double n = normalized < 0.0 ? 0.0 : (normalized > 1.0 ? 1.0 : normalized);
    double v = FromNormalizedUnclamped(n);
    if (mType != kTypeDouble) {
        // Snapping counts from zero, not from the minimum.
        v = mStep * std::floor(v / mStep + 0.5);
    } else {
        // The shape curve there and back does not return a value exactly: a typed 1000 ms would be
        // stored as 999.9999...
        v = TypedValueAt(n, v);
    }
    if (v > mMax) v = mMax;
    mValue.store(v, std::memory_order_relaxed);
}

double IParam::GetNormalized() const {
    return GetNormalized(Value());
}

double IParam::GetNormalized(double value) const {
    // A range of zero width (or reversed) has no position to map to; report the bottom rather
    // than dividing by zero.
    if (!(mMax > mMin)) return 0.0;
    const double v = value < mMin ? mMin : (value > mMax ? mMax : value);
    return std::pow((v - mMin) / (mMax - mMin), 1.0 / mShape);
}

void IParam::GetBounds(double* pMin, double* pMax) const {
    if (pMin) *pMin = mMin;
    if (pMax) *pMax = mMax;
}

const char* IParam::GetLabelForHost() const {
    const char* text = GetDisplayText(Int());
    return text[0] ? "" : mLabel;
}

const char* IParam::GetDisplayText(int value) const {
    const DisplayText* records = mDisplayTexts.Get();
    for (int i = 0; i < mDisplayTexts.GetSize(); ++i)
        if (records[i].mValue == value) return records[i].mText;
    return "";
}

const char* IParam::GetDisplayTextAtIdx(int idx, int* pValue) const {
    if (idx < 0 || idx >= mDisplayTexts.GetSize()) return "";
    const DisplayText& record = mDisplayTexts.Get()[idx];
    if (pValue) *pValue = record.mValue;
    return record.mText;
}

bool IParam::MapDisplayText(const char* text, int* pValue) const {
    if (!text) return false;
    const DisplayText* records = mDisplayTexts.Get();
    for (int i = 0; i < mDisplayTexts.GetSize(); ++i) {
        if (std::strcmp(records[i].mText, text) == 0) {
            if (pValue) *pValue = records[i].mValue;
            return true;
        }
    }
    return false;
}

void IParam::GetDisplayForHost(double value, bool normalized, char* out, bool withDisplayText,
                               int outSize) const {
    if (!out || outSize <= 0) return;
    if (normalized) value = FromNormalizedUnclamped(value);

    if (withDisplayText) {
        const char* text = GetDisplayText(TruncToInt(value));
        if (text[0]) {
            std::snprintf(out, static_cast<size_t>(outSize), "%s", text);
            return;
        }
    }

    if (mNegateDisplay) value = -value;

    // Whole numbers are rounded (halves up), as the decimals of "%.*f" are: 12.7 shows 13, and a value
    // a hair below a whole number shows that number.
    if (mDisplayPrecision == 0)
        std::snprintf(out, static_cast<size_t>(outSize), "%d", TruncToInt(std::floor(value + 0.5)));
    else
        std::snprintf(out, static_cast<size_t>(outSize), "%.*f", mDisplayPrecision, value);
}
