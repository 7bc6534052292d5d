// Engine selection against the real Tarvo_Engine and Sorvanite libraries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "detect/DetectorEngines.h"
#include "platform/Platform.h"

using detect::DetectorEngines;

TEST(LinkedHumLibrary, SelectsTheRealEngineWithItsFirstDefaults) {
  DetectorEngines engines;
  ASSERT_TRUE(engines.prepare(3, 44100.0f));
  ASSERT_NE(engines.engineHandle(), 0u);
  EXPECT_FLOAT_EQ(engines.engineValue(2), 0.75f);
  EXPECT_FLOAT_EQ(engines.engineValue(3), 0.225f);
  EXPECT_FLOAT_EQ(engines.engineValue(4), 0.275f);
  EXPECT_FLOAT_EQ(engines.engineValue(10), 0.257f);
  EXPECT_TRUE(engines.parameterMemory().hasValues(3));
  char name[100];
  std::memset(name, 1, 98);
  name[98] = name[99] = 0;
  EXPECT_TRUE(engines.engineName(10, name));
  EXPECT_GT(std::strlen(name), 0u);
  EXPECT_LT(std::strlen(name), 98u);
  EXPECT_NE(engines.preprocessFunction(), nullptr);

  engines.setEngineValue(10, 0.3f);
  ASSERT_TRUE(engines.release(3));
  EXPECT_EQ(engines.engineHandle(), 0u);
  ASSERT_TRUE(engines.prepare(3, 44100.0f));
  EXPECT_NEAR(engines.engineValue(10), 0.3f, 1e-6f);
  // The engine runs on the instance through the wrappers.
  std::vector<float> in(8192, 0.0f), out(8192, -1.0f);
  float* i = in.data();
  float* o = out.data();
  ASSERT_TRUE(engines.engineProcess(8192, 1, &i, &o));
  // Every frame gets a speed: a finite, positive ratio, not the sentinel.
  for (size_t k = 0; k < out.size(); ++k) ASSERT_TRUE(std::isfinite(out[k]) && out[k] > 0.0f) << k << ": " << out[k];
  EXPECT_GE(engines.engineDelay(), 0);
  // Without an instance nothing runs and the call says so.
  ASSERT_TRUE(engines.release(3));
  std::fill(out.begin(), out.end(), -1.0f);
  EXPECT_FALSE(engines.engineProcess(8192, 1, &i, &o));
  EXPECT_EQ(out[0], -1.0f);
}

TEST(LinkedHumLibrary, AMissingModuleFailsTheSelection) {
  DetectorEngines engines{detect::makeLinkedHumLibrary("NoSuchPelmoraModule")};
  EXPECT_FALSE(engines.prepare(3, 44100.0f));
  EXPECT_EQ(engines.engineHandle(), 0u);
  EXPECT_EQ(engines.preprocessFunction(), nullptr);
  EXPECT_FALSE(engines.parameterMemory().hasValues(3));
}

TEST(LinkedHumLibrary, AModuleWithoutCreatePluginFailsTheSelection) {
  // Tarvo_Engine itself loads by name but makes no instances.
  ASSERT_TRUE(platform::Module("Tarvo_Engine").loaded());
  DetectorEngines engines{detect::makeLinkedHumLibrary("Tarvo_Engine")};
  EXPECT_FALSE(engines.prepare(3, 44100.0f));
  EXPECT_EQ(engines.engineHandle(), 0u);
}
