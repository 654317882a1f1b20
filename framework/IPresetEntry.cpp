#include "framework/IPresetEntry.h"

#include <cstring>

IPresetEntry::IPresetEntry() {
    std::memset(mName, 0, sizeof(mName));
    std::strcpy(mName, "empty");
}
