// The trend picture: one panel per table and axis, in raw units as the LED
// check prints them, so the cutline is the line a receiver must stay above.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "reports/DailyTable.h"
#include "reports/LedCheck.h"
#include "text/Escape.h"
#include "trend/TrendOutputs.h"

namespace trend {

using reports::TableDateText;
using text::XmlText;

namespace {

constexpr double kWidth = 980;
constexpr double kPanelHeight = 360;
constexpr double kLeft = 72, kRight = 250, kTop = 56, kBottom = 58;  // plot margins within a panel
constexpr std::size_t kMaxDrawn = 8;
constexpr const char* kColours[kMaxDrawn] = {"#0072B2", "#E69F00", "#009E73", "#CC79A7",
                                             "#56B4E9", "#8C564B", "#7F7F00", "#9467BD"};

// A step of 1, 2 or 5 times a power of ten that gives at most about `count` ticks.
double NiceStep(double range, int count) {
    const double raw = range / count;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= raw) return m * power;
    return 10 * power;
}

// Most urgent first: below, then crossing soonest, then dropped; by level within.
bool MoreUrgent(const ReceiverTrend* a, const ReceiverTrend* b) {
    const auto rank = [](const ReceiverTrend* r) {
        return r->flags & kFlagBelow ? 0 : r->flags & kFlagCrossing ? 1 : 2;
    };
    if (rank(a) != rank(b)) return rank(a) < rank(b);
    if (rank(a) == 1 && a->daysToThreshold != b->daysToThreshold) return a->daysToThreshold < b->daysToThreshold;
    return a->latestPercent < b->latestPercent;
}

std::string ReasonText(const ReceiverTrend& r, int threshold) {
    std::string text = FlagText(r.flags);
    if ((r.flags & kFlagCrossing) && !std::isnan(r.daysToThreshold))
        text += r.daysToThreshold == 0 ? FormatText(": at %d %% now", threshold)
                                       : FormatText(": %d %% in %.0f days", threshold, std::ceil(r.daysToThreshold));
    else text += FormatText(": %.0f %%", r.latestPercent);
    return text;
}

class Panel {
public:
    Panel(std::string& svg, double top, const TrendedTable& t, const AxisTrend& axis, const TrendOptions& options)
        : svg_(svg), top_(top), t_(t), axis_(axis), options_(options) {}

    void Draw() {
        const DailyTable& table = t_.table;
        const TableAxis& rows = axis_.name == 'X' ? table.x : table.y;
        // The days the trend looked at: from the earliest window start to the last day.
        first_ = table.days.size() - 1;
        for (const ReceiverTrend& r : axis_.receivers)
            if (r.nDays > 0) first_ = std::min(first_, r.firstDay);
        last_ = table.days.size() - 1;
        for (const ReceiverTrend& r : axis_.receivers)
            if (r.flags && !(r.flags & kFlagDead)) drawn_.push_back(&r);
        std::stable_sort(drawn_.begin(), drawn_.end(), MoreUrgent);
        const std::size_t nFlagged = drawn_.size();
        if (drawn_.size() > kMaxDrawn) drawn_.resize(kMaxDrawn);
        // Room on the right for the trend of a receiver that is crossing, up to the day it reaches the threshold.
        n0_ = table.days[first_].number;
        nLast_ = table.days[last_].number;
        double ahead = 0;
        for (const ReceiverTrend* r : drawn_)
            if (Crosses(*r)) ahead = std::max(ahead, std::ceil(r->daysToThreshold) + 1);
        n1_ = nLast_ + static_cast<std::int64_t>(ahead);

        double top = 0;
        for (std::size_t d = first_; d <= last_; ++d) top = std::max(top, axis_.average[d]);
        for (const ReceiverTrend* r : drawn_)
            for (const DayValue& v : RowOf(rows, r->index).values)
                if (v.day >= first_) top = std::max(top, static_cast<double>(v.value));
        step_ = NiceStep(top > 0 ? top * 1.05 : 100, 6);
        top_value_ = std::ceil((top > 0 ? top * 1.05 : 100) / step_) * step_;

        Title();
        Grid();
        Series(rows);
        Legend(nFlagged);
    }

private:
    double PlotLeft() const { return kLeft; }
    double PlotRight() const { return kWidth - kRight; }
    double PlotTop() const { return top_ + kTop; }
    double PlotBottom() const { return top_ + kPanelHeight - kBottom; }
    double XOf(double number) const {
        const double span = static_cast<double>(n1_ - n0_);
        if (span <= 0) return (PlotLeft() + PlotRight()) / 2;
        return PlotLeft() + (PlotRight() - PlotLeft()) * (number - static_cast<double>(n0_)) / span;
    }
    double X(std::size_t day) const { return XOf(static_cast<double>(t_.table.days[day].number)); }
    static bool Crosses(const ReceiverTrend& r) { return (r.flags & kFlagCrossing) && r.daysToThreshold > 0; }
    double Y(double value) const { return PlotBottom() - (PlotBottom() - PlotTop()) * value / top_value_; }

    static const TableRow& RowOf(const TableAxis& rows, std::uint32_t index) {
        return *std::lower_bound(rows.rows.begin(), rows.rows.end(), index,
                                 [](const TableRow& row, std::uint32_t i) { return row.index < i; });
    }

    void Title() {
        std::string name = t_.name.frame;
        if (t_.name.row > 0) name += FormatText(", row %d", t_.name.row);
        const std::size_t nDays = last_ - first_ + 1;
        svg_ +=
            FormatText("<text x=\"%.1f\" y=\"%.1f\" font-size=\"16\" font-weight=\"bold\">", PlotLeft(), top_ + 24) +
            XmlText(name) + FormatText(" \xE2\x80\x94 %c axis</text>\n", axis_.name);
        svg_ += FormatText("<text x=\"%.1f\" y=\"%.1f\" fill=\"#444\">", PlotLeft(), top_ + 42) +
                XmlText(FormatText("%zu days from %s to %s; %zu of %zu receivers flagged; threshold %d %%", nDays,
                                   t_.table.days[first_].date.c_str(), t_.table.days[last_].date.c_str(),
                                   axis_.nFlagged, axis_.receivers.size(), options_.thresholdPercent)) +
                "</text>\n";
    }

    // Grid lines above 0: top_value_ is a whole number of steps.
    int GridSteps() const { return static_cast<int>(std::lround(top_value_ / step_)); }

    void Grid() {
        svg_ += "<g stroke=\"#ddd\" stroke-width=\"1\">\n";
        for (int i = 0; i <= GridSteps(); ++i) {
            const double v = i * step_;
            svg_ += FormatText("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>\n", PlotLeft(), Y(v),
                               PlotRight(), Y(v));
        }
        svg_ += "</g>\n<g font-size=\"11\" text-anchor=\"end\" fill=\"#333\">\n";
        for (int i = 0; i <= GridSteps(); ++i) {
            const double v = i * step_;
            svg_ += FormatText("<text x=\"%.1f\" y=\"%.1f\">%.0f</text>\n", PlotLeft() - 6, Y(v) + 4, v);
        }
        svg_ += "</g>\n";
        svg_ += FormatText(
            "<text transform=\"translate(%.1f %.1f) rotate(-90)\" text-anchor=\"middle\" font-size=\"12\" "
            "fill=\"#333\">level (byte \xC3\x97 40)</text>\n",
            PlotLeft() - 52, (PlotTop() + PlotBottom()) / 2);

        // Date ticks on whole days, at most about eight of them.
        const std::int64_t n0 = n0_, span = n1_ - n0_;
        std::int64_t stepDays = 1;
        for (const std::int64_t s : {1, 2, 5, 7, 14, 28, 56, 91, 182, 365, 730, 1826, 3652})
            if ((stepDays = s) * 8 >= span) break;
        svg_ += "<g font-size=\"11\" text-anchor=\"middle\" fill=\"#333\">\n";
        for (std::int64_t at = 0; at <= span; at += stepDays) {
            const double x =
                span > 0 ? PlotLeft() + (PlotRight() - PlotLeft()) * static_cast<double>(at) / static_cast<double>(span)
                         : (PlotLeft() + PlotRight()) / 2;
            svg_ += FormatText("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#999\"/>", x,
                               PlotBottom(), x, PlotBottom() + 5);
            svg_ += FormatText("<text x=\"%.1f\" y=\"%.1f\">%s</text>\n", x, PlotBottom() + 19,
                               TableDateText(n0 + at).c_str());
            if (span == 0) break;
        }
        svg_ += "</g>\n";
        svg_ += FormatText(
            "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\" font-size=\"12\" fill=\"#333\">date "
            "(YYYY:MM:DD)</text>\n",
            (PlotLeft() + PlotRight()) / 2, PlotBottom() + 40);
        svg_ +=
            FormatText("<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"none\" stroke=\"#666\"/>\n",
                       PlotLeft(), PlotTop(), PlotRight() - PlotLeft(), PlotBottom() - PlotTop());
    }

    // A line through the points, with markers when asked; a single point is a marker only.
    void Polyline(const std::vector<std::pair<double, double>>& points, const std::string& style, const char* colour,
                  bool bMarkers) {
        if (points.size() >= 2) {
            svg_ += "<polyline fill=\"none\" " + style + " points=\"";
            for (const auto& [x, y] : points) svg_ += FormatText("%.1f,%.1f ", x, y);
            svg_.back() = '"';
            svg_ += "/>\n";
        }
        if (!bMarkers && points.size() != 1) return;
        svg_ += FormatText("<g fill=\"%s\">", colour);
        for (const auto& [x, y] : points) svg_ += FormatText("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"2.6\"/>", x, y);
        svg_ += "</g>\n";
    }

    void Series(const TableAxis& rows) {
        std::vector<std::pair<double, double>> average, cutline;
        for (std::size_t d = first_; d <= last_; ++d) {
            if (axis_.average[d] <= 0) continue;
            average.emplace_back(X(d), Y(axis_.average[d]));
            const auto fAverage = static_cast<float>(axis_.average[d]);  // the check's own float
            cutline.emplace_back(X(d),
                                 Y(static_cast<double>(reports::LedCheckCutline(options_.thresholdPercent, fAverage))));
        }
        if (n1_ > nLast_) {
            // Ahead of the last day: the cutline held where it is, each crossing receiver's trend down to it.
            const double x = XOf(static_cast<double>(nLast_));
            svg_ += FormatText("<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"#f3f3f3\"/>\n", x,
                               PlotTop(), PlotRight() - x, PlotBottom() - PlotTop());
            svg_ += FormatText("<text x=\"%.1f\" y=\"%.1f\" font-size=\"11\" fill=\"#666\">trend ahead</text>\n", x + 4,
                               PlotTop() + 14);
            if (!cutline.empty())
                Polyline({cutline.back(), {XOf(static_cast<double>(n1_)), cutline.back().second}},
                         "stroke=\"#D00000\" stroke-width=\"1.5\" stroke-dasharray=\"2 3\"", "#D00000", false);
        }
        Polyline(average, "stroke=\"#222\" stroke-width=\"2.5\"", "#222", false);
        Polyline(cutline, "stroke=\"#D00000\" stroke-width=\"2\" stroke-dasharray=\"7 4\"", "#D00000", false);
        for (std::size_t i = 0; i < drawn_.size(); ++i) {
            std::vector<std::pair<double, double>> points;
            for (const DayValue& v : RowOf(rows, drawn_[i]->index).values)
                if (v.day >= first_ && axis_.average[v.day] > 0) points.emplace_back(X(v.day), Y(v.value));
            Polyline(points, FormatText("stroke=\"%s\" stroke-width=\"1.8\"", kColours[i]), kColours[i], true);
            const ReceiverTrend& r = *drawn_[i];
            if (!Crosses(r)) continue;
            const double n = static_cast<double>(t_.table.days[r.lastDay].number);
            const double from = r.fittedLast * r.latestAverage / 100,
                         to = options_.thresholdPercent * r.latestAverage / 100;
            svg_ += FormatText(
                "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" stroke-width=\"1.8\" "
                "stroke-dasharray=\"2 3\"/><circle cx=\"%.1f\" cy=\"%.1f\" r=\"4\" fill=\"#fff\" stroke=\"%s\" "
                "stroke-width=\"2\"/>\n",
                XOf(n), Y(from), XOf(n + r.daysToThreshold), Y(to), kColours[i], XOf(n + r.daysToThreshold), Y(to),
                kColours[i]);
        }
    }

    void LegendEntry(double& y, const std::string& swatch, const std::string& text) {
        const double x = PlotRight() + 16;
        svg_ += swatch.empty() ? std::string()
                               : FormatText("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" %s/>", x, y - 4,
                                            x + 24, y - 4, swatch.c_str());
        svg_ +=
            FormatText("<text x=\"%.1f\" y=\"%.1f\">", x + (swatch.empty() ? 0 : 30), y) + XmlText(text) + "</text>\n";
        y += 17;
    }

    void Legend(std::size_t nFlagged) {
        double y = PlotTop() + 10;
        svg_ += "<g font-size=\"12\" fill=\"#222\">\n";
        LegendEntry(y, "stroke=\"#222\" stroke-width=\"2.5\"", FormatText("%c average (LED check)", axis_.name));
        LegendEntry(y, "stroke=\"#D00000\" stroke-width=\"2\" stroke-dasharray=\"7 4\"",
                    FormatText("cutline: %d %% of it", options_.thresholdPercent));
        y += 6;
        if (drawn_.empty()) LegendEntry(y, "", "no receiver trends to flag");
        for (std::size_t i = 0; i < drawn_.size(); ++i) {
            const ReceiverTrend& r = *drawn_[i];
            LegendEntry(y, FormatText("stroke=\"%s\" stroke-width=\"2.5\"", kColours[i]),
                        FormatText("%c%u (R%u)", r.axis, r.index, r.index + 1));
            svg_ += FormatText("<text x=\"%.1f\" y=\"%.1f\" font-size=\"11\" fill=\"#555\">", PlotRight() + 46, y - 2) +
                    XmlText(ReasonText(r, options_.thresholdPercent)) + "</text>\n";
            y += 14;
        }
        if (nFlagged > drawn_.size())
            LegendEntry(y, "", FormatText("and %zu more flagged (see the report)", nFlagged - drawn_.size()));
        std::string dead;
        std::size_t nDead = 0;
        for (const ReceiverTrend& r : axis_.receivers) {
            if (!(r.flags & kFlagDead)) continue;
            if (++nDead <= 2)
                dead += FormatText("%s%c%u (R%u)", dead.empty() ? "" : ", ", r.axis, r.index, r.index + 1);
        }
        if (nDead > 2) dead += FormatText(" and %zu more", nDead - 2);
        if (nDead) {
            LegendEntry(y, "", "dead (0 on every day):");
            LegendEntry(y, "", dead);
        }
        svg_ += "</g>\n";
    }

    std::string& svg_;
    double top_;
    const TrendedTable& t_;
    const AxisTrend& axis_;
    const TrendOptions& options_;
    std::size_t first_ = 0, last_ = 0;          // table days shown
    std::int64_t n0_ = 0, nLast_ = 0, n1_ = 0;  // day numbers: first, last of the table, right edge
    double step_ = 1, top_value_ = 1;
    std::vector<const ReceiverTrend*> drawn_;
};

bool HasData(const AxisTrend& axis) {
    return std::any_of(axis.average.begin(), axis.average.end(), [](double a) { return a > 0; });
}

}  // namespace

std::string TrendSvg(const std::vector<TrendedTable>& tables, const TrendOptions& options) {
    std::size_t nPanels = 0;
    for (const TrendedTable& t : tables) nPanels += HasData(t.trend.x) + HasData(t.trend.y);
    const double height = static_cast<double>(std::max<std::size_t>(nPanels, 1)) * kPanelHeight;
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += FormatText(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" viewBox=\"0 0 %.0f %.0f\" "
        "font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\" font-size=\"12\">\n",
        kWidth, height, kWidth, height);
    svg += "<title>Lumagrid: trend of the daily tables</title>\n";
    svg += FormatText("<rect width=\"%.0f\" height=\"%.0f\" fill=\"#fff\"/>\n", kWidth, height);
    double top = 0;
    for (const TrendedTable& t : tables) {
        for (const AxisTrend* axis : {&t.trend.x, &t.trend.y}) {
            if (!HasData(*axis)) continue;
            if (top > 0)
                svg += FormatText("<line x1=\"0\" y1=\"%.1f\" x2=\"%.0f\" y2=\"%.1f\" stroke=\"#bbb\"/>\n", top, kWidth,
                                  top);
            Panel(svg, top, t, *axis, options).Draw();
            top += kPanelHeight;
        }
    }
    if (nPanels == 0)
        svg += FormatText(
            "<text x=\"%.0f\" y=\"%.0f\" text-anchor=\"middle\" font-size=\"16\">No table holds a day with "
            "values.</text>\n",
            kWidth / 2, kPanelHeight / 2);
    svg += "</svg>\n";
    return svg;
}

}  // namespace trend
