#include "meter/MeterReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>

#include "meter/Spectrum.h"
#include "meter/SvgChart.h"
#include "meter/Weighting.h"

namespace meter {

namespace {

constexpr int kChartWidth = 900;
constexpr int kChartHeight = 340;

std::string format(const char* pattern, double v) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, v);
  return text;
}

std::string jsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char e[8];
      std::snprintf(e, sizeof e, "\\u%04x", c);
      out += e;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string jsonNumber(double v) { return std::isfinite(v) ? format("%.6g", v) : "null"; }

std::string methodText(const MeterReading& r) {
  if (r.fromTone)
    return "frequency of the " + format("%g", r.referenceHz) + " Hz reference tone (demodulated)";
  return "speed curve from the music's partials (no reference tone)";
}

std::string levelLine(const char* name, const Level& level) {
  return std::string(name) + format("%.4f %% weighted peak (2 sigma), ", level.peakPercent) +
         format("%.4f %% weighted RMS", level.rmsPercent);
}

std::string offsetLine(const MeterReading& r) {
  if (!r.fromTone)
    return "speed offset: none (without a reference tone the speed is only known relative to the recording's own "
           "median)";
  return "speed offset: " + speedOffsetText(r.speedOffsetPercent()) + format(" (tone at %.2f Hz", r.toneHz) +
         format(" against %g Hz nominal)", r.referenceHz);
}

// Min and max of each column's samples, so that the chart shows every
// excursion however long the file.
void envelope(const std::vector<float>& y, const FlutterAnalysis& a, double start, std::vector<double>& xs,
              std::vector<double>& ys) {
  const std::size_t columns = 1600;
  const std::size_t n = y.size();
  if (n == 0) return;
  const std::size_t per = std::max<std::size_t>(1, (n + columns - 1) / columns);
  for (std::size_t from = 0; from < n; from += per) {
    const std::size_t to = std::min(n, from + per);
    float lo = y[from], hi = y[from];
    for (std::size_t i = from; i < to; ++i) {
      lo = std::min(lo, y[i]);
      hi = std::max(hi, y[i]);
    }
    const double t = start + (from + to) / 2.0 / a.rate;
    xs.push_back(t);
    ys.push_back(lo);
    if (per > 1) {
      xs.push_back(t);
      ys.push_back(hi);
    }
  }
}

std::string curveChart(const MeterReading& r) {
  const FlutterAnalysis& a = r.analysis;
  std::vector<double> tx, ty, wx, wy;
  envelope(a.deviation, a, r.startSeconds, tx, ty);
  envelope(a.weighted, a, r.startSeconds, wx, wy);
  double extent = 0.01;
  for (std::size_t i = a.settle; i < a.deviation.size(); ++i)
    extent = std::max({extent, static_cast<double>(std::fabs(a.deviation[i])),
                       static_cast<double>(std::fabs(a.weighted[i]))});
  extent *= 1.1;
  const double end = r.startSeconds + (a.deviation.empty() ? 1.0 : a.deviation.size() / a.rate);
  SvgChart chart(kChartWidth, kChartHeight, "Speed deviation over time (grey: not measured)");
  // The filters' settling at the start, faded tone or untrusted curve.
  for (std::size_t i = 0; i < a.used.size();) {
    if (a.used[i]) {
      ++i;
      continue;
    }
    const std::size_t from = i;
    while (i < a.used.size() && !a.used[i]) ++i;
    chart.addShade(r.startSeconds + from / a.rate, r.startSeconds + i / a.rate);
  }
  chart.setX({r.startSeconds, end, false, "time (s)"});
  chart.setY({-extent, extent, false, "speed deviation (%)"});
  chart.addLine(tx, ty, "#1f5fbf", "unweighted (0.5 to 200 Hz)");
  chart.addLine(wx, wy, "#c03000", "weighted");
  const double peak = a.figures.weighted.peakPercent;
  chart.addLine({r.startSeconds, end}, {peak, peak}, "#808080", "weighted peak (2 sigma)");
  chart.addLine({r.startSeconds, end}, {-peak, -peak}, "#808080", "");
  return chart.svg();
}

// The highest frequency a reading's spectrum is drawn to.
double spectrumTop(const MeterReading& r) {
  return std::min({kUnweightedHighHz * 1.5, r.analysis.rate / 2.0, r.spectrumTopHz});
}

// A reading's unweighted spectrum in dB from 0.1 Hz to top; highest is raised
// to its strongest bin.
void spectrumSeries(const MeterReading& r, double top, std::vector<double>& sx, std::vector<double>& sy,
                    double& highest) {
  const FlutterAnalysis& a = r.analysis;
  const std::span<const float> measured(a.deviation.data() + a.settle, a.deviation.size() - a.settle);
  const std::span<const std::uint8_t> flags(a.used.data() + a.settle, a.used.size() - a.settle);
  const Spectrum s = amplitudeSpectrum(measured, flags, a.rate, 0.05);
  for (std::size_t k = 1; k < s.amplitude.size(); ++k) {
    const double hz = k * s.binHz;
    if (hz < 0.1 || hz > top) continue;
    const double db = 20.0 * std::log10(std::max(s.amplitude[k], 1e-9));
    sx.push_back(hz);
    sy.push_back(db);
    highest = std::max(highest, db);
  }
}

struct Series {
  const MeterReading* reading;
  const char* colour;
  const char* legend;
};

// The spectra of one or more readings with the weighting over them.
std::string spectrumChart(std::span<const Series> series) {
  double top = 0.0;
  for (const Series& one : series) top = std::max(top, spectrumTop(*one.reading));
  std::vector<std::vector<double>> xs(series.size()), ys(series.size());
  double highest = -200.0;
  for (std::size_t i = 0; i < series.size(); ++i) spectrumSeries(*series[i].reading, top, xs[i], ys[i], highest);
  const double ceiling = std::ceil((highest + 5.0) / 10.0) * 10.0;
  std::vector<double> gx, gy;
  for (double lg = -1.0; lg <= std::log10(top) + 1e-9; lg += 0.02) {
    gx.push_back(std::pow(10.0, lg));
    gy.push_back(weightingDb(gx.back()));
  }
  SvgChart chart(kChartWidth, kChartHeight, "Spectrum of the speed deviation, and the weighting");
  chart.setX({0.1, top, true, "frequency (Hz)"});
  chart.setY({ceiling - 80.0, ceiling, false, "amplitude (dB re 1 % deviation)"});
  chart.setRightY({-80.0, 0.0, false, "weighting (dB)"});
  for (std::size_t i = 0; i < series.size(); ++i)
    chart.addLine(std::move(xs[i]), std::move(ys[i]), series[i].colour, series[i].legend);
  chart.addLine(gx, gy, "#c03000", "weighting", true);
  chart.addLine({kWowFlutterSplitHz, kWowFlutterSplitHz}, {-80.0, 0.0}, "#808080", "wow | flutter at 6 Hz", true);
  return chart.svg();
}

std::string spectrumChart(const MeterReading& r) {
  const Series one[] = {{&r, "#1f5fbf", "spectrum (unweighted)"}};
  return spectrumChart(one);
}

// The unweighted speed deviation of a file before and after its correction.
std::string comparisonCurveChart(const MeterReading& before, const MeterReading& after) {
  std::vector<double> bx, by, ax, ay;
  envelope(before.analysis.deviation, before.analysis, before.startSeconds, bx, by);
  envelope(after.analysis.deviation, after.analysis, after.startSeconds, ax, ay);
  double extent = 0.01, end = 1.0;
  for (const MeterReading* r : {&before, &after}) {
    const FlutterAnalysis& a = r->analysis;
    for (std::size_t i = a.settle; i < a.deviation.size(); ++i)
      extent = std::max(extent, static_cast<double>(std::fabs(a.deviation[i])));
    if (a.rate > 0.0) end = std::max(end, r->startSeconds + a.deviation.size() / a.rate);
  }
  extent *= 1.1;
  SvgChart chart(kChartWidth, kChartHeight, "Speed deviation over time, unweighted (0.5 to 200 Hz)");
  chart.setX({std::min(before.startSeconds, after.startSeconds), end, false, "time (s)"});
  chart.setY({-extent, extent, false, "speed deviation (%)"});
  chart.addLine(bx, by, "#1f5fbf", "before");
  chart.addLine(ax, ay, "#c03000", "after");
  return chart.svg();
}

std::string htmlHead(const std::string& title) {
  return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + escapeXml(title) +
         "</title>\n<style>body{font-family:sans-serif;margin:2em}td,th{padding:2px 12px;text-align:left}"
         "td.n{text-align:right;font-family:monospace}</style></head><body>\n";
}

}  // namespace

double MeterReading::speedOffsetPercent() const {
  if (!fromTone || referenceHz <= 0.0) return 0.0;
  return (toneHz / referenceHz - 1.0) * 100.0;
}

std::string speedOffsetText(double percent) {
  if (std::fabs(percent) < 0.005) return "on speed (within 0.01 %)";
  return format("%.2f %% ", std::fabs(percent)) + (percent > 0.0 ? "fast" : "slow");
}

std::string readingText(const MeterReading& r) {
  const FlutterFigures& f = r.analysis.figures;
  std::string s = "measure: " + r.file + "\n";
  s += "method: " + methodText(r) + "\n";
  if (f.samples == 0) return s + "no figures: nothing could be measured\n";
  s += "convention: " + std::string(kPeakConvention) + ", over " + format("%.1f s", f.seconds) + "\n";
  s += levelLine("wow and flutter: ", f.weighted) + "\n";
  s += levelLine("  wow (below 6 Hz): ", f.wow) + "\n";
  s += levelLine("  flutter (above 6 Hz): ", f.flutter) + "\n";
  s += format("unweighted (0.5 to 200 Hz): %.4f %% RMS", f.unweighted.rmsPercent) +
       format(", %.4f %% peak (2 sigma)\n", f.unweighted.peakPercent);
  s += offsetLine(r) + "\n";
  if (f.shorterThanMinimum())
    s += format("note: measured over less than the %.0f s the standard asks for\n", kMinimumSeconds);
  for (const std::string& note : r.notes) s += "note: " + note + "\n";
  return s;
}

std::string readingJson(const MeterReading& r) {
  const FlutterFigures& f = r.analysis.figures;
  const auto level = [](const Level& l) {
    return "{\"peak_2sigma_percent\": " + jsonNumber(l.peakPercent) + ", \"rms_percent\": " + jsonNumber(l.rmsPercent) +
           "}";
  };
  std::string s = "{\n";
  s += "  \"file\": " + jsonString(r.file) + ",\n";
  s += std::string("  \"method\": \"") + (r.fromTone ? "reference tone" : "partials") + "\",\n";
  s += "  \"convention\": " + jsonString(kPeakConvention) + ",\n";
  s += "  \"reference_hz\": " + (r.fromTone ? jsonNumber(r.referenceHz) : std::string("null")) + ",\n";
  s += "  \"tone_hz\": " + (r.fromTone ? jsonNumber(r.toneHz) : std::string("null")) + ",\n";
  s += "  \"speed_offset_percent\": " + (r.fromTone ? jsonNumber(r.speedOffsetPercent()) : std::string("null")) +
       ",\n";
  s += "  \"tone_share\": " + (r.fromTone ? jsonNumber(r.toneShare) : std::string("null")) + ",\n";
  s += "  \"trusted_share\": " + jsonNumber(r.trustedShare) + ",\n";
  s += "  \"seconds_measured\": " + jsonNumber(f.seconds) + ",\n";
  s += std::string("  \"shorter_than_minimum\": ") + (f.shorterThanMinimum() ? "true" : "false") + ",\n";
  s += "  \"weighted\": " + level(f.weighted) + ",\n";
  s += "  \"wow\": " + level(f.wow) + ",\n";
  s += "  \"flutter\": " + level(f.flutter) + ",\n";
  s += "  \"unweighted\": " + level(f.unweighted) + ",\n";
  s += "  \"wow_flutter_split_hz\": " + jsonNumber(kWowFlutterSplitHz) + ",\n";
  s += "  \"unweighted_band_hz\": [" + jsonNumber(kUnweightedLowHz) + ", " + jsonNumber(kUnweightedHighHz) + "],\n";
  s += "  \"notes\": [";
  for (std::size_t i = 0; i < r.notes.size(); ++i) s += (i ? ", " : "") + jsonString(r.notes[i]);
  s += "]\n}\n";
  return s;
}

std::string readingHtml(const MeterReading& r) {
  const FlutterFigures& f = r.analysis.figures;
  std::string s = htmlHead("Wow and flutter: " + r.file);
  s += "<h1>Wow and flutter</h1>\n<p>" + escapeXml(r.file) + "<br>" + escapeXml(methodText(r)) + "</p>\n";
  if (f.samples == 0) return s + "<p>No figures: nothing could be measured.</p></body></html>\n";
  s += "<p>" + escapeXml(kPeakConvention) + ", over " + format("%.1f s", f.seconds) + ".</p>\n";
  s += "<table><tr><th></th><th>peak (2 sigma)</th><th>RMS</th></tr>\n";
  const auto row = [&](const char* name, const Level& l) {
    s += std::string("<tr><td>") + name + "</td><td class=\"n\">" + format("%.4f %%", l.peakPercent) +
         "</td><td class=\"n\">" + format("%.4f %%", l.rmsPercent) + "</td></tr>\n";
  };
  row("wow and flutter, weighted", f.weighted);
  row("wow, weighted, below 6 Hz", f.wow);
  row("flutter, weighted, above 6 Hz", f.flutter);
  row("unweighted, 0.5 to 200 Hz", f.unweighted);
  s += "</table>\n<p>" + escapeXml(offsetLine(r)) + "</p>\n";
  if (f.shorterThanMinimum())
    s += "<p>Measured over less than the " + format("%.0f", kMinimumSeconds) + " s the standard asks for.</p>\n";
  for (const std::string& note : r.notes) s += "<p>" + escapeXml(note) + "</p>\n";
  s += "<div>" + curveChart(r) + "</div>\n<div>" + spectrumChart(r) + "</div>\n</body></html>\n";
  return s;
}

std::string comparisonJson(const MeterReading& before, const MeterReading& after,
                           const std::vector<std::string>& steps) {
  std::string s = "{\n\"before\": " + readingJson(before) + ",\n\"after\": " + readingJson(after) + ",\n";
  s += "\"steps\": [";
  for (std::size_t i = 0; i < steps.size(); ++i) s += (i ? ", " : "") + jsonString(steps[i]);
  return s + "]\n}\n";
}

std::string comparisonHtml(const MeterReading& before, const MeterReading& after,
                           const std::vector<std::string>& steps) {
  std::string s = htmlHead("Wow and flutter before and after: " + before.file);
  s += "<h1>Wow and flutter before and after</h1>\n<p>before: " + escapeXml(before.file) + "<br>after: " +
       escapeXml(after.file) + "<br>" + escapeXml(methodText(before)) + "</p>\n";
  if (!steps.empty()) {
    s += "<h2>What was done</h2>\n<ul>\n";
    for (const std::string& step : steps) s += "<li>" + escapeXml(step) + "</li>\n";
    s += "</ul>\n";
  }
  const FlutterFigures& b = before.analysis.figures;
  const FlutterFigures& a = after.analysis.figures;
  if (b.samples == 0 || a.samples == 0) {
    s += "<p>No comparison: nothing could be measured in the " + std::string(b.samples == 0 ? "input" : "output") +
         ".</p>\n";
  } else {
    s += "<p>" + escapeXml(kPeakConvention) + ".</p>\n";
    s += "<table><tr><th></th><th>before, peak (2 sigma)</th><th>after, peak (2 sigma)</th><th>before, RMS</th>"
         "<th>after, RMS</th></tr>\n";
    const auto row = [&](const char* name, const Level& lb, const Level& la) {
      s += std::string("<tr><td>") + name + "</td>";
      for (double v : {lb.peakPercent, la.peakPercent, lb.rmsPercent, la.rmsPercent})
        s += "<td class=\"n\">" + format("%.4f %%", v) + "</td>";
      s += "</tr>\n";
    };
    row("wow and flutter, weighted", b.weighted, a.weighted);
    row("wow, weighted, below 6 Hz", b.wow, a.wow);
    row("flutter, weighted, above 6 Hz", b.flutter, a.flutter);
    row("unweighted, 0.5 to 200 Hz", b.unweighted, a.unweighted);
    s += "</table>\n";
  }
  for (const std::string& note : before.notes) s += "<p>before: " + escapeXml(note) + "</p>\n";
  for (const std::string& note : after.notes) s += "<p>after: " + escapeXml(note) + "</p>\n";
  const Series spectra[] = {{&before, "#1f5fbf", "before"}, {&after, "#208020", "after"}};
  s += "<div>" + comparisonCurveChart(before, after) + "</div>\n<div>" + spectrumChart(spectra) +
       "</div>\n</body></html>\n";
  return s;
}

}  // namespace meter
