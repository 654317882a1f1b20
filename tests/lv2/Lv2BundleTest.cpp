// What the bundle tells a host beyond the ports' ranges, read as a host reads it (lilv): the role of
// every audio channel, what each output measures and in which unit, the factory presets, the licence
// and the version.

#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/options/options.h>
#include <lv2/presets/presets.h>
#include <lv2/ui/ui.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "framework/IParam.h"
#include "host/lv2/IPlugLV2.h"
#include "host/lv2/Lv2Ports.h"
#include "tests/lv2/Lv2TestHost.h"

using namespace lv2test;

namespace {

constexpr const char* kPg = "http://lv2plug.in/ns/ext/port-groups#";
constexpr const char* kRdfs = "http://www.w3.org/2000/01/rdf-schema#";
constexpr const char* kUnits = "http://lv2plug.in/ns/extensions/units#";
constexpr const char* kDoap = "http://usefulinc.com/ns/doap#";

// The first value of subject's property, as text ("" when there is none).
std::string Value(LilvWorld* w, const LilvNode* subject, const std::string& property) {
    LilvNode* p = lilv_new_uri(w, property.c_str());
    LilvNode* v = lilv_world_get(w, subject, p, nullptr);
    const std::string text = v ? lilv_node_as_string(v) : "";
    lilv_node_free(v);
    lilv_node_free(p);
    return text;
}

std::string PluginValue(LilvWorld* w, const LilvPlugin* plugin, const std::string& property) {
    LilvNode* p = lilv_new_uri(w, property.c_str());
    LilvNodes* values = lilv_plugin_get_value(plugin, p);
    const std::string text = values ? lilv_node_as_string(lilv_nodes_get_first(values)) : "";
    lilv_nodes_free(values);
    lilv_node_free(p);
    return text;
}

bool IsA(LilvWorld* w, const LilvNode* subject, const std::string& cls) {
    LilvNode* type = lilv_new_uri(w, "http://www.w3.org/1999/02/22-rdf-syntax-ns#type");
    LilvNode* c = lilv_new_uri(w, cls.c_str());
    const bool is = lilv_world_ask(w, subject, type, c);
    lilv_node_free(c);
    lilv_node_free(type);
    return is;
}

std::string PortValue(LilvWorld* w, const LilvPlugin* plugin, const LilvPort* port,
                      const std::string& property) {
    LilvNode* p = lilv_new_uri(w, property.c_str());
    LilvNodes* values = lilv_port_get_value(plugin, port, p);
    const std::string text = values ? lilv_node_as_string(lilv_nodes_get_first(values)) : "";
    lilv_nodes_free(values);
    lilv_node_free(p);
    return text;
}

}  // namespace

// The channels' roles follow the slot order the loudness meter weighs: L, R, C, LFE, Ls, Rs.
TEST(Lv2Bundle, AudioChannelsCarryTheRolesTheMeterWeighsThemBy) {
    const std::map<int, std::pair<std::string, std::vector<std::string>>> expected = {
        {1, {"MonoGroup", {"center"}}},
        {2, {"StereoGroup", {"left", "right"}}},
        {4, {"FourPointZeroGroup", {"left", "right", "center", "rearCenter"}}},
        {5, {"FivePointZeroGroup", {"left", "right", "center", "rearLeft", "rearRight"}}},
        {6,
         {"FivePointOneGroup", {"left", "right", "center", "lowFrequencyEffects", "rearLeft", "rearRight"}}},
    };
    Bundle bundle;
    LilvWorld* w = bundle.World();
    std::unique_ptr<IPlugLV2> plug(MakePlug());
    const lv2::PortLayout base{plug->NParams(), 0, 0};
    for (const PluginCase& pc : kPlugins) {
        const LilvPlugin* p = bundle.Plugin(pc.uri);
        ASSERT_NE(p, nullptr) << pc.uri;
        const auto& [groupClass, roles] = expected.at(pc.channels);
        const lv2::PortLayout layout{base.nParams, pc.channels, pc.channels};
        for (bool input : {true, false}) {
            LilvNode* mainProperty =
                lilv_new_uri(w, (std::string(kPg) + (input ? "mainInput" : "mainOutput")).c_str());
            LilvNodes* mains = lilv_plugin_get_value(p, mainProperty);
            ASSERT_NE(mains, nullptr) << pc.uri;
            const LilvNode* group = lilv_nodes_get_first(mains);
            EXPECT_TRUE(IsA(w, group, std::string(kPg) + groupClass)) << pc.uri << " " << groupClass;
            EXPECT_TRUE(IsA(w, group, std::string(kPg) + (input ? "InputGroup" : "OutputGroup"))) << pc.uri;
            for (int c = 0; c < pc.channels; ++c) {
                const uint32_t index =
                    static_cast<uint32_t>(input ? layout.AudioInPort(c) : layout.AudioOutPort(c));
                const LilvPort* port = lilv_plugin_get_port_by_index(p, index);
                ASSERT_NE(port, nullptr);
                EXPECT_EQ(PortValue(w, p, port, LV2_CORE__designation), kPg + roles[static_cast<size_t>(c)])
                    << pc.uri << " channel " << c + 1;
                EXPECT_EQ(PortValue(w, p, port, std::string(kPg) + "group"), lilv_node_as_uri(group))
                    << pc.uri;
            }
            lilv_nodes_free(mains);
            lilv_node_free(mainProperty);
        }
    }
}

// Every output says what it measures, each in its own words; true peaks read in dBTP, which a host
// shows by the unit's own symbol.
TEST(Lv2Bundle, OutputsSayWhatTheyMeasureAndTruePeaksReadInDbtp) {
    Bundle bundle;
    LilvWorld* w = bundle.World();
    std::unique_ptr<IPlugLV2> plug(MakePlug());
    const std::vector<std::string> symbols = lv2::ParamSymbols(*plug);
    for (const PluginCase& pc : kPlugins) {
        const LilvPlugin* p = bundle.Plugin(pc.uri);
        ASSERT_NE(p, nullptr) << pc.uri;
        std::set<std::string> comments;
        for (int i = 0; i < plug->NParams(); ++i) {
            const IParam* param = plug->GetParam(i);
            const LilvPort* port = lilv_plugin_get_port_by_index(p, static_cast<uint32_t>(i));
            const std::string comment = PortValue(w, p, port, std::string(kRdfs) + "comment");
            if (!lv2::IsOutputParam(param)) {
                EXPECT_EQ(comment, "") << symbols[i];
                continue;
            }
            EXPECT_GT(comment.size(), 20u) << symbols[i];
            EXPECT_TRUE(comments.insert(comment).second) << symbols[i] << " repeats " << comment;
            const bool truePeak = symbols[i].find("_tp_") != std::string::npos;
            if (!truePeak) continue;
            const std::string unit = PortValue(w, p, port, std::string(kUnits) + "unit");
            EXPECT_EQ(unit, std::string(kUriBase) + ":unit:dbtp") << symbols[i];
            LilvNode* unitNode = lilv_new_uri(w, unit.c_str());
            EXPECT_EQ(Value(w, unitNode, std::string(kUnits) + "symbol"), "dBTP");
            lilv_node_free(unitNode);
        }
    }
}

// Each plug-in offers the factory presets by name; each preset sets every setting: what the preset
// names, and the plug-in's own start values (its width's channel settings) for the rest.
TEST(Lv2Bundle, FactoryPresetsSetEverySettingOfTheirPlugin) {
    Bundle bundle;
    LilvWorld* w = bundle.World();
    std::unique_ptr<IPlugLV2> plug(MakePlug());
    LilvNode* presetClass = lilv_new_uri(w, LV2_PRESETS__Preset);
    LilvNode* label = lilv_new_uri(w, (std::string(kRdfs) + "label").c_str());
    // Settings each preset names; the others keep the plug-in's start values.
    const std::map<std::string, std::map<std::string, double>> named = {
        {"Default", {}},
        {"RMS 300 ML", {{"type", 0}, {"rms_window", 300}}},
        {"EBU R128", {{"type", 1}}},
    };
    UridMap urids;
    for (const PluginCase& pc : kPlugins) {
        const LilvPlugin* p = bundle.Plugin(pc.uri);
        ASSERT_NE(p, nullptr) << pc.uri;
        LilvNodes* presets = lilv_plugin_get_related(p, presetClass);
        std::set<std::string> names;
        LILV_FOREACH(nodes, it, presets) {
            const LilvNode* preset = lilv_nodes_get(presets, it);
            lilv_world_load_resource(w, preset);
            LilvNodes* labels = lilv_world_find_nodes(w, preset, label, nullptr);
            ASSERT_NE(labels, nullptr);
            const std::string name = lilv_node_as_string(lilv_nodes_get_first(labels));
            lilv_nodes_free(labels);
            names.insert(name);
            LilvState* state = lilv_state_new_from_world(w, urids.MapFeature(), preset);
            ASSERT_NE(state, nullptr) << name;
            std::map<std::string, double> values;
            lilv_state_restore(
                state, nullptr,
                [](const char* symbol, void* data, const void* value, uint32_t size, uint32_t type) {
                    (void)type;
                    if (size == sizeof(float))
                        (*static_cast<std::map<std::string, double>*>(data))[symbol] =
                            *static_cast<const float*>(value);
                },
                &values, 0, nullptr);
            lilv_state_free(state);
            const std::vector<std::string> symbols = lv2::ParamSymbols(*plug);
            for (int i = 0; i < plug->NParams(); ++i) {
                if (lv2::IsOutputParam(plug->GetParam(i))) {
                    EXPECT_EQ(values.count(symbols[i]), 0u) << name << " sets the output " << symbols[i];
                    continue;
                }
                const auto& mine = named.at(name);
                const double want = mine.count(symbols[i]) ? mine.at(symbols[i])
                                                           : plug->GetDefaultForChannels(i, pc.channels);
                ASSERT_EQ(values.count(symbols[i]), 1u) << pc.uri << " " << name << " " << symbols[i];
                EXPECT_EQ(values.at(symbols[i]), want) << pc.uri << " " << name << " " << symbols[i];
            }
        }
        lilv_nodes_free(presets);
        EXPECT_EQ(names, (std::set<std::string>{"Default", "RMS 300 ML", "EBU R128"})) << pc.uri;
    }
    lilv_node_free(presetClass);
    lilv_node_free(label);
}

// The licence and the version a host shows: minor and micro from the plug-in's own version.
TEST(Lv2Bundle, LicenceAndVersionFollowTheProduct) {
    Bundle bundle;
    LilvWorld* w = bundle.World();
    std::unique_ptr<IPlugLV2> plug(MakePlug());
    const int version = plug->GetEffectVersion();
    for (const PluginCase& pc : kPlugins) {
        const LilvPlugin* p = bundle.Plugin(pc.uri);
        ASSERT_NE(p, nullptr) << pc.uri;
        EXPECT_EQ(PluginValue(w, p, std::string(kDoap) + "license"), "http://opensource.org/licenses/MIT");
        EXPECT_EQ(PluginValue(w, p, LV2_CORE__minorVersion), std::to_string((version >> 8) & 255));
        EXPECT_EQ(PluginValue(w, p, LV2_CORE__microVersion), std::to_string(version & 255));
        LilvNode* author = lilv_plugin_get_author_name(p);
        ASSERT_NE(author, nullptr) << pc.uri;
        EXPECT_STREQ(lilv_node_as_string(author), plug->GetMfrName());
        lilv_node_free(author);
    }
    LilvNode* project = lilv_new_uri(w, kUriBase);
    EXPECT_EQ(Value(w, project, std::string(kDoap) + "license"), "http://opensource.org/licenses/MIT");
    lilv_node_free(project);
}

// A host passes its density only to a UI that says it reads it; without it the editor would be drawn
// at 1x on a HiDPI host.
TEST(Lv2Bundle, TheEditorAsksForTheHostsScaleFactor) {
    Bundle bundle;
    LilvWorld* w = bundle.World();
    const LilvPlugin* p = bundle.Plugin(kPlugins[0].uri);
    ASSERT_NE(p, nullptr);
    LilvUIs* uis = lilv_plugin_get_uis(p);
    ASSERT_EQ(lilv_uis_size(uis), 1u);
    const LilvNode* ui = lilv_ui_get_uri(lilv_uis_get(uis, lilv_uis_begin(uis)));
    LilvNode* supported = lilv_new_uri(w, LV2_OPTIONS__supportedOption);
    LilvNode* scale = lilv_new_uri(w, LV2_UI__scaleFactor);
    EXPECT_TRUE(lilv_world_ask(w, ui, supported, scale));
    LilvNode* optional = lilv_new_uri(w, LV2_CORE__optionalFeature);
    LilvNode* options = lilv_new_uri(w, LV2_OPTIONS__options);
    EXPECT_TRUE(lilv_world_ask(w, ui, optional, options));
    for (LilvNode* n : {supported, scale, optional, options}) lilv_node_free(n);
    lilv_uis_free(uis);
}
