#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tests/engines/EngineLibrary.h"

namespace {

class EngineApi : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(lib.ready()) << "Sorvanite could not be loaded";
    handle = lib.create(44100.0f);
    ASSERT_NE(handle, 0u);
  }
  void TearDown() override {
    if (handle != 0) plugin_destroy(handle);
  }
  std::string name(int index) {
    char buffer[100];
    std::memset(buffer, 1, 98);
    buffer[98] = buffer[99] = 0;
    plugin_getParamName(handle, index, buffer);
    return buffer;
  }
  std::string label(int index) {
    char buffer[20];
    std::memset(buffer, 1, 18);
    buffer[18] = buffer[19] = 0;
    plugin_getParamLabel(handle, index, buffer);
    return buffer;
  }

  EngineLibrary lib;
  PluginHandle handle = 0;
};

TEST_F(EngineApi, FirstSelectionValuesGiveFiftyHertzMainsAndItsBand) {
  setFirstSelectionValues(handle);
  EXPECT_FLOAT_EQ(plugin_getParamValueDisp(handle, 2), 750.0f);
  EXPECT_FLOAT_EQ(plugin_getParamValueDisp(handle, 3), 45.0f);
  EXPECT_FLOAT_EQ(plugin_getParamValueDisp(handle, 4), 55.0f);
  EXPECT_FLOAT_EQ(plugin_getParamValueDisp(handle, 10), 50.0f);
  EXPECT_FLOAT_EQ(plugin_getParamValue(handle, 10), 0.257f);
}

TEST_F(EngineApi, OtherSuppliesCanBeSetOnTheEditorsBarSteps) {
  // The editor's bars move in steps of 0.001.
  auto mainsAt = [&](int step) {
    plugin_setParamValue(handle, 10, static_cast<float>(step) / 1000.0f);
    return plugin_getParamValueDisp(handle, 10);
  };
  EXPECT_FLOAT_EQ(mainsAt(334), 60.0f);
  EXPECT_FLOAT_EQ(mainsAt(1), 16.7f);
  EXPECT_FLOAT_EQ(mainsAt(65), 25.0f);
  // A 60 Hz band of 54 to 66 Hz.
  plugin_setParamValue(handle, 3, 0.27f);
  plugin_setParamValue(handle, 4, 0.33f);
  EXPECT_FLOAT_EQ(plugin_getParamValueDisp(handle, 3), 54.0f);
  EXPECT_FLOAT_EQ(plugin_getParamValueDisp(handle, 4), 66.0f);
}

TEST_F(EngineApi, DefaultsKeepTheEditorsConstraints) {
  ASSERT_GE(plugin_getNumParams(handle), 12);
  auto v = [&](int i) { return plugin_getParamValue(handle, i); };
  EXPECT_LT(2 * v(1), v(2));
  EXPECT_LE(v(3), v(4));
  EXPECT_LE(v(6), v(5));
  EXPECT_LT(v(7), v(5));
  EXPECT_GE(plugin_getParamValueDisp(handle, 7), 2.0f);
  for (int i = 0; i < plugin_getNumParams(handle); ++i) {
    EXPECT_GE(v(i), 0.0f);
    EXPECT_LE(v(i), 1.0f);
    EXPECT_TRUE(std::isfinite(plugin_getParamValueDisp(handle, i)));
  }
}

TEST_F(EngineApi, NamesAndLabelsFitTheEditorsBuffers) {
  for (int i = 0; i < plugin_getNumParams(handle); ++i) {
    std::string n = name(i), l = label(i);
    EXPECT_FALSE(n.empty()) << i;
    EXPECT_LT(n.size(), 98u) << i;
    EXPECT_EQ(n.find('\x01'), std::string::npos) << i;
    EXPECT_LT(l.size(), 18u) << i;
    EXPECT_EQ(l.find('\x01'), std::string::npos) << i;
  }
  EXPECT_EQ(label(5), "smpl");
  EXPECT_EQ(label(6), "smpl");
  EXPECT_EQ(label(7), "order");
  EXPECT_EQ(label(11), "order");
  EXPECT_EQ(label(2), "Hz");
  EXPECT_EQ(label(10), "Hz");
}

TEST_F(EngineApi, ValuesAreClampedAndBadIndicesIgnored) {
  plugin_setParamValue(handle, 1, 1.7f);
  EXPECT_FLOAT_EQ(plugin_getParamValue(handle, 1), 1.0f);
  plugin_setParamValue(handle, 1, -3.0f);
  EXPECT_FLOAT_EQ(plugin_getParamValue(handle, 1), 0.0f);
  plugin_setParamValue(handle, 1, 0.2f);
  EXPECT_EQ(plugin_setParamValue(handle, 1, std::nanf("")), 0);
  EXPECT_FLOAT_EQ(plugin_getParamValue(handle, 1), 0.2f);

  EXPECT_EQ(plugin_setParamValue(handle, 12, 0.5f), 0);
  EXPECT_EQ(plugin_setParamValue(handle, -1, 0.5f), 0);
  EXPECT_EQ(plugin_getParamValue(handle, 99), 0.0f);
  EXPECT_EQ(plugin_getParamValueDisp(handle, -1), 0.0f);
  EXPECT_EQ(name(12), std::string(98, '\x01'));
}

// A caller marks the usable length of its buffer with non-zero bytes; a
// name or label is cut to it and nothing past it is written.
TEST_F(EngineApi, NamesAndLabelsStayInsideTheMarkedLength) {
  for (int index : {1, 2, 10}) {
    const std::string fullName = name(index);
    const std::string fullLabel = label(index);
    ASSERT_GE(fullName.size(), 2u) << index;
    ASSERT_GE(fullLabel.size(), 1u) << index;
    for (auto [get, full] : {std::pair{&plugin_getParamName, fullName}, std::pair{&plugin_getParamLabel, fullLabel}}) {
      char buffer[32];
      std::memset(buffer, 'z', sizeof buffer);
      buffer[0] = 1;
      buffer[1] = 0;
      EXPECT_EQ(get(handle, index, buffer), 1);
      EXPECT_EQ(std::string(buffer), full.substr(0, 1)) << index;
      for (size_t i = 2; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 'z') << index << " byte " << i;
    }
  }
}

TEST_F(EngineApi, UnknownAndDestroyedHandlesAreRefused) {
  PluginHandle other = lib.create(48000.0f);
  ASSERT_NE(other, 0u);
  EXPECT_NE(other, handle);
  EXPECT_EQ(plugin_destroy(other), 1);

  float in[256] = {}, out[256];
  unsigned produced = 7;
  for (PluginHandle bad : {PluginHandle{0}, other, handle + 1000u, 0xFFFFFFFFu}) {
    EXPECT_EQ(plugin_getNumParams(bad), 0);
    EXPECT_EQ(plugin_getParamValue(bad, 2), 0.0f);
    EXPECT_EQ(plugin_setParamValue(bad, 2, 0.5f), 0);
    EXPECT_EQ(plugin_getParamValueDisp(bad, 2), 0.0f);
    char buffer[100];
    std::memset(buffer, 1, sizeof buffer);
    EXPECT_EQ(plugin_getParamName(bad, 2, buffer), 0);
    EXPECT_EQ(plugin_getParamLabel(bad, 2, buffer), 0);
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(plugin_getDelay(bad), 0);
    EXPECT_FALSE(processBlock(bad, in, out, 256));
    EXPECT_EQ(lib.preprocess(bad, 256, in, 256, &produced, out, false), 0);
    EXPECT_EQ(plugin_destroy(bad), 0);
  }
  EXPECT_EQ(produced, 7u);
  // The live instance is untouched by all that.
  EXPECT_EQ(plugin_getNumParams(handle), 12);
}

TEST_F(EngineApi, RefusesRatesItCannotWorkAt) {
  EXPECT_EQ(lib.create(0.0f), 0u);
  EXPECT_EQ(lib.create(-44100.0f), 0u);
  EXPECT_EQ(lib.create(std::nanf("")), 0u);
  EXPECT_EQ(lib.create(INFINITY), 0u);
}

TEST_F(EngineApi, ProcessRefusesMissingBuffers) {
  float in[16] = {}, out[16];
  float* inputs[] = {in};
  float* outputs[] = {out};
  float* none[] = {nullptr};
  EXPECT_EQ(plugin_processPVC(handle, 16, 1, nullptr, outputs), 0);
  EXPECT_EQ(plugin_processPVC(handle, 16, 1, none, outputs), 0);
  EXPECT_EQ(plugin_processPVC(handle, 16, 1, inputs, nullptr), 0);
  EXPECT_EQ(plugin_processPVC(handle, 16, 1, inputs, none), 0);
  EXPECT_EQ(plugin_processPVC(handle, 0, 1, inputs, outputs), 0);
  EXPECT_EQ(plugin_processPVC(handle, 16, 0, inputs, outputs), 0);
  EXPECT_EQ(plugin_processPVC(handle, 16, 1, inputs, outputs), 1);
}

}  // namespace

namespace {

// The verdict lies past the parameters: not counted, not settable, no
// name; no word before a stream has run, and a changed setting, which starts
// a new stream, starts it over.
TEST_F(EngineApi, VerdictIsReadOnlyAndBelongsToTheStream) {
  EXPECT_EQ(plugin_getNumParams(handle), 12);
  EXPECT_EQ(plugin_getParamValueDisp(handle, kHumVerdictIndex), 0.0f);
  EXPECT_EQ(plugin_getParamValueDisp(handle, kHumFollowedShareIndex), 0.0f);
  EXPECT_EQ(plugin_setParamValue(handle, kHumVerdictIndex, 1.0f), 0);
  EXPECT_EQ(name(kHumVerdictIndex), std::string(98, '\x01'));

  // Twelve seconds of steady 50 Hz hum alone: followed.
  const int block = 8192;
  std::vector<float> hum(block), out(block);
  for (int b = 0; b * block < 12 * 44100; ++b) {
    for (int i = 0; i < block; ++i) {
      double t = (static_cast<double>(b) * block + i) / 44100.0;
      hum[i] = static_cast<float>(0.1 * std::sin(2.0 * 3.14159265358979 * 50.0 * t) +
                                  0.05 * std::sin(2.0 * 3.14159265358979 * 100.0 * t));
    }
    ASSERT_TRUE(processBlock(handle, hum.data(), out.data(), block));
  }
  EXPECT_EQ(plugin_getParamValueDisp(handle, kHumVerdictIndex), kHumFollowed);
  EXPECT_GT(plugin_getParamValueDisp(handle, kHumFollowedShareIndex), 95.0f);

  plugin_setParamValue(handle, 9, 0.2f);
  EXPECT_EQ(plugin_getParamValueDisp(handle, kHumVerdictIndex), 0.0f);
}

}  // namespace
