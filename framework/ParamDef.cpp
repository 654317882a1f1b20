#include "framework/ParamDef.h"

void InitParamFromDef(IParam* param, const ParamDef& row) {
    if (row.kind == IParam::kTypeEnum) {
        const int count = static_cast<int>(row.maxValue) + 1;
        param->InitEnum(row.name, static_cast<int>(row.defaultValue), count, row.unit);
        for (int v = 0; row.texts && v < count; ++v) param->SetDisplayText(v, row.texts[v]);
    } else {
        param->InitDouble(row.name, row.defaultValue, row.minValue, row.maxValue, row.step, row.unit, "",
                          row.shape);
    }
    param->SetDef(&row);
}
