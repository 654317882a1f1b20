// The bundle's description as a host reads it (lilv) against the plug-in's own parameter table, and the
// names the description is made of.

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "framework/IParam.h"
#include "framework/ParamDef.h"
#include "host/lv2/IPlugLV2.h"
#include "host/lv2/Lv2Ports.h"
#include "host/lv2/Lv2Turtle.h"
#include "plugin/QuenlixParams.h"
#include "tests/lv2/Lv2TestHost.h"

using namespace lv2test;

TEST(Lv2Names, SymbolsAreValidLv2SymbolsMadeFromTheNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"OUT:EBU IL", "out_ebu_il"},
        {"OUT:EBU ML Max", "out_ebu_ml_max"},
        {"RMS Channel Config", "rms_channel_config"},
        {"  Gain (dB) ", "gain_db"},
        {"3 Band", "p_3_band"},
        {"", "p"},
        {"Grün", "gr_n"},
    };
    for (const auto& [name, symbol] : cases) EXPECT_EQ(lv2::Symbol(name), symbol) << name;
}

// A parameter's table row says whether the plug-in writes it; only one defined field by field goes by
// its name.
TEST(Lv2Names, OutputsAreTheTablesReadoutsOrElseNamedAsOutputs) {
    static constexpr ParamDef kReadout = {
        "Level", IParam::kTypeDouble,     -60.0, 12.0, -60.0, 0.1, "dBFS", 1.0,
        nullptr, ParamDef::Role::kReadout};
    static constexpr ParamDef kSetting = {
        "OUT:Gain", IParam::kTypeDouble, -60.0, 12.0, 0.0, 0.1, "dB", 1.0, nullptr, ParamDef::Role::kSetting};
    struct Case {
        const ParamDef* row;
        const char* name;  // for a parameter defined field by field
        bool output;
    };
    const Case cases[] = {
        {&kReadout, nullptr, true},
        {&kSetting, nullptr, false},
        {nullptr, "OUT:Level", true},
        {nullptr, "Level", false},
    };
    for (const Case& c : cases) {
        IParam param;
        if (c.row)
            InitParamFromDef(&param, *c.row);
        else
            param.InitDouble(c.name, 0.0, 0.0, 1.0, 0.1);
        EXPECT_EQ(lv2::IsOutputParam(&param), c.output) << param.GetNameForHost();
    }
    EXPECT_FALSE(lv2::IsOutputParam(nullptr));
}

TEST(Lv2Names, NumbersReadBackExactlyAndAlwaysHaveAPoint) {
    for (double v : {0.0, 0.1, -60.0, 12.0, 3000.0, 1e-7, 123456789.125, -0.25}) {
        const std::string s = lv2::Number(v);
        EXPECT_EQ(std::strtod(s.c_str(), nullptr), v) << s;
        EXPECT_NE(s.find('.'), std::string::npos) << s;
    }
}

TEST(Lv2Description, EveryPortMatchesTheParameterTable) {
    Bundle bundle;
    std::unique_ptr<IPlugLV2> plug(MakePlug());
    const std::vector<std::string> symbols = lv2::ParamSymbols(*plug);
    LilvWorld* w = bundle.World();
    LilvNode* output = lilv_new_uri(w, LILV_URI_OUTPUT_PORT);
    LilvNode* enumeration = lilv_new_uri(w, LV2_CORE__enumeration);
    LilvNode* unitUri = lilv_new_uri(w, "http://lv2plug.in/ns/extensions/units#unit");
    for (const PluginCase& pc : kPlugins) {
        const LilvPlugin* p = bundle.Plugin(pc.uri);
        ASSERT_NE(p, nullptr) << pc.uri;
        EXPECT_EQ(lilv_plugin_get_num_ports(p), static_cast<uint32_t>(plug->NParams() + 3 + 2 * pc.channels));
        for (int i = 0; i < plug->NParams(); ++i) {
            const IParam* param = plug->GetParam(i);
            const LilvPort* port = lilv_plugin_get_port_by_index(p, static_cast<uint32_t>(i));
            ASSERT_NE(port, nullptr);
            EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(p, port)), symbols[i].c_str());
            LilvNode* name = lilv_port_get_name(p, port);
            EXPECT_STREQ(lilv_node_as_string(name), quenlix::kParams[i].def.name);
            lilv_node_free(name);
            // The plug-in's read-outs are the ports it writes.
            EXPECT_EQ(lilv_port_is_a(p, port, output),
                      quenlix::kParams[i].def.role == ParamDef::Role::kReadout)
                << param->GetNameForHost();
            LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
            lilv_port_get_range(p, port, &def, &min, &max);
            EXPECT_EQ(lilv_node_as_float(def),
                      static_cast<float>(plug->GetDefaultForChannels(i, pc.channels)))
                << symbols[i];
            EXPECT_EQ(lilv_node_as_float(min), static_cast<float>(param->GetMin())) << symbols[i];
            EXPECT_EQ(lilv_node_as_float(max), static_cast<float>(param->GetMax())) << symbols[i];
            lilv_node_free(def);
            lilv_node_free(min);
            lilv_node_free(max);
            if (param->Type() == IParam::kTypeEnum) {
                EXPECT_TRUE(lilv_port_has_property(p, port, enumeration)) << symbols[i];
                LilvScalePoints* points = lilv_port_get_scale_points(p, port);
                ASSERT_EQ(static_cast<int>(lilv_scale_points_size(points)), param->GetNDisplayTexts());
                LILV_FOREACH(scale_points, it, points) {
                    const LilvScalePoint* sp = lilv_scale_points_get(points, it);
                    const int v = static_cast<int>(lilv_node_as_float(lilv_scale_point_get_value(sp)));
                    EXPECT_STREQ(lilv_node_as_string(lilv_scale_point_get_label(sp)),
                                 param->GetDisplayText(v));
                }
                lilv_scale_points_free(points);
            }
            LilvNodes* units = lilv_port_get_value(p, port, unitUri);
            const std::string unit = units ? lilv_node_as_uri(lilv_nodes_get_first(units)) : "";
            lilv_nodes_free(units);
            std::string label = param->Type() == IParam::kTypeDouble ? param->GetLabelForHost() : "";
            // True peaks read in dBTP for hosts; the editor keeps its dBFS.
            if (symbols[i].find("_tp_") != std::string::npos) label = "dBTP";
            const std::map<std::string, std::string> expected = {
                {"", ""},
                {"ms", "http://lv2plug.in/ns/extensions/units#ms"},
                {"dB", "http://lv2plug.in/ns/extensions/units#db"},
                {"dBFS", "http://lv2plug.in/ns/extensions/units#db"},
                {"LUFS", std::string(kUriBase) + ":unit:lufs"},
                {"LU", std::string(kUriBase) + ":unit:lu"},
                {"dBTP", std::string(kUriBase) + ":unit:dbtp"},
            };
            EXPECT_EQ(unit, expected.at(label)) << symbols[i];
        }
    }
    lilv_node_free(output);
    lilv_node_free(enumeration);
    lilv_node_free(unitUri);
}

// The channel settings each plug-in starts with follow its width as a file's do in the command-line
// host; every other default is the parameter table's.
TEST(Lv2Description, ChannelSettingsDefaultToThePluginsWidth) {
    const std::map<int, std::pair<int, int>> expected = {
        {1, {1, 0}}, {2, {0, 0}}, {4, {3, 1}}, {5, {4, 2}}, {6, {4, 3}}};
    std::unique_ptr<IPlugLV2> plug(MakePlug());
    const std::vector<std::string> symbols = lv2::ParamSymbols(*plug);
    Bundle bundle;
    for (const PluginCase& pc : kPlugins) {
        const LilvPlugin* p = bundle.Plugin(pc.uri);
        ASSERT_NE(p, nullptr) << pc.uri;
        for (int i = 0; i < plug->NParams(); ++i) {
            const LilvPort* port = lilv_plugin_get_port_by_index(p, static_cast<uint32_t>(i));
            LilvNode* def = nullptr;
            lilv_port_get_range(p, port, &def, nullptr, nullptr);
            ASSERT_NE(def, nullptr) << symbols[i];
            const double want = symbols[i] == "rms_channel_config"   ? expected.at(pc.channels).first
                                : symbols[i] == "ebu_channel_config" ? expected.at(pc.channels).second
                                                                     : plug->GetParam(i)->GetDefault();
            EXPECT_EQ(lilv_node_as_float(def), static_cast<float>(want)) << pc.uri << " " << symbols[i];
            lilv_node_free(def);
        }
    }
}
