// Line charts as SVG text, for reports that must come out of a program with
// no image library: axes with ticks, a grid, lines and a legend.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace meter {

struct ChartAxis {
  double low = 0.0;
  double high = 1.0;
  bool logarithmic = false;
  std::string label;
};

class SvgChart {
 public:
  SvgChart(int width, int height, std::string title);

  void setX(ChartAxis axis) { x_ = std::move(axis); }
  void setY(ChartAxis axis) { y_ = std::move(axis); }
  // A second scale on the right for lines drawn against it.
  void setRightY(ChartAxis axis) { right_ = std::move(axis); hasRight_ = true; }
  void addLine(std::vector<double> xs, std::vector<double> ys, std::string colour, std::string legend,
               bool againstRight = false);
  // A light band over x from..to, behind the lines.
  void addShade(double from, double to) { shades_.push_back({from, to}); }

  std::string svg() const;

 private:
  struct Line {
    std::vector<double> xs, ys;
    std::string colour, legend;
    bool right;
  };
  double px(double x) const;
  double py(double y, const ChartAxis& axis) const;

  int width_, height_;
  std::string title_;
  ChartAxis x_, y_, right_;
  bool hasRight_ = false;
  std::vector<Line> lines_;
  std::vector<std::pair<double, double>> shades_;
};

// Text safe inside XML or HTML.
std::string escapeXml(const std::string& text);

}  // namespace meter
