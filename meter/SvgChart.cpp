#include "meter/SvgChart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace meter {

namespace {

constexpr double kLeft = 70, kRight = 70, kTop = 34, kBottom = 46;

std::string number(double v, const char* format = "%.1f") {
  char text[48];
  std::snprintf(text, sizeof text, format, v);
  return text;
}

std::string label(double v) {
  char text[48];
  std::snprintf(text, sizeof text, "%g", std::fabs(v) < 1e-12 ? 0.0 : v);
  return text;
}

std::vector<double> ticks(const ChartAxis& axis) {
  std::vector<double> t;
  if (axis.high <= axis.low) return t;
  if (axis.logarithmic) {
    for (double decade = std::pow(10.0, std::floor(std::log10(axis.low))); decade <= axis.high; decade *= 10.0)
      for (double m : {1.0, 2.0, 5.0})
        if (decade * m >= axis.low * 0.999 && decade * m <= axis.high * 1.001) t.push_back(decade * m);
    return t;
  }
  const double raw = (axis.high - axis.low) / 6.0;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  double step = magnitude;
  for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
    if (magnitude * m >= raw) {
      step = magnitude * m;
      break;
    }
  for (double v = std::ceil(axis.low / step) * step; v <= axis.high + step * 1e-9; v += step) t.push_back(v);
  return t;
}

double position(double v, const ChartAxis& axis) {
  if (axis.logarithmic) {
    const double lo = std::log10(axis.low), hi = std::log10(axis.high);
    return (std::log10(std::max(v, axis.low * 1e-3)) - lo) / (hi - lo);
  }
  return (v - axis.low) / (axis.high - axis.low);
}

}  // namespace

std::string escapeXml(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

SvgChart::SvgChart(int width, int height, std::string title)
    : width_(width), height_(height), title_(std::move(title)) {}

void SvgChart::addLine(std::vector<double> xs, std::vector<double> ys, std::string colour, std::string legend,
                       bool againstRight) {
  lines_.push_back({std::move(xs), std::move(ys), std::move(colour), std::move(legend), againstRight});
}

double SvgChart::px(double x) const { return kLeft + position(x, x_) * (width_ - kLeft - kRight); }

double SvgChart::py(double y, const ChartAxis& axis) const {
  const double p = std::clamp(position(y, axis), -0.02, 1.02);
  return height_ - kBottom - p * (height_ - kTop - kBottom);
}

std::string SvgChart::svg() const {
  const double plotRight = width_ - kRight, plotBottom = height_ - kBottom;
  std::string s = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width_) + "\" height=\"" +
                  std::to_string(height_) + "\" font-family=\"sans-serif\" font-size=\"12\">\n";
  s += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  s += "<text x=\"" + number(width_ / 2.0) + "\" y=\"20\" text-anchor=\"middle\" font-size=\"14\">" +
       escapeXml(title_) + "</text>\n";
  for (double t : ticks(x_)) {
    const std::string x = number(px(t));
    s += "<line x1=\"" + x + "\" y1=\"" + number(kTop) + "\" x2=\"" + x + "\" y2=\"" + number(plotBottom) +
         "\" stroke=\"#ddd\"/>\n";
    s += "<text x=\"" + x + "\" y=\"" + number(plotBottom + 16) + "\" text-anchor=\"middle\">" + label(t) +
         "</text>\n";
  }
  for (double t : ticks(y_)) {
    const std::string y = number(py(t, y_));
    s += "<line x1=\"" + number(kLeft) + "\" y1=\"" + y + "\" x2=\"" + number(plotRight) + "\" y2=\"" + y +
         "\" stroke=\"#ddd\"/>\n";
    s += "<text x=\"" + number(kLeft - 6) + "\" y=\"" + number(py(t, y_) + 4) + "\" text-anchor=\"end\">" +
         label(t) + "</text>\n";
  }
  if (hasRight_)
    for (double t : ticks(right_))
      s += "<text x=\"" + number(plotRight + 6) + "\" y=\"" + number(py(t, right_) + 4) + "\" fill=\"#c03000\">" +
           label(t) + "</text>\n";
  s += "<rect x=\"" + number(kLeft) + "\" y=\"" + number(kTop) + "\" width=\"" + number(plotRight - kLeft) +
       "\" height=\"" + number(plotBottom - kTop) + "\" fill=\"none\" stroke=\"#444\"/>\n";
  s += "<text x=\"" + number((kLeft + plotRight) / 2) + "\" y=\"" + number(height_ - 8.0) +
       "\" text-anchor=\"middle\">" + escapeXml(x_.label) + "</text>\n";
  s += "<text transform=\"translate(16," + number((kTop + plotBottom) / 2) +
       ") rotate(-90)\" text-anchor=\"middle\">" + escapeXml(y_.label) + "</text>\n";
  if (hasRight_)
    s += "<text transform=\"translate(" + number(width_ - 14.0) + "," + number((kTop + plotBottom) / 2) +
         ") rotate(90)\" text-anchor=\"middle\" fill=\"#c03000\">" + escapeXml(right_.label) + "</text>\n";
  s += "<clipPath id=\"plot\"><rect x=\"" + number(kLeft) + "\" y=\"" + number(kTop) + "\" width=\"" +
       number(plotRight - kLeft) + "\" height=\"" + number(plotBottom - kTop) + "\"/></clipPath>\n";
  for (const auto& [from, to] : shades_) {
    const double a = std::clamp(px(from), kLeft, plotRight), b = std::clamp(px(to), kLeft, plotRight);
    if (b > a)
      s += "<rect x=\"" + number(a, "%.2f") + "\" y=\"" + number(kTop) + "\" width=\"" + number(b - a, "%.2f") +
           "\" height=\"" + number(plotBottom - kTop) + "\" fill=\"#eeeeee\"/>\n";
  }
  double legendX = kLeft + 10;
  for (const Line& line : lines_) {
    const ChartAxis& axis = line.right ? right_ : y_;
    s += "<polyline clip-path=\"url(#plot)\" fill=\"none\" stroke-width=\"1.2\" stroke=\"" + line.colour +
         "\" points=\"";
    for (std::size_t i = 0; i < line.xs.size() && i < line.ys.size(); ++i) {
      if (!std::isfinite(line.ys[i])) continue;
      s += number(px(line.xs[i]), "%.2f") + "," + number(py(line.ys[i], axis), "%.2f") + " ";
    }
    s += "\"/>\n";
    if (!line.legend.empty()) {
      s += "<rect x=\"" + number(legendX) + "\" y=\"" + number(kTop + 8) + "\" width=\"14\" height=\"3\" fill=\"" +
           line.colour + "\"/>\n";
      s += "<text x=\"" + number(legendX + 18) + "\" y=\"" + number(kTop + 14) + "\">" + escapeXml(line.legend) +
           "</text>\n";
      legendX += 30 + 7.0 * line.legend.size();
    }
  }
  s += "</svg>\n";
  return s;
}

}  // namespace meter
