#include <gtest/gtest.h>

#include <string>

#include "meter/MeterReport.h"
#include "meter/Readings.h"
#include "tests/meter/FmTone.h"

namespace {

meter::MeterReading fastTone() {
  const double rate = 16000.0;
  return meter::readTone(demodulate(fmTone(3150.0 * 1.01, {{4.0, 0.1}, {20.0, 0.05}}, 9.0, rate), rate, 3150.0),
                         "a \"quoted\" <name>.wav");
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(MeterReport, TextStatesTheConventionAndTheOffset) {
  const std::string text = meter::readingText(fastTone());
  EXPECT_TRUE(has(text, "weighted peak (2 sigma)")) << text;
  EXPECT_TRUE(has(text, "speed offset: 1.00 % fast")) << text;
  EXPECT_TRUE(has(text, "wow (below 6 Hz)")) << text;
  EXPECT_TRUE(has(text, "flutter (above 6 Hz)")) << text;
  EXPECT_FALSE(has(text, "less than the 5 s")) << text;
}

TEST(MeterReport, WithoutAToneThereIsNoOffsetAndItSaysSo) {
  std::vector<meter::CurveSample> points;
  for (int i = 0; i < 400; ++i) points.push_back({i * 0.01, 1.0, true});
  const meter::MeterReading r = meter::readCurve(points, "short.wav");
  const std::string text = meter::readingText(r);
  EXPECT_TRUE(has(text, "speed offset: none")) << text;
  EXPECT_TRUE(has(text, "less than the 5 s")) << text;
  const std::string json = meter::readingJson(r);
  EXPECT_TRUE(has(json, "\"speed_offset_percent\": null")) << json;
  EXPECT_TRUE(has(json, "\"shorter_than_minimum\": true")) << json;
}

TEST(MeterReport, JsonHoldsPlainNumbersAndEscapedNames) {
  const meter::MeterReading r = fastTone();
  const std::string json = meter::readingJson(r);
  EXPECT_TRUE(has(json, "\"file\": \"a \\\"quoted\\\" <name>.wav\"")) << json;
  EXPECT_TRUE(has(json, "\"method\": \"reference tone\"")) << json;
  const std::size_t at = json.find("\"speed_offset_percent\": ");
  ASSERT_NE(at, std::string::npos);
  EXPECT_NEAR(std::stod(json.substr(at + 24)), 1.0, 0.001);
  const std::size_t weighted = json.find("\"weighted\": {\"peak_2sigma_percent\": ");
  ASSERT_NE(weighted, std::string::npos) << json;
  EXPECT_NEAR(std::stod(json.substr(weighted + 37)), r.analysis.figures.weighted.peakPercent, 1e-4);
}

TEST(MeterReport, HtmlCarriesBothPicturesAndEscapesTheName) {
  const std::string html = meter::readingHtml(fastTone());
  EXPECT_TRUE(has(html, "a &quot;quoted&quot; &lt;name&gt;.wav"));
  EXPECT_FALSE(has(html, "<name>"));
  std::size_t charts = 0;
  for (std::size_t at = html.find("<svg"); at != std::string::npos; at = html.find("<svg", at + 1)) ++charts;
  EXPECT_EQ(charts, 2u);
  EXPECT_TRUE(has(html, "Speed deviation over time"));
  // The settling at the start is shaded as not measured.
  EXPECT_TRUE(has(html, "fill=\"#eeeeee\""));
  EXPECT_TRUE(has(html, "weighting (dB)"));
  // Every point of every line is a number.
  EXPECT_FALSE(has(html, "nan"));
  EXPECT_FALSE(has(html, "inf,"));
}

}  // namespace

TEST(MeterReport, ComparisonShowsBothFilesTheStepsAndBothPictures) {
  const double rate = 16000.0;
  const meter::MeterReading before = fastTone();
  const meter::MeterReading after =
      meter::readTone(demodulate(fmTone(3150.0, {{4.0, 0.01}}, 9.0, rate), rate, 3150.0), "after.wav");
  const std::vector<std::string> steps = {"dewow --algorithm pilot", "curve shaped (strength 0.5) <half>"};
  const std::string html = meter::comparisonHtml(before, after, steps);
  std::size_t charts = 0;
  for (std::size_t at = html.find("<svg"); at != std::string::npos; at = html.find("<svg", at + 1)) ++charts;
  EXPECT_EQ(charts, 2u);
  EXPECT_TRUE(has(html, "<li>curve shaped (strength 0.5) &lt;half&gt;</li>")) << html;
  EXPECT_TRUE(has(html, ">before<") && has(html, ">after<")) << "both curves carry a legend";
  EXPECT_TRUE(has(html, "weighting"));
  EXPECT_LT(html.find("wow and flutter, weighted"), html.find("unweighted, 0.5 to 200 Hz"));

  const std::string json = meter::comparisonJson(before, after, steps);
  EXPECT_TRUE(has(json, "\"steps\": [\"dewow --algorithm pilot\", \"curve shaped (strength 0.5) <half>\"]")) << json;
  const std::size_t first = json.find("\"weighted\": {\"peak_2sigma_percent\": ");
  const std::size_t second = json.find("\"weighted\": {\"peak_2sigma_percent\": ", first + 1);
  ASSERT_NE(second, std::string::npos) << json;
  EXPECT_NEAR(std::stod(json.substr(first + 37)), before.analysis.figures.weighted.peakPercent, 1e-4);
  EXPECT_NEAR(std::stod(json.substr(second + 37)), after.analysis.figures.weighted.peakPercent, 1e-4);
  EXPECT_GT(before.analysis.figures.weighted.peakPercent, 5.0 * after.analysis.figures.weighted.peakPercent);
}
