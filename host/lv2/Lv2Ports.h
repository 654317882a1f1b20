#pragma once

#include <string>
#include <vector>

class IParam;
class IPlugBase;

// What an LV2 host sees of a plug-in built on IPlugBase: one LV2 plug-in per channel-I/O pair, its
// URI and name, and the port layout. The module (descriptors, port connection) and the description
// generator (Turtle) both take these from here, so the binary and its description cannot disagree.
//
// Port layout, the same for every channel-I/O pair so that one editor serves them all:
//   0 .. nParams - 1             one control port per parameter, port index = parameter index;
//                                an input for settings, an output for "OUT:" parameters
//   nParams                      "Reset" trigger (input)
//   nParams + 1                  "Enabled" (lv2:enabled; 0 bypasses)
//   nParams + 2                  atom input for the host's transport (time:Position)
//   nParams + 3 ...              nIn audio inputs, then nOut audio outputs
//
// Pure functions; no thread restrictions.
namespace lv2 {

// A parameter defined from a table row is an output when its row makes it a read-out; one defined field
// by field when its name begins with this. Outputs are written by the plug-in and read by the host.
constexpr const char* kOutputParamPrefix = "OUT:";

bool IsOutputParam(const IParam* param);

// Symbols of the fixed ports.
constexpr const char* kResetSymbol = "reset";
constexpr const char* kEnabledSymbol = "enabled";
constexpr const char* kTransportSymbol = "control";
// "in_1" ..., "out_1" ... for channel c = 0 ...
std::string AudioInSymbol(int c);
std::string AudioOutSymbol(int c);

struct PortLayout {
    int nParams = 0;
    int nIn = 0;
    int nOut = 0;

    int ResetPort() const { return nParams; }
    int EnabledPort() const { return nParams + 1; }
    int TransportPort() const { return nParams + 2; }
    int AudioInPort(int c) const { return nParams + 3 + c; }
    int AudioOutPort(int c) const { return nParams + 3 + nIn + c; }
    int NPorts() const { return nParams + 3 + nIn + nOut; }
};

// One LV2 plug-in of the bundle.
struct PluginEntry {
    std::string uri;   // e.g. "urn:harbelwick:quenlix:stereo"
    std::string name;  // e.g. "Quenlix Stereo"
    int nIn = 0;
    int nOut = 0;
};

// "urn:<maker>:<effect>", each lower-cased with every character but letters and digits dropped.
std::string UriBase(const IPlugBase& plug);
// One entry per channel-I/O pair, in the order of the plug-in's channel-I/O string. Pairs with
// more channels than the plug-in has, or repeated pairs, are left out.
std::vector<PluginEntry> PluginEntries(const IPlugBase& plug);

// A valid LV2 symbol made from a parameter name: lower case, the "OUT:" prefix as "out_", runs of
// other characters as one "_", no leading or trailing "_", "p_" before a leading digit
// ("OUT:EBU ML Max" gives "out_ebu_ml_max").
std::string Symbol(const char* name);
// Symbols of all parameters in index order; a symbol already taken (by an earlier parameter or a
// fixed port) gets "_p<index>" appended.
std::vector<std::string> ParamSymbols(const IPlugBase& plug);

}  // namespace lv2
