// The reading and correction passes driven as a host drives them: a file
// notification makes the plug-in read the file, a start request makes it
// write the corrected copy into a new file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "tests/plugin/MiniHost.h"

namespace {

class Passes : public MiniHostTest {
 protected:
  // Notifies the file (the plug-in reads it), then starts the correction.
  bool readAndCorrect() {
    host.effect = createPelmora(MiniHost::callback);
    VstAudioFile f = host.file();
    VstIntPtr shown = host.effect->dispatcher(host.effect, effOfflineNotify, 0, 1, &f, 0);
    if (shown && !host.lastRun) return false;
    VstAudioFile g = host.file();
    return host.effect->dispatcher(host.effect, effOfflineNotify, 1, 1, &g, 0) != 0 && host.lastRun;
  }
};

std::vector<float> tone(size_t n, double frequency, double rate) {
  std::vector<float> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<float>(0.5 * std::sin(2.0 * 3.141592653589793 * frequency * i / rate));
  return v;
}

const double kFlatGain = (1.0 - std::cos(16.0 * 3.1415926535 / 17.0)) / 2.0;

TEST_F(Passes, FlatCurveKeepsLengthAndScalesEveryFrame) {
  host.source = {tone(4321, 441.0, host.sampleRate)};
  ASSERT_TRUE(readAndCorrect());
  EXPECT_EQ(host.starts, 2);  // the reading pass, then the correction
  ASSERT_EQ(host.written.size(), 1u);
  ASSERT_EQ(host.written[0].size(), host.source[0].size());
  for (size_t i = 0; i < host.source[0].size(); ++i)
    ASSERT_NEAR(host.written[0][i], host.source[0][i] * kFlatGain, 2e-6) << "frame " << i;
}

TEST_F(Passes, StereoChannelsStayApart) {
  host.source = {tone(2500, 300.0, host.sampleRate), tone(2500, 1000.0, host.sampleRate)};
  ASSERT_TRUE(readAndCorrect());
  ASSERT_EQ(host.written.size(), 2u);
  ASSERT_EQ(host.written[0].size(), 2500u);
  ASSERT_EQ(host.written[1].size(), 2500u);
  for (size_t i = 0; i < 2500; i += 7) {
    EXPECT_NEAR(host.written[0][i], host.source[0][i] * kFlatGain, 2e-6);
    EXPECT_NEAR(host.written[1][i], host.source[1][i] * kFlatGain, 2e-6);
  }
}

TEST_F(Passes, FileShorterThanOneBlock) {
  host.source = {tone(300, 441.0, host.sampleRate)};
  ASSERT_TRUE(readAndCorrect());
  ASSERT_EQ(host.written[0].size(), 300u);
}

TEST_F(Passes, ThreeChannelsAreRefusedNotSilentlyDropped) {
  host.source = {tone(2000, 100.0, host.sampleRate), tone(2000, 200.0, host.sampleRate),
                 tone(2000, 300.0, host.sampleRate)};
  host.effect = createPelmora(MiniHost::callback);
  VstAudioFile f = host.file();
  // The file list is refused for such a file, and so is a correction.
  EXPECT_EQ(host.effect->dispatcher(host.effect, effOfflineNotify, 0, 1, &f, 0), 0);
  VstAudioFile g = host.file();
  host.effect->dispatcher(host.effect, effOfflineNotify, 1, 1, &g, 0);
  EXPECT_FALSE(host.lastRun);
  for (const auto& channel : host.written) EXPECT_TRUE(channel.empty());
}

}  // namespace
