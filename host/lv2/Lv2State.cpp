// The LV2 state of IPlugLV2: the plug-in's serialized parameters (the bytes SerializeState writes,
// as the RTAS settings chunk carries them after its header) and the plug-in's version.

#include <cmath>
#include <cstring>

#include "host/lv2/IPlugLV2.h"

namespace {

// The version's major part (major << 16 | minor << 8 | patch): a state is read only by a plug-in
// of the same major version, whose parameter list has the same order and length.
int Major(int version) {
    return version >> 16;
}

}  // namespace

LV2_State_Status IPlugLV2::SaveState(LV2_State_Store_Function store, LV2_State_Handle handle) {
    if (!store || !mMap) return LV2_STATE_ERR_UNKNOWN;
    ByteChunk chunk;
    if (!SerializeState(&chunk)) return LV2_STATE_ERR_UNKNOWN;
    const int32_t version = GetEffectVersion();
    const uint32_t flags = LV2_STATE_IS_POD;
    LV2_State_Status status =
        store(handle, mUrid.stateVersion, &version, sizeof version, mUrid.atomInt, flags);
    if (status != LV2_STATE_SUCCESS) return status;
    return store(handle, mUrid.stateParams, chunk.GetBytes(), static_cast<size_t>(chunk.Size()),
                 mUrid.atomChunk, flags);
}

bool IPlugLV2::CheckState(const void* version, size_t versionSize, uint32_t versionType, const void* params,
                          size_t paramsSize, uint32_t paramsType, std::string* why) const {
    if (!version || !params) {
        *why = version ? "holds no parameters" : "holds no version";
        return false;
    }
    int32_t v = 0;
    if (versionType != mUrid.atomInt || versionSize != sizeof v) {
        *why = "has a version of the wrong type";
        return false;
    }
    std::memcpy(&v, version, sizeof v);
    if (Major(v) != Major(GetEffectVersion())) {
        *why = "comes from version " + std::to_string(v >> 16) + "." + std::to_string((v >> 8) & 255) + "." +
               std::to_string(v & 255);
        return false;
    }
    const size_t expected = static_cast<size_t>(NParams()) * sizeof(double);
    if (paramsType != mUrid.atomChunk || paramsSize != expected) {
        *why =
            "holds " + std::to_string(paramsSize) + " bytes of parameters, not " + std::to_string(expected);
        return false;
    }
    for (int i = 0; i < NParams(); ++i) {
        double value = 0.0;
        std::memcpy(&value, static_cast<const unsigned char*>(params) + i * sizeof(double), sizeof value);
        double lo = 0.0, hi = 0.0;
        GetParam(i)->GetBounds(&lo, &hi);
        if (!std::isfinite(value) || value < lo || value > hi) {
            *why = std::string("is damaged: \"") + GetParam(i)->GetNameForHost() + "\" out of range";
            return false;
        }
    }
    return true;
}

LV2_State_Status IPlugLV2::RestoreState(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
    if (!retrieve || !mMap) return LV2_STATE_ERR_UNKNOWN;
    size_t versionSize = 0, paramsSize = 0;
    uint32_t versionType = 0, paramsType = 0, flags = 0;
    const void* version = retrieve(handle, mUrid.stateVersion, &versionSize, &versionType, &flags);
    const void* params = retrieve(handle, mUrid.stateParams, &paramsSize, &paramsType, &flags);
    // A state with nothing of ours (port values only, as hosts keep a plug-in's default state) is
    // not ours to judge: nothing changes and nothing is logged.
    if (!version && !params) return LV2_STATE_ERR_NO_PROPERTY;
    std::string why;
    if (!CheckState(version, versionSize, versionType, params, paramsSize, paramsType, &why)) {
        LogLine(false, "%s: state not restored: it %s\n", GetEffectName(), why.c_str());
        return version && params ? LV2_STATE_ERR_BAD_TYPE : LV2_STATE_ERR_NO_PROPERTY;
    }
    ByteChunk chunk;
    if (chunk.PutBytes(params, static_cast<int>(paramsSize)) != static_cast<int>(paramsSize))
        return LV2_STATE_ERR_UNKNOWN;
    // The checks above make a failure here unlikely, but a plug-in's own reading has the last word:
    // a host told "success" would keep a session whose settings were never restored.
    if (UnserializeState(&chunk, 0) < 0) {
        LogLine(false, "%s: state not restored: its parameters could not be read\n", GetEffectName());
        return LV2_STATE_ERR_UNKNOWN;
    }
    return LV2_STATE_SUCCESS;
}
