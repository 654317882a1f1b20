#pragma once

// Who Quenlix is to a host: its codes, names, version and channel configurations. The plug-in class,
// each host format's module and the tools that stand in for a module all take them from here, so a
// host never sees two different answers. Compile-time constants; any thread.

#include <cstdint>

#include "common/FourCharCode.h"

namespace quenlix {

// The plug-in's code: its unique ID and the ID of its settings chunk.
constexpr uint32_t kUniqueID = FourCharCode("QXR5");
// The maker's code.
constexpr uint32_t kMfrID = FourCharCode("QXRV");
constexpr const char* kMfrName = "Harbelwick";
constexpr const char* kEffectName = "Quenlix";
// Version 1.3.0, packed as major << 16 | minor << 8 | patch.
constexpr int kVendorVersion = (1 << 16) | (3 << 8) | 0;
// Mono, stereo, four, five and six channels, input count equal to output count.
constexpr const char* kChannelIOStr = "1-1 2-2 4-4 5-5 6-6";

}  // namespace quenlix
