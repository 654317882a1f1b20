#pragma once

#include "framework/IParam.h"

// One row of a plug-in's parameter table: everything a host, an editor or a description file needs to
// know about a parameter before the plug-in runs. A product keeps its rows in one constant table, in
// index order, and defines every IParam from it (InitParamFromDef); the IParam then remembers its row,
// so that code which sees only the framework (a host adapter, a description generator) reads the same
// facts, including what the model itself does not mark: whether the plug-in writes the parameter.
//
// Rows are compile-time constants with static storage; any thread.
struct ParamDef {
    // A setting is written by the host or the user; a read-out is written by the plug-in, for the
    // host to show and record.
    enum class Role { kSetting, kReadout };

    const char* name;
    IParam::EParamType kind;  // kTypeEnum or kTypeDouble
    double minValue;          // an enum: 0
    double maxValue;          // an enum: its count of values less one
    double defaultValue;      // before a host's channel count adjusts it
    double step;
    const char* unit;          // "" for none
    double shape;              // of the normalised mapping; 1.0 is linear
    const char* const* texts;  // an enum: the display text of value 0, 1, ...; else null
    Role role;
};

// Defines param from row (the plug-in's constructor): type, name, unit, bounds, default, step, shape
// and display texts, and makes row the parameter's own. row must outlive the parameter.
void InitParamFromDef(IParam* param, const ParamDef& row);
