#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "meter/Biquad.h"
#include "meter/FlutterFigures.h"
#include "meter/Weighting.h"

namespace {

struct TablePoint {
  double hz;
  double db;
  double offBy;  // how far the transfer function lies from the table there
};
// The standard's weighting table. The transfer function lies within the
// table's tolerance but not on it: 0.4 to 0.6 dB high at 0.8, 2, 6.3 and
// 20 Hz, 1.3 dB at 200 Hz.
const std::vector<TablePoint> kTable = {{0.1, -48.0, 0.7},   {0.8, -6.0, 0.6},   {2.0, -0.9, 0.45},
                                        {4.0, 0.0, 1e-9},    {6.3, -0.9, 0.45},   {20.0, -5.9, 0.65},
                                        {100.0, -17.3, 0.3}, {200.0, -23.0, 1.4}};

TEST(Weighting, TransferFunctionFollowsTheTable) {
  for (const TablePoint& p : kTable) EXPECT_NEAR(meter::weightingDb(p.hz), p.db, p.offBy) << p.hz << " Hz";
  // Rising and falling on either side of its peak.
  EXPECT_LT(meter::weightingDb(3.0), 0.0);
  EXPECT_LT(meter::weightingDb(5.0), 0.0);
}

TEST(Weighting, DigitalFilterMatchesTheAnalogOneAtTheRatesUsed) {
  for (double rate : {1000.0, 2000.0, 2004.5454, 4000.0}) {
    const meter::FilterChain filter = meter::weightingFilter(rate);
    EXPECT_NEAR(20.0 * std::log10(std::abs(filter.response(4.0, rate))), 0.0, 1e-9);
    for (double hz = 0.1; hz <= std::min(200.0, rate / 10.0); hz *= 1.1)
      EXPECT_NEAR(20.0 * std::log10(std::abs(filter.response(hz, rate))), meter::weightingDb(hz), 0.3)
          << hz << " Hz at " << rate;
  }
}

TEST(Weighting, AFilterSettledOnAConstantStaysQuiet) {
  meter::FilterChain filter = meter::weightingFilter(2000.0);
  filter.settleAt(0.7);
  for (int i = 0; i < 4000; ++i) ASSERT_NEAR(filter.process(0.7), 0.0, 1e-9) << i;
  meter::FilterChain low({meter::bilinear(meter::lowPass2(6.0), 2000.0, 6.0)});
  low.settleAt(0.7);
  EXPECT_NEAR(low.process(0.7), 0.7, 1e-9);
}

TEST(TwoSigma, IsTheLevelExceededFivePerCentOfTheTime) {
  std::vector<float> x(1000);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = (i % 2 ? -1.0f : 1.0f) * static_cast<float>(i) / 1000.0f;
  EXPECT_NEAR(meter::twoSigmaPeak(x, {}), 0.949, 0.002);
  // A sine reads almost its amplitude.
  std::vector<float> sine(20000);
  for (std::size_t i = 0; i < sine.size(); ++i) sine[i] = static_cast<float>(2.0 * std::sin(0.01 * i));
  EXPECT_NEAR(meter::twoSigmaPeak(sine, {}), 2.0 * std::cos(0.05 * 3.14159265 / 2.0), 0.005);
  // Left-out samples do not count.
  std::vector<std::uint8_t> flags(x.size(), 0);
  flags[10] = 1;
  EXPECT_FLOAT_EQ(meter::twoSigmaPeak(x, flags), 0.01f);
}

}  // namespace
