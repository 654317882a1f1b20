#include "cli/Plot.h"

#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "cli/OutputFiles.h"
#include "plugin/QuenlixParams.h"

namespace quenlix::cli {
namespace {

struct Rgb {
    double r, g, b;
};
constexpr Rgb kBand = {0.66, 0.79, 0.94};
constexpr Rgb kLine = {0.05, 0.25, 0.58};
constexpr Rgb kIntegrated = {0.90, 0.43, 0.04};
constexpr Rgb kTarget = {0.10, 0.55, 0.20};
constexpr Rgb kOver = {0.85, 0.08, 0.08};
constexpr Rgb kGrid = {0.87, 0.87, 0.87};
constexpr Rgb kInk = {0.12, 0.12, 0.12};
constexpr const char* kFont = "DejaVu Sans";

// The outputs are published within -60 .. +12 dB; the floor is what silence and "not measured yet" read as,
// so it is drawn as no value.
constexpr float kFloorDb = -59.95f;
// The true-peak limit for marking overs when no target gives one.
constexpr double kDefaultOverDbtp = 0.0;

struct Roles {
    int band, line, integrated, truePeak;
    const char *bandName, *lineName, *integratedName, *unit;
};
constexpr Roles kEbuRoles = {ParamOf(Readout::kEbuMomentary),
                             ParamOf(Readout::kEbuShortTerm),
                             ParamOf(Readout::kEbuIntegrated),
                             ParamOf(Readout::kEbuTruePeakMax),
                             "Momentary",
                             "Short-term",
                             "Integrated",
                             "LUFS"};
constexpr Roles kRmsRoles = {ParamOf(Readout::kRmsMomentary),
                             ParamOf(Readout::kRmsSamplePeakMax),
                             ParamOf(Readout::kRmsIntegrated),
                             ParamOf(Readout::kRmsTruePeakMax),
                             "RMS (window)",
                             "Peak max",
                             "Integrated RMS",
                             "dBFS"};

void setColour(cairo_t* cr, const Rgb& c, double alpha = 1.0) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

double textWidth(cairo_t* cr, const std::string& text) {
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    return e.x_advance;
}

void text(cairo_t* cr, double x, double y, const std::string& s) {
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, s.c_str());
}

std::string fixed1(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", v);
    return buf;
}

// Maps programme time and level to pixels inside the plot frame.
struct Frame {
    double left, top, right, bottom;
    double durationS, loDb, hiDb;
    double x(double t) const { return left + (right - left) * (durationS > 0.0 ? t / durationS : 0.0); }
    double y(double db) const {
        db = std::clamp(db, loDb, hiDb);
        return bottom - (bottom - top) * (db - loDb) / (hiDb - loDb);
    }
    int column(double t) const { return static_cast<int>(std::floor(x(t) - left)); }
};

double niceStep(double span, double maxTicks, const std::vector<double>& steps) {
    for (double s : steps)
        if (span / s <= maxTicks) return s;
    return steps.back() * std::ceil(span / maxTicks / steps.back());
}

// The level range shown: everything the lines reach above the floor, the target band and the peak limit,
// rounded out to 5 dB, at least 30 dB tall.
void levelRange(const LoudnessHistory& h, const Roles& roles, const DeliveryTarget* target, bool ebu,
                double& lo, double& hi) {
    double top = -100.0, low = 100.0;
    for (std::size_t r = 0; r < h.size(); ++r) {
        for (int p : {roles.band, roles.line, roles.integrated}) {
            float v = h.at(r, p);
            if (v <= kFloorDb) continue;
            top = std::max(top, static_cast<double>(v));
            if (p != roles.band) low = std::min(low, static_cast<double>(v));
        }
    }
    if (target && ebu) {
        top = std::max(top, target->integratedLufs + target->toleranceLu);
        low = std::min(low, target->integratedLufs - target->toleranceLu);
    }
    if (top < low) top = low = -23.0;  // nothing measured: a range around a typical programme level
    hi = std::min(12.0, 5.0 * std::ceil((top + 2.0) / 5.0));
    lo = std::max(-60.0, 5.0 * std::floor((low - 5.0) / 5.0));
    if (hi - lo < 30.0) lo = std::max(-60.0, hi - 30.0);
    if (hi - lo < 30.0) hi = lo + 30.0;
}

void drawAxes(cairo_t* cr, const Frame& f, const Roles& roles) {
    cairo_set_font_size(cr, 11.0);
    double span = f.hiDb - f.loDb;
    double dbStep = span <= 40.0 ? 5.0 : 10.0;
    cairo_set_line_width(cr, 1.0);
    for (double db = std::ceil(f.loDb / dbStep) * dbStep; db <= f.hiDb + 1e-9; db += dbStep) {
        double y = std::round(f.y(db)) + 0.5;
        setColour(cr, kGrid);
        cairo_move_to(cr, f.left, y);
        cairo_line_to(cr, f.right, y);
        cairo_stroke(cr);
        std::string label = fixed1(db).substr(0, fixed1(db).size() - 2);
        setColour(cr, kInk);
        text(cr, f.left - 6.0 - textWidth(cr, label), y + 4.0, label);
    }
    const bool hours = f.durationS >= 3600.0;
    double tStep = niceStep(f.durationS, std::max(2.0, (f.right - f.left) / 90.0),
                            {1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200});
    for (double t = 0.0; t <= f.durationS + 1e-9; t += tStep) {
        double x = std::round(f.x(t)) + 0.5;
        setColour(cr, kGrid);
        cairo_move_to(cr, x, f.top);
        cairo_line_to(cr, x, f.bottom);
        cairo_stroke(cr);
        std::string label = plotTimeLabel(t, hours);
        setColour(cr, kInk);
        text(cr, x - textWidth(cr, label) / 2.0, f.bottom + 15.0, label);
    }
    setColour(cr, kInk);
    cairo_rectangle(cr, f.left + 0.5, f.top + 0.5, f.right - f.left - 1.0, f.bottom - f.top - 1.0);
    cairo_stroke(cr);

    std::string timeTitle = hours ? "time (h:mm:ss)" : "time (m:ss)";
    text(cr, (f.left + f.right) / 2.0 - textWidth(cr, timeTitle) / 2.0, f.bottom + 31.0, timeTitle);
    cairo_save(cr);
    cairo_move_to(cr, 16.0, (f.top + f.bottom) / 2.0 + textWidth(cr, roles.unit) / 2.0);
    cairo_rotate(cr, -M_PI / 2.0);
    cairo_show_text(cr, roles.unit);
    cairo_restore(cr);
}

// Per pixel column, the lowest, highest and mean value of one output; columns without a value are empty.
struct Column {
    float lo = 0.0f, hi = 0.0f;
    double sum = 0.0;
    int count = 0;
};

std::vector<Column> columns(const LoudnessHistory& h, int param, const Frame& f) {
    std::vector<Column> cols(static_cast<std::size_t>(std::max(1.0, f.right - f.left)));
    for (std::size_t r = 0; r < h.size(); ++r) {
        float v = h.at(r, param);
        if (v <= kFloorDb) continue;
        int c = std::clamp(f.column(h.timeS(r)), 0, static_cast<int>(cols.size()) - 1);
        Column& col = cols[static_cast<std::size_t>(c)];
        col.lo = col.count == 0 ? v : std::min(col.lo, v);
        col.hi = col.count == 0 ? v : std::max(col.hi, v);
        col.sum += v;
        ++col.count;
    }
    return cols;
}

void drawBand(cairo_t* cr, const LoudnessHistory& h, int param, const Frame& f) {
    std::vector<Column> cols = columns(h, param, f);
    for (std::size_t c = 0; c < cols.size(); ++c) {
        if (cols[c].count == 0) continue;
        double top = f.y(cols[c].hi), bottom = f.y(cols[c].lo);
        cairo_rectangle(cr, f.left + static_cast<double>(c), top - 0.75, 1.0, bottom - top + 1.5);
    }
    setColour(cr, kBand);
    cairo_fill(cr);
}

// A line through the column means; it breaks where the output has no value for longer than a column.
void drawLine(cairo_t* cr, const LoudnessHistory& h, int param, const Frame& f, const Rgb& colour,
              double width) {
    std::vector<Column> cols = columns(h, param, f);
    double rowsPerColumn = static_cast<double>(h.size()) / static_cast<double>(cols.size());
    int gapColumns = std::max(2, static_cast<int>(std::ceil(1.0 / std::max(rowsPerColumn, 1e-9))) + 1);
    int lastColumn = -1000000;
    for (std::size_t c = 0; c < cols.size(); ++c) {
        if (cols[c].count == 0) continue;
        double x = f.left + static_cast<double>(c) + 0.5;
        double y = f.y(cols[c].sum / cols[c].count);
        if (static_cast<int>(c) - lastColumn > gapColumns)
            cairo_move_to(cr, x, y);
        else
            cairo_line_to(cr, x, y);
        lastColumn = static_cast<int>(c);
    }
    setColour(cr, colour);
    cairo_set_line_width(cr, width);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
}

void drawTarget(cairo_t* cr, const DeliveryTarget& t, const Frame& f) {
    double top = f.y(t.integratedLufs + t.toleranceLu), bottom = f.y(t.integratedLufs - t.toleranceLu);
    cairo_rectangle(cr, f.left, top, f.right - f.left, std::max(1.0, bottom - top));
    setColour(cr, kTarget, 0.16);
    cairo_fill(cr);
    const double dash[] = {6.0, 4.0};
    cairo_set_dash(cr, dash, 2, 0.0);
    cairo_set_line_width(cr, 1.0);
    setColour(cr, kTarget);
    const double y = std::round(f.y(t.integratedLufs)) + 0.5;  // on a pixel row: crisp, in its full colour
    cairo_move_to(cr, f.left, y);
    cairo_line_to(cr, f.right, y);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0.0);
}

// Marks each publish at which the true-peak maximum rose past the limit: a red tick on the frame's top edge.
// Returns how many columns were marked.
int drawOvers(cairo_t* cr, const LoudnessHistory& h, int param, double limit, const Frame& f) {
    int marked = 0, lastColumn = -1;
    float before = -200.0f;
    for (std::size_t r = 0; r < h.size(); ++r) {
        float v = h.at(r, param);
        bool over = v > before && v > limit + 0.05;
        before = std::max(before, v);
        if (!over) continue;
        int c = f.column(h.timeS(r));
        if (c == lastColumn) continue;
        lastColumn = c;
        double x = f.left + c + 0.5;
        cairo_move_to(cr, x - 5.0, f.top);
        cairo_line_to(cr, x + 5.0, f.top);
        cairo_line_to(cr, x, f.top + 9.0);
        cairo_close_path(cr);
        ++marked;
    }
    setColour(cr, kOver);
    cairo_fill(cr);
    return marked;
}

struct LegendItem {
    std::string name;
    Rgb colour;
    int kind;  // 0 band, 1 line, 2 dashed band, 3 marker
};

void drawLegend(cairo_t* cr, const std::vector<LegendItem>& items, double right, double baseline) {
    cairo_set_font_size(cr, 11.0);
    double x = right;
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        x -= textWidth(cr, it->name);
        setColour(cr, kInk);
        text(cr, x, baseline, it->name);
        x -= 22.0;
        double y = baseline - 4.0;
        setColour(cr, it->colour, it->kind == 2 ? 0.35 : 1.0);
        if (it->kind == 0 || it->kind == 2) {
            cairo_rectangle(cr, x, y - 4.0, 16.0, 8.0);
            cairo_fill(cr);
        } else if (it->kind == 1) {
            cairo_set_line_width(cr, 2.0);
            cairo_move_to(cr, x, y);
            cairo_line_to(cr, x + 16.0, y);
            cairo_stroke(cr);
        } else {
            cairo_move_to(cr, x + 3.0, y - 4.0);
            cairo_line_to(cr, x + 13.0, y - 4.0);
            cairo_line_to(cr, x + 8.0, y + 5.0);
            cairo_close_path(cr);
            cairo_fill(cr);
        }
        x -= 14.0;
    }
}

std::string valueText(const std::optional<double>& v, const char* unit) {
    if (!v || !std::isfinite(*v)) return "---";
    if (*v <= -144.0) return std::string("-inf ") + unit;
    return fixed1(*v) + " " + unit;
}

// The summary figures and the verdict, one line each with its colour.
std::vector<std::pair<std::string, Rgb>> summaryLines(const FileReport& report) {
    const Measurements& m = report.measurements;
    std::vector<std::pair<std::string, Rgb>> lines;
    if (m.meterType == 1) {
        lines.push_back({"Integrated  " + valueText(m.integratedLufs, "LUFS"), kInk});
        lines.push_back({"Range  " + valueText(m.loudnessRangeLu, "LU"), kInk});
        lines.push_back({"True peak  " + valueText(m.truePeakDbtp, "dBTP"), kInk});
        lines.push_back({"Max M  " + valueText(m.momentaryMaxLufs, "LUFS") + "   Max S  " +
                             valueText(m.shortTermMaxLufs, "LUFS"),
                         kInk});
    } else {
        lines.push_back({"Integrated  " + valueText(m.integratedDbfs, "dBFS"), kInk});
        lines.push_back({"Max RMS  " + valueText(m.momentaryMaxDbfs, "dBFS"), kInk});
        lines.push_back({"Peak  " + valueText(m.samplePeakDbfs, "dBFS") + "   True peak  " +
                             valueText(m.truePeakDbfs, "dBFS"),
                         kInk});
        lines.push_back({"Crest  " + valueText(m.crestDb, "dB"), kInk});
    }
    if (report.check) {
        const Verdict& v = *report.check;
        lines.push_back({v.target + ": " + (v.pass ? "PASS" : "FAIL"), v.pass ? kTarget : kOver});
        for (const std::string& why : v.failures) lines.push_back({"  " + why, kOver});
    }
    return lines;
}

// How many drawn points of the lines fall into the box [x0, x1] x [y0, y1].
int pointsUnder(const std::vector<std::vector<Column>>& lines, const Frame& f, double x0, double x1,
                double y0, double y1) {
    int n = 0;
    for (const std::vector<Column>& cols : lines) {
        for (std::size_t c = 0; c < cols.size(); ++c) {
            double x = f.left + static_cast<double>(c);
            if (cols[c].count == 0 || x < x0 || x > x1) continue;
            double top = f.y(cols[c].hi), bottom = f.y(cols[c].lo);
            if (bottom >= y0 && top <= y1) ++n;
        }
    }
    return n;
}

// The summary in a box in the corner of the frame that hides the fewest points of the lines.
void drawSummary(cairo_t* cr, const FileReport& report, const Frame& f, const Roles& roles) {
    std::vector<std::pair<std::string, Rgb>> lines = summaryLines(report);
    cairo_set_font_size(cr, 11.0);
    double width = 0.0;
    for (const auto& line : lines) width = std::max(width, textWidth(cr, line.first));
    const double lineHeight = 14.0, pad = 6.0, inset = 8.0;
    const double boxW = width + 2.0 * pad,
                 boxH = lineHeight * static_cast<double>(lines.size()) + 2.0 * pad - 2.0;

    const std::vector<std::vector<Column>> drawn = {columns(report.history, roles.band, f),
                                                    columns(report.history, roles.line, f),
                                                    columns(report.history, roles.integrated, f)};
    const double xs[] = {f.left + inset, f.right - inset - boxW};
    const double ys[] = {f.top + inset + 8.0, f.bottom - inset - boxH};
    double x = xs[0], y = ys[0];
    int fewest = -1;
    for (double cy : ys) {
        for (double cx : xs) {
            int n = pointsUnder(drawn, f, cx, cx + boxW, cy, cy + boxH);
            if (fewest < 0 || n < fewest) {
                fewest = n;
                x = cx;
                y = cy;
            }
        }
    }

    cairo_rectangle(cr, x, y, boxW, boxH);
    cairo_set_source_rgba(cr, 1.0, 1.0, 1.0, 0.88);
    cairo_fill_preserve(cr);
    setColour(cr, kGrid);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    const std::size_t verdictLine = report.check ? lines.size() - report.check->failures.size() - 1 : 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        bool bold = i == 0 || (report.check && i == verdictLine);
        cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL,
                               bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
        setColour(cr, lines[i].second);
        text(cr, x + pad, y + pad + 9.0 + lineHeight * static_cast<double>(i), lines[i].first);
    }
    cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
}

void draw(cairo_t* cr, const FileReport& report, const DeliveryTarget* target, int width, int height) {
    const LoudnessHistory& h = report.history;
    const bool ebu = report.measurements.meterType == 1;
    const Roles& roles = ebu ? kEbuRoles : kRmsRoles;

    cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
    cairo_paint(cr);
    cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);

    Frame f{};
    f.left = 54.0;
    f.top = 30.0;
    f.right = width - 16.0;
    f.bottom = height - 40.0;
    double rowsEnd = h.size() > 0 ? h.timeS(h.size() - 1) : 0.0;
    double framesEnd = report.sampleRate > 0 ? static_cast<double>(report.frames) / report.sampleRate : 0.0;
    f.durationS = std::max({rowsEnd, framesEnd, 1.0});
    levelRange(h, roles, target, ebu, f.loDb, f.hiDb);

    drawAxes(cr, f, roles);
    cairo_save(cr);
    cairo_rectangle(cr, f.left, f.top, f.right - f.left, f.bottom - f.top);
    cairo_clip(cr);
    if (target && ebu) drawTarget(cr, *target, f);
    drawBand(cr, h, roles.band, f);
    drawLine(cr, h, roles.band, f, kBand, 1.2);
    drawLine(cr, h, roles.line, f, kLine, 1.6);
    drawLine(cr, h, roles.integrated, f, kIntegrated, 2.0);
    double limit = target && target->truePeakDbtp ? *target->truePeakDbtp : kDefaultOverDbtp;
    drawOvers(cr, h, roles.truePeak, limit, f);
    cairo_restore(cr);

    std::string title = report.album ? "album" : report.file == "-" ? "standard input" : report.file;
    title += ebu ? "  \u2014  EBU R128 loudness" : "  \u2014  RMS level";
    cairo_set_font_size(cr, 13.0);
    cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    setColour(cr, kInk);
    text(cr, f.left, 19.0, title);
    cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);

    std::vector<LegendItem> legend = {
        {roles.bandName, kBand, 0}, {roles.lineName, kLine, 1}, {roles.integratedName, kIntegrated, 1}};
    if (target && ebu)
        legend.push_back(
            {"Target " + fixed1(target->integratedLufs) + " +-" + fixed1(target->toleranceLu), kTarget, 2});
    legend.push_back({"True peak over " + fixed1(limit), kOver, 3});
    drawLegend(cr, legend, f.right, 19.0);
    drawSummary(cr, report, f, roles);
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

std::optional<PlotFormat> plotFormatFor(const std::string& path) {
    std::string p = lower(path);
    auto endsWith = [&](const char* ext) {
        std::string e = ext;
        return p.size() > e.size() && p.compare(p.size() - e.size(), e.size(), e) == 0;
    };
    if (endsWith(".png")) return PlotFormat::Png;
    if (endsWith(".svg")) return PlotFormat::Svg;
    return std::nullopt;
}

std::string plotTimeLabel(double seconds, bool withHours) {
    long total = static_cast<long>(std::floor(seconds + 0.5));
    char buf[32];
    if (withHours)
        std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(buf, sizeof buf, "%ld:%02ld", total / 60, total % 60);
    return buf;
}

namespace {

// The plot's file, written through cairo's stream calls so that a failed write keeps the system's reason
// (cairo's own file writing only says "error while writing to output stream").
struct PlotFile {
    std::FILE* file = nullptr;
    int firstErrno = 0;
};

cairo_status_t writeToPlotFile(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<PlotFile*>(closure);
    if (out->firstErrno != 0) return CAIRO_STATUS_WRITE_ERROR;
    errno = 0;
    if (std::fwrite(data, 1, length, out->file) != length) {
        out->firstErrno = errno != 0 ? errno : EIO;
        return CAIRO_STATUS_WRITE_ERROR;
    }
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

bool writePlot(const FileReport& report, const DeliveryTarget* target, const std::string& path, int width,
               int height, std::string& error) {
    std::optional<PlotFormat> format = plotFormatFor(path);
    if (!format) {
        error = "plot " + path + ": the name must end in .png or .svg";
        return false;
    }
    PlotFile out;
    auto openFile = [&] {
        out.file = std::fopen(path.c_str(), "wb");
        if (out.file == nullptr) error = "cannot write plot " + path + ": " + systemReason(errno);
        return out.file != nullptr;
    };
    // The SVG surface writes as it draws; the PNG is encoded once the picture is drawn.
    if (*format == PlotFormat::Svg && !openFile()) return false;
    using SurfacePtr = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
    SurfacePtr surface(*format == PlotFormat::Svg
                           ? cairo_svg_surface_create_for_stream(writeToPlotFile, &out, width, height)
                           : cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height),
                       cairo_surface_destroy);
    cairo_status_t status = cairo_surface_status(surface.get());
    if (status == CAIRO_STATUS_SUCCESS) {
        cairo_t* cr = cairo_create(surface.get());
        draw(cr, report, target, width, height);
        status = cairo_status(cr);
        cairo_destroy(cr);
    }
    if (status == CAIRO_STATUS_SUCCESS && *format == PlotFormat::Png) {
        if (!openFile()) return false;
        status = cairo_surface_write_to_png_stream(surface.get(), writeToPlotFile, &out);
    }
    cairo_surface_finish(surface.get());
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface.get());
    std::string reason;
    const bool closed = out.file == nullptr || closeOutputFile(out.file, out.firstErrno, reason);
    if (status != CAIRO_STATUS_SUCCESS || !closed) {
        error = "cannot write plot " + path + ": " +
                (!reason.empty() ? reason : std::string(cairo_status_to_string(status)));
        return false;
    }
    return true;
}

}  // namespace quenlix::cli
