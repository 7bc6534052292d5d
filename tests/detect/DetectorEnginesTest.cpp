#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "detect/DetectorEngines.h"

using detect::DetectorEngines;
using detect::HumLibrary;

namespace {

// A hum library that records what selection does with it.
class ScriptedHum final : public HumLibrary {
 public:
  struct Log {
    bool loads = true;
    bool creates = true;
    int loadCalls = 0;
    std::vector<float> createdAt;
    std::vector<PluginHandle> destroyed;
    std::map<PluginHandle, std::vector<float>> values;
    std::vector<std::pair<int, float>> sets;  // in call order
  };

  explicit ScriptedHum(Log& log) : log_(log) {}

  bool load() override {
    ++log_.loadCalls;
    return log_.loads;
  }
  PluginHandle create(float sampleRate) override {
    if (!log_.creates) return 0;
    log_.createdAt.push_back(sampleRate);
    const PluginHandle h = next_++;
    log_.values[h] = std::vector<float>(12, 0.5f);
    return h;
  }
  int numParams(PluginHandle) override { return 12; }
  float value(PluginHandle h, int i) override { return at(h, i); }
  void setValue(PluginHandle h, int i, float v) override {
    log_.sets.push_back({i, v});
    at(h, i) = v;
  }
  float display(PluginHandle h, int i) override { return at(h, i) * 100.0f; }
  void name(PluginHandle, int, char* buffer) override { std::strcpy(buffer, "Name"); }
  void label(PluginHandle, int, char* buffer) override { std::strcpy(buffer, "Hz"); }
  int delay(PluginHandle) override { return 4096; }
  bool process(PluginHandle, int, int, float**, float**) override { return true; }
  void destroy(PluginHandle h) override { log_.destroyed.push_back(h); }
  PreprocessFunction preprocess() override { return nullptr; }

 private:
  float& at(PluginHandle h, int i) {
    static float none = 0.0f;
    auto it = log_.values.find(h);
    if (it == log_.values.end() || i < 0 || i >= 12) return none = 0.0f;
    return it->second[static_cast<std::size_t>(i)];
  }
  Log& log_;
  PluginHandle next_ = 7;
};

struct Fixture {
  ScriptedHum::Log log;
  DetectorEngines engines{std::make_unique<ScriptedHum>(log)};
};

}  // namespace

TEST(DetectorEngines, StartsWithNoEngines) {
  Fixture f;
  EXPECT_EQ(f.engines.engineHandle(), 0u);
  EXPECT_EQ(f.engines.trackerEngine(), nullptr);
  EXPECT_EQ(f.engines.spectralEngine(), nullptr);
  EXPECT_FALSE(f.engines.useSorvanite());
  EXPECT_EQ(f.engines.engineValue(2), 0.0f);
  EXPECT_EQ(f.engines.engineDelay(), 0);
  EXPECT_FALSE(f.engines.engineProcess(8192, 1, nullptr, nullptr));
  for (int row = 0; row < 7; ++row) EXPECT_FALSE(f.engines.parameterMemory().hasValues(row));
  for (int a : {3, 4, 7}) EXPECT_FALSE(f.engines.hasEngine(a)) << a;
  EXPECT_TRUE(f.engines.hasEngine(5)) << "an algorithm without an engine needs none";
}

TEST(DetectorEngines, AlgorithmsWithoutAnEngineSucceedAndDoNothing) {
  Fixture f;
  for (int a : {0, 1, 2, 5, 6, 8, 99, -1}) {
    EXPECT_TRUE(f.engines.prepare(a, 44100.0f)) << a;
    EXPECT_TRUE(f.engines.release(a)) << a;
  }
  EXPECT_EQ(f.log.loadCalls, 0);
  EXPECT_EQ(f.engines.trackerEngine(), nullptr);
}

TEST(DetectorEngines, FirstHumSelectionSetsTheDefaultsAndRemembersEveryValue) {
  Fixture f;
  ASSERT_TRUE(f.engines.prepare(3, 48000.0f));
  ASSERT_NE(f.engines.engineHandle(), 0u);
  ASSERT_EQ(f.log.createdAt.size(), 1u);
  EXPECT_EQ(f.log.createdAt[0], 48000.0f);
  const std::vector<std::pair<int, float>> defaults = {{2, 0.75f}, {3, 0.225f}, {4, 0.275f}, {10, 0.257f}};
  EXPECT_EQ(f.log.sets, defaults);
  const auto& memory = f.engines.parameterMemory();
  ASSERT_TRUE(memory.hasValues(3));
  EXPECT_EQ(memory.count(3), 12);
  EXPECT_EQ(memory.load(3, 2), 0.75f);
  EXPECT_EQ(memory.load(3, 10), 0.257f);
  EXPECT_EQ(memory.load(3, 0), 0.5f);
  EXPECT_EQ(f.engines.engineDisplayValue(2), 75.0f);
}

TEST(DetectorEngines, ReselectingTheHumEngineRestoresTheValuesSet) {
  Fixture f;
  ASSERT_TRUE(f.engines.prepare(3, 48000.0f));
  const PluginHandle first = f.engines.engineHandle();
  f.engines.setEngineValue(1, 0.9f);
  // Selecting again while an instance exists saves and destroys it first.
  f.log.sets.clear();
  ASSERT_TRUE(f.engines.prepare(3, 48000.0f));
  ASSERT_EQ(f.log.destroyed, std::vector<PluginHandle>{first});
  EXPECT_NE(f.engines.engineHandle(), first);
  ASSERT_EQ(f.log.sets.size(), 12u);  // every stored value, index 0 upward
  for (int i = 0; i < 12; ++i) EXPECT_EQ(f.log.sets[static_cast<std::size_t>(i)].first, i);
  EXPECT_EQ(f.engines.engineValue(1), 0.9f);
  EXPECT_EQ(f.engines.engineValue(2), 0.75f);

  f.engines.setEngineValue(4, 0.3f);
  EXPECT_TRUE(f.engines.release(3));
  EXPECT_EQ(f.engines.engineHandle(), 0u);
  EXPECT_EQ(f.log.destroyed.size(), 2u);
  EXPECT_EQ(f.engines.parameterMemory().load(3, 4), 0.3f);
  EXPECT_TRUE(f.engines.release(3));  // nothing left to release
  EXPECT_EQ(f.log.destroyed.size(), 2u);
}

TEST(DetectorEngines, HumSelectionFailsWhenTheModuleIsMissing) {
  Fixture f;
  ASSERT_TRUE(f.engines.prepare(3, 44100.0f));
  const PluginHandle kept = f.engines.engineHandle();
  f.log.loads = false;
  EXPECT_FALSE(f.engines.prepare(3, 44100.0f));
  // Nothing was loaded, so the existing instance is left as it was.
  EXPECT_EQ(f.engines.engineHandle(), kept);
  EXPECT_TRUE(f.log.destroyed.empty());
}

TEST(DetectorEngines, HumSelectionFailsWhenNoInstanceCanBeCreated) {
  Fixture f;
  ASSERT_TRUE(f.engines.prepare(3, 44100.0f));
  f.engines.setEngineValue(5, 0.1f);
  f.log.creates = false;
  EXPECT_FALSE(f.engines.prepare(3, 44100.0f));
  EXPECT_EQ(f.engines.engineHandle(), 0u);
  EXPECT_EQ(f.log.destroyed.size(), 1u);
  EXPECT_EQ(f.engines.parameterMemory().load(3, 5), 0.1f);
}

TEST(DetectorEngines, DestructionDestroysTheRemainingInstance) {
  ScriptedHum::Log log;
  PluginHandle handle = 0;
  {
    DetectorEngines engines{std::make_unique<ScriptedHum>(log)};
    ASSERT_TRUE(engines.prepare(3, 44100.0f));
    handle = engines.engineHandle();
    ASSERT_TRUE(engines.prepare(4, 44100.0f));
    ASSERT_TRUE(engines.prepare(7, 44100.0f));
  }
  EXPECT_EQ(log.destroyed, std::vector<PluginHandle>{handle});
}

TEST(DetectorEngines, PilotToneNeedsTwentyFourKilohertz) {
  Fixture f;
  EXPECT_FALSE(f.engines.prepare(4, 22050.0f));
  EXPECT_EQ(f.engines.trackerEngine(), nullptr);
  ASSERT_TRUE(f.engines.prepare(4, 24000.0f));
  ASSERT_NE(f.engines.trackerEngine(), nullptr);
  EXPECT_TRUE(f.engines.hasEngine(4));
  EXPECT_EQ(f.engines.trackerEngine()->sampleRate(), 24000.0f);
  // A lower rate later also removes the tracker that was there.
  EXPECT_FALSE(f.engines.prepare(4, 22050.0f));
  EXPECT_EQ(f.engines.trackerEngine(), nullptr);
  EXPECT_FALSE(f.engines.hasEngine(4));
  EXPECT_TRUE(f.engines.release(4));
}

TEST(DetectorEngines, ReselectingBuiltInEnginesRestoresTheValuesNotTheDefaults) {
  Fixture f;
  ASSERT_TRUE(f.engines.prepare(4, 44100.0f));
  EXPECT_EQ(f.engines.parameterMemory().count(4), 6);
  EXPECT_FLOAT_EQ(f.engines.parameterMemory().load(4, 0), 0.18f);
  f.engines.trackerEngine()->setParamValue(0, 1.0f);
  f.engines.trackerEngine()->setParamValue(3, 0.9f);
  ASSERT_TRUE(f.engines.release(4));
  ASSERT_TRUE(f.engines.prepare(4, 96000.0f));
  EXPECT_EQ(f.engines.trackerEngine()->fftLength(), 8192);
  EXPECT_FLOAT_EQ(f.engines.trackerEngine()->getParamValue(3), 0.9f);
  EXPECT_EQ(f.engines.trackerEngine()->sampleRate(), 96000.0f);

  ASSERT_TRUE(f.engines.prepare(7, 44100.0f));
  EXPECT_EQ(f.engines.parameterMemory().count(2), 3);
  f.engines.spectralEngine()->setParamValue(1, 1.0f);
  // Selecting again saves before recreating.
  ASSERT_TRUE(f.engines.prepare(7, 44100.0f));
  EXPECT_FLOAT_EQ(f.engines.spectralEngine()->getParamValue(1), 1.0f);
  EXPECT_EQ(f.engines.spectralEngine()->overlap(), 410);
  ASSERT_TRUE(f.engines.release(7));
  EXPECT_EQ(f.engines.spectralEngine(), nullptr);
  EXPECT_FLOAT_EQ(f.engines.parameterMemory().load(2, 1), 1.0f);
}

TEST(DetectorEngines, NameAndLabelWrappersForwardAndAnswerTrue) {
  Fixture f;
  char buffer[100];
  std::memset(buffer, 1, 98);
  buffer[98] = buffer[99] = 0;
  EXPECT_TRUE(f.engines.engineName(1, buffer));
  EXPECT_EQ(buffer[0], 1);  // no instance: untouched
  ASSERT_TRUE(f.engines.prepare(3, 44100.0f));
  EXPECT_TRUE(f.engines.engineName(1, buffer));
  EXPECT_STREQ(buffer, "Name");
  EXPECT_TRUE(f.engines.engineLabel(1, buffer));
  EXPECT_STREQ(buffer, "Hz");
  EXPECT_EQ(f.engines.engineDelay(), 4096);
  EXPECT_TRUE(f.engines.engineProcess(8192, 1, nullptr, nullptr));
}
