#pragma once

// The host adapter a product class derives from in an LV2 build. Each host folder has a header of
// this name; a build target's include path picks one, so the product's sources name no format.
#include "host/lv2/IPlugLV2.h"

using IPlugAdapter = IPlugLV2;
