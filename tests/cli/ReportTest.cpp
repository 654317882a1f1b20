#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/Report.h"

namespace quenlix::cli {
namespace {

FileReport measured(int meterType) {
    FileReport r;
    r.file = "x.wav";
    r.version = "1.3.0";
    r.ok = true;
    r.hasFormat = r.hasResults = true;
    r.sampleRate = 48000;
    r.channels = 2;
    r.frames = 96000;
    r.settings = {{"Type", double(meterType), meterType == 1 ? "EBU R128" : "RMS", ""},
                  {"RMS Window", 300.0, "300", "ms"}};
    r.outputs = {{"OUT:EBU IL", -23.0, "-23.0", "LUFS"}};
    r.readouts = {{"IL", "-23.0"}, {"LRA", "---"}};
    r.measurements.meterType = meterType;
    r.measurements.integratedLufs = -23.0123;
    r.measurements.truePeakDbtp = -144.0;
    r.measurements.truePeakDbtpPerChannel = {-20.5, -21.0, -144.0, -144.0, -144.0, -144.0};
    r.measurements.integratedDbfs = -20.01;
    r.measurements.crestDb = 3.01;
    return r;
}

nlohmann::json asJson(const std::vector<FileReport>& reports) {
    std::ostringstream out;
    writeJson(reports, out);
    return nlohmann::json::parse(out.str());
}

TEST(JsonReport, EbuObjectHasEveryFieldWithNullsWhereNotValid) {
    auto j = asJson({measured(1)})[0];
    for (const char* key : {"file", "version", "ok", "error", "sample_rate", "channels", "frames", "settings",
                            "outputs", "readouts", "measurements"})
        EXPECT_TRUE(j.contains(key)) << key;
    EXPECT_EQ(j["settings"]["Type"], "EBU R128");
    EXPECT_EQ(j["settings"]["RMS Window"], "300 ms");
    EXPECT_EQ(j["outputs"]["OUT:EBU IL"], -23.0);
    EXPECT_EQ(j["readouts"]["LRA"], "---");
    const auto& m = j["measurements"];
    EXPECT_EQ(m.size(), 8u);
    EXPECT_DOUBLE_EQ(m["integrated_lufs"].get<double>(), -23.0123);
    EXPECT_TRUE(m["loudness_range_lu"].is_null());
    EXPECT_TRUE(m["momentary_lufs"].is_null());
    EXPECT_EQ(m["true_peak_dbtp"], -144.0) << "silence is a value, not a missing one";
    EXPECT_EQ(m["true_peak_dbtp_per_channel"].size(), 6u);
    EXPECT_FALSE(m.contains("crest_db"));
}

TEST(JsonReport, RmsObjectCarriesTheRmsKeysOnly) {
    auto m = asJson({measured(0)})[0]["measurements"];
    EXPECT_EQ(m.size(), 6u);
    for (const char* key : {"integrated_dbfs", "momentary_dbfs", "momentary_max_dbfs", "sample_peak_dbfs",
                            "true_peak_dbfs", "crest_db"})
        EXPECT_TRUE(m.contains(key)) << key;
    EXPECT_DOUBLE_EQ(m["crest_db"].get<double>(), 3.01);
}

TEST(JsonReport, AFailedFileKeepsTheShapeWithNulls) {
    FileReport r;
    r.file = "gone.wav";
    r.error = "No such file or directory";
    auto j = asJson({r})[0];
    EXPECT_FALSE(j["ok"].get<bool>());
    EXPECT_EQ(j["error"], "No such file or directory");
    for (const char* key :
         {"version", "sample_rate", "channels", "frames", "settings", "outputs", "readouts", "measurements"})
        EXPECT_TRUE(j[key].is_null()) << key;
}

TEST(JsonReport, NonFiniteNumbersBecomeNullSoTheOutputStaysJson) {
    FileReport r = measured(1);
    r.measurements.integratedLufs = std::numeric_limits<double>::quiet_NaN();
    r.outputs[0].value = std::numeric_limits<double>::infinity();
    auto j = asJson({r})[0];
    EXPECT_TRUE(j["measurements"]["integrated_lufs"].is_null());
    EXPECT_TRUE(j["outputs"]["OUT:EBU IL"].is_null());
}

TEST(JsonReport, AFileNameThatIsNotUtf8StillGivesJson) {
    FileReport r;
    r.file = "take\xff\xfe.wav";
    r.error = "No such file or directory";
    auto j = asJson({r})[0];
    EXPECT_EQ(j["file"], "take\xef\xbf\xbd\xef\xbf\xbd.wav");
}

TEST(TableReport, PairsEachReadoutWithItsMeasurement) {
    std::ostringstream out;
    writeTable(measured(1), out);
    std::string t = out.str();
    EXPECT_NE(t.find("x.wav  (48000 Hz, 2 ch, 2.00 s)  Quenlix 1.3.0"), std::string::npos) << t;
    EXPECT_NE(t.find("IL"), std::string::npos);
    EXPECT_NE(t.find("-23.0     -23.012 LUFS"), std::string::npos) << t;
    EXPECT_NE(t.find("-inf dBTP"), std::string::npos) << t;
    EXPECT_NE(t.find("LRA           ---         --- LU"), std::string::npos) << t;
}

}  // namespace
}  // namespace quenlix::cli
