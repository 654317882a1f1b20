#pragma once

// The kind of plug-in interface a plug-in instance is running under.
typedef int EAPI;

// The RTAS host adapter passes this value to the plug-in base.
constexpr EAPI kAPIRTAS = 3;
// The LV2 host adapter passes this one.
constexpr EAPI kAPILV2 = 7;
