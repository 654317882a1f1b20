// The loudness-history plot drawn from a made-up history: where its lines go, what it shows around them, and
// that long programmes and both file formats come out whole.
#include <cairo.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "WavFiles.h"
#include "cli/Plot.h"

namespace quenlix::cli {
namespace {

using test::ScratchDir;

// Index of each output in a history row (kOutputParams order).
int column(int param) {
    for (std::size_t k = 0; k < kOutputParams.size(); ++k)
        if (kOutputParams[k] == param) return static_cast<int>(k);
    return -1;
}

// An EBU R128 programme of `seconds` at -30 LUFS with a passage at -12 LUFS from `loudFrom` to `loudTo` s.
FileReport programme(double seconds, double loudFrom, double loudTo) {
    FileReport r;
    r.file = "programme.wav";
    r.ok = r.hasFormat = r.hasResults = true;
    r.sampleRate = 48000;
    r.channels = 2;
    r.frames = static_cast<std::int64_t>(seconds * 48000);
    r.measurements.meterType = 1;
    r.measurements.integratedLufs = -27.0;
    r.measurements.truePeakDbtp = -3.0;
    r.history.periodS = 0.05;
    std::vector<double> row(kOutputParams.size(), -60.0);
    for (int i = 1; i * 0.05 <= seconds + 1e-9; ++i) {
        double t = i * 0.05;
        bool loud = t >= loudFrom && t < loudTo;
        row[column(13)] = (loud ? -12.0 : -30.0) + std::sin(t * 7.0);  // momentary wobbles
        row[column(15)] = t < 3.0 ? -60.0 : loud ? -12.0 : -30.0;      // short-term valid after 3 s
        row[column(12)] = t < 0.4 ? -60.0 : -27.0;
        row[column(17)] = -3.0;
        r.history.add(row);
    }
    return r;
}

struct Picture {
    cairo_surface_t* surface;
    explicit Picture(const std::string& png) : surface(cairo_image_surface_create_from_png(png.c_str())) {}
    ~Picture() { cairo_surface_destroy(surface); }
    bool ok() const { return cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS; }
    int width() const { return cairo_image_surface_get_width(surface); }
    int height() const { return cairo_image_surface_get_height(surface); }
    // 0xRRGGBB of the pixel.
    std::uint32_t at(int x, int y) const {
        const unsigned char* row =
            cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
        return reinterpret_cast<const std::uint32_t*>(row)[x] & 0xFFFFFF;
    }
    // Whether a pixel near 0xRRGGBB (each channel within `tolerance`) lies in the rectangle.
    bool has(std::uint32_t rgb, int x0, int y0, int x1, int y1, int tolerance = 40) const {
        for (int y = std::max(0, y0); y < std::min(height(), y1); ++y)
            for (int x = std::max(0, x0); x < std::min(width(), x1); ++x)
                if (close(at(x, y), rgb, tolerance)) return true;
        return false;
    }
    static bool close(std::uint32_t a, std::uint32_t b, int tolerance) {
        for (int shift : {0, 8, 16})
            if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) >
                tolerance)
                return false;
        return true;
    }
};

constexpr std::uint32_t kShortTermBlue = 0x0D4094;
constexpr std::uint32_t kIntegratedOrange = 0xE66E0A;
constexpr std::uint32_t kTargetGreen = 0x1A8C33;
constexpr std::uint32_t kOverRed = 0xD91414;

class Plot : public ::testing::Test {
  protected:
    ScratchDir dir;
};

TEST_F(Plot, ShortTermPeaksInTheColumnsOfTheLoudPassage) {
    // 120 s, loud from 60 to 70 s: on the default 1200 px the frame runs from x 54 to x 1184.
    FileReport r = programme(120.0, 60.0, 70.0);
    std::string png = dir.file("plot.png");
    std::string error;
    ASSERT_TRUE(writePlot(r, nullptr, png, kDefaultPlotWidth, kDefaultPlotHeight, error)) << error;
    Picture p(png);
    ASSERT_TRUE(p.ok());
    EXPECT_EQ(p.width(), 1200);
    EXPECT_EQ(p.height(), 400);

    int topRow = p.height(), topColumn = -1;
    for (int x = 0; x < p.width(); ++x)
        for (int y = 40; y < p.height() - 40; ++y)
            if (Picture::close(p.at(x, y), kShortTermBlue, 30) && y < topRow) {
                topRow = y;
                topColumn = x;
            }
    const double x60 = 54.0 + 1130.0 * 60.0 / 120.0, x70 = 54.0 + 1130.0 * 70.0 / 120.0;
    EXPECT_GE(topColumn, x60 - 3) << "short-term highest at x " << topColumn;
    EXPECT_LE(topColumn, x70 + 3) << "short-term highest at x " << topColumn;
    // Outside the passage the line runs 18 dB lower.
    EXPECT_FALSE(p.has(kShortTermBlue, 0, 30, static_cast<int>(x60) - 4, topRow + 20, 30));

    // Legend swatches along the top, the frame's left edge and its labels.
    EXPECT_TRUE(p.has(kIntegratedOrange, p.width() / 2, 0, p.width(), 28));
    EXPECT_TRUE(p.has(kShortTermBlue, p.width() / 2, 0, p.width(), 28));
    int inkOnLeftEdge = 0;
    for (int y = 30; y < p.height() - 40; ++y) inkOnLeftEdge += p.at(54, y) < 0x404040 ? 1 : 0;
    EXPECT_GT(inkOnLeftEdge, (p.height() - 70) * 9 / 10);
    EXPECT_TRUE(p.has(0x000000, 0, 40, 50, p.height() - 40, 90)) << "level labels";
    EXPECT_TRUE(p.has(0x000000, 54, p.height() - 28, p.width(), p.height(), 90)) << "time labels";
}

TEST_F(Plot, TargetBandAndPeakOversAppearWithATarget) {
    FileReport r = programme(60.0, 20.0, 30.0);
    const int over = column(17);
    for (std::size_t row = 500; row < r.history.size(); ++row)  // true peak rises past -1 at 25 s
        r.history.values[row * kOutputParams.size() + over] = -0.2f;
    std::string error;
    std::optional<DeliveryTarget> target = parseTarget("ebu", error);
    ASSERT_TRUE(target);
    r.check = checkTarget(*target, r.measurements);
    std::string png = dir.file("target.png");
    ASSERT_TRUE(writePlot(r, &*target, png, 800, 300, error)) << error;
    Picture p(png);
    ASSERT_TRUE(p.ok());
    EXPECT_EQ(p.width(), 800);
    EXPECT_TRUE(p.has(kTargetGreen, 54, 30, p.width() - 16, p.height() - 40, 30)) << "target line";
    const int x25 = static_cast<int>(54.0 + (800.0 - 16.0 - 54.0) * 25.0 / 60.0);
    EXPECT_TRUE(p.has(kOverRed, x25 - 3, 30, x25 + 4, 40, 30)) << "over marked at 25 s";
    EXPECT_FALSE(p.has(kOverRed, 60, 30, x25 - 8, 40, 30)) << "no over before it";
}

// Well-formed XML: every element closed in order, attribute values quoted, one root.
bool wellFormedXml(const std::string& xml, std::string& why) {
    std::vector<std::string> open;
    int roots = 0;
    for (std::size_t at = xml.find('<'); at != std::string::npos; at = xml.find('<', at)) {
        if (xml.compare(at, 4, "<!--") == 0 || xml.compare(at, 2, "<?") == 0) {
            std::size_t end = xml.find(xml[at + 1] == '!' ? "-->" : "?>", at);
            if (end == std::string::npos) return (why = "unterminated comment"), false;
            at = end;
            continue;
        }
        std::size_t end = at + 1;
        char quote = 0;
        for (; end < xml.size() && (quote != 0 || xml[end] != '>'); ++end)
            if (xml[end] == '"' || xml[end] == '\'')
                quote = quote == 0 ? xml[end] : quote == xml[end] ? 0 : quote;
        if (end >= xml.size()) return (why = "unterminated tag"), false;
        std::string tag = xml.substr(at + 1, end - at - 1);
        at = end;
        if (tag.empty()) return (why = "empty tag"), false;
        if (tag[0] == '/') {
            std::string name = tag.substr(1);
            if (open.empty() || open.back() != name) return (why = "</" + name + "> out of order"), false;
            open.pop_back();
            continue;
        }
        std::string name = tag.substr(0, tag.find_first_of(" \t\r\n/"));
        if (open.empty()) ++roots;
        if (tag.back() != '/') open.push_back(name);
    }
    if (!open.empty()) return (why = "<" + open.back() + "> never closed"), false;
    if (roots != 1) return (why = std::to_string(roots) + " root elements"), false;
    return true;
}

TEST_F(Plot, SvgIsWellFormedXml) {
    FileReport r = programme(30.0, 10.0, 20.0);
    std::string svg = dir.file("plot.svg");
    std::string error;
    ASSERT_TRUE(writePlot(r, nullptr, svg, 1200, 400, error)) << error;
    std::string xml = test::readFile(svg);
    EXPECT_NE(xml.find("<svg"), std::string::npos);
    std::string why;
    EXPECT_TRUE(wellFormedXml(xml, why)) << why;
}

TEST_F(Plot, ThreeHoursPlotWithHourLabelsAndAnUnwritablePathIsAnError) {
    FileReport r = programme(3 * 3600.0, 3600.0, 3660.0);
    ASSERT_EQ(r.history.size(), 216000u);
    std::string png = dir.file("long.png");
    std::string error;
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(writePlot(r, nullptr, png, kDefaultPlotWidth, kDefaultPlotHeight, error)) << error;
    std::printf("3 h plot drawn in %.0f ms\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    EXPECT_TRUE(Picture(png).ok());
    EXPECT_EQ(plotTimeLabel(3 * 3600.0, true), "3:00:00");
    EXPECT_EQ(plotTimeLabel(754.4, false), "12:34");

    EXPECT_FALSE(writePlot(r, nullptr, dir.file("no/such/dir/p.png"), 1200, 400, error));
    EXPECT_NE(error.find("cannot write plot"), std::string::npos) << error;
    EXPECT_FALSE(writePlot(r, nullptr, dir.file("no/such/dir/p.svg"), 1200, 400, error));
    EXPECT_NE(error.find("cannot write plot"), std::string::npos) << error;
}

}  // namespace
}  // namespace quenlix::cli

#if defined(__SANITIZE_ADDRESS__)
// cairo finds its fonts through fontconfig, whose caches hold their blocks by offsets LeakSanitizer cannot
// follow; those blocks live until the process ends.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
#endif
