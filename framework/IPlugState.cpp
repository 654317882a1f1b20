// State and presets of IPlugBase: the parameter-state format, its comparison and preset slots.
//
// The state is every parameter's plain value as an 8-byte native double, in index order, with
// no header: it stays readable only while the parameter list keeps its order and length.

#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstring>

#include "framework/IPlugBase.h"
#include "framework/Trace.h"

namespace {

// Marks a parameter a preset does not name; such parameters take their current value.
constexpr double kPresetValueNotGiven = 9.999e-08;

// Tolerance of CompareState: values equal in single precision compare equal.
constexpr double kCompareTolerance = 1e-05;

// Single-precision form of v. Values beyond the float range become infinities instead of the
// undefined conversion, so corrupt data compares unequal instead of misbehaving.
float ToFloat(double v) {
    if (v > static_cast<double>(FLT_MAX)) return HUGE_VALF;
    if (v < -static_cast<double>(FLT_MAX)) return -HUGE_VALF;
    return static_cast<float>(v);
}

}  // namespace

bool IPlugBase::SerializeState(ByteChunk* pChunk) {
    return SerializeParams(pChunk);
}

int IPlugBase::UnserializeState(ByteChunk* pChunk, int startPos) {
    return UnserializeParams(pChunk, startPos);
}

bool IPlugBase::SerializeParams(ByteChunk* pChunk) {
    if (!pChunk) return false;
    WDL_MutexLock lock(&mMutex);
    bool ok = true;
    for (int i = 0; i < NParams() && ok; ++i) {
        IParam* param = GetParam(i);
        const double v = param->Value();
        Trace(TRACE_HERE, "%d %s %f", i, param->GetNameForHost(), v);
        ok = pChunk->Put(&v) >= 0;
    }
    return ok;
}

int IPlugBase::UnserializeParams(ByteChunk* pChunk, int startPos) {
    // A start outside the chunk is a caller error, not a short state: nothing is read or changed.
    if (!pChunk || startPos < 0 || startPos > pChunk->Size()) return -1;
    WDL_MutexLock lock(&mMutex);
    int pos = startPos;
    for (int i = 0; i < NParams() && pos >= 0; ++i) {
        IParam* param = GetParam(i);
        Trace(TRACE_HERE, "%d %s %f", i, param->GetNameForHost(), param->Value());
        double v = 0.0;
        pos = pChunk->Get(&v, pos);
        // NaN or an infinity in saved data is corrupt: the parameter keeps its value rather than
        // passing a non-number on to the plug-in's reactions.
        if (std::isfinite(v)) param->Set(v);
    }
    // The editor shows what was restored, as it shows a host's change, before the plug-in reacts: a
    // control left at its old value would show a setting no longer in force and hand it back to the
    // plug-in as the user's choice.
    RedrawParamControls();
    for (int i = 0; i < NParams(); ++i) OnParamChange(i);
    return pos;
}

bool IPlugBase::CompareState(const unsigned char* data, int startPos) {
    if (!data || startPos < 0) return false;
    bool equal = true;
    for (int i = 0; i < NParams(); ++i) {
        double stored;
        std::memcpy(&stored, data + (static_cast<size_t>(startPos) + static_cast<size_t>(i)) * sizeof(double),
                    sizeof(double));
        const float current = ToFloat(GetParam(i)->Value());
        const float saved = ToFloat(stored);
        const double diff = std::fabs(static_cast<double>(current - saved));
        if (!(diff < kCompareTolerance)) equal = false;
    }
    return equal;
}

void IPlugBase::MakePresetFromNamedParams(const char* name, int nNamedParams, ...) {
    IPresetEntry* preset = nullptr;
    for (int i = 0; i < NPresets() && !preset; ++i)
        if (!mPresets.Get(i)->mInitialized) preset = mPresets.Get(i);
    if (!preset) return;

    preset->mInitialized = true;
    std::memset(preset->mName, 0, sizeof(preset->mName));
    if (name) std::strncpy(preset->mName, name, sizeof(preset->mName) - 1);

    const int n = NParams();
    WDL_TypedBuf<double> values(static_cast<int>(sizeof(double)) * 64);
    if (n > 0 && !values.Resize(n)) {
        preset->mInitialized = false;
        return;
    }
    for (int i = 0; i < n; ++i) values.Get()[i] = kPresetValueNotGiven;

    va_list args;
    va_start(args, nNamedParams);
    for (int p = 0; p < nNamedParams; ++p) {
        const int idx = va_arg(args, int);
        IParam* param = GetParam(idx);
        // The value's type depends on the parameter; past an invalid index the remaining
        // arguments cannot be read safely, so the rest of the list is dropped.
        if (!param) break;
        if (param->Type() == IParam::kTypeDouble)
            values.Get()[idx] = va_arg(args, double);
        else
            values.Get()[idx] = static_cast<double>(va_arg(args, int));
    }
    va_end(args);

    preset->mChunk.Clear();
    for (int i = 0; i < n; ++i) {
        double v = values.Get()[i];
        if (v == kPresetValueNotGiven) v = GetParam(i)->Value();
        preset->mChunk.Put(&v);
    }
}

void IPlugBase::PruneUninitializedPresets() {
    int i = 0;
    while (i < NPresets()) {
        if (mPresets.Get(i)->mInitialized)
            ++i;
        else
            mPresets.Delete(i, true);
    }
}
