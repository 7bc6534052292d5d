// Loads the shipped Pelmora.dll exactly as a host does and talks to it only
// through the AEffect record it returns.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "tests/plugin/ShippedPlugin.h"
#include "vst/VstAbi.h"

namespace {

VstIntPtr VSTCALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2300 : 0;
}

VstIntPtr VSTCALLBACK oldHostCallback(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

class PluginLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(library.module(), nullptr) << "Pelmora.dll not loadable, error " << library.loadError();
    ASSERT_NE(entry, nullptr);
  }
  ShippedPlugin library;
  ShippedPlugin::MainFunction entry = library.entry();
};

TEST_F(PluginLoad, MainGivesTheRecordAndTheDispatcherAnswers) {
  AEffect* effect = entry(hostCallback);
  ASSERT_NE(effect, nullptr);
  EXPECT_EQ(effect->magic, kEffectMagic);
  EXPECT_EQ(effect->uniqueID, vstFourCC('M', 'O', 'J', 'E'));
  EXPECT_EQ(effect->flags & effFlagsHasEditor, effFlagsHasEditor);
  EXPECT_EQ(effect->dispatcher(effect, effGetVstVersion, 0, 0, nullptr, 0), 2300);
  char text[64] = {};
  effect->dispatcher(effect, effGetParamName, 0, 0, text, 0);
  EXPECT_STREQ(text, "Type");
  effect->dispatcher(effect, effGetProgramName, 0, 0, text, 0);
  EXPECT_STREQ(text, "Init");
  char capability[] = "offline";
  EXPECT_EQ(effect->dispatcher(effect, effCanDo, 0, 0, capability, 0), 1);
  effect->setParameter(effect, 0, 2.0f);
  EXPECT_EQ(effect->getParameter(effect, 0), 2.0f);
  ERect* rect = nullptr;
  EXPECT_EQ(effect->dispatcher(effect, effEditGetRect, 0, 0, &rect, 0), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right, 780);
  EXPECT_EQ(rect->bottom, 470);
  EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0), 1);
}

TEST_F(PluginLoad, OldHostGetsNothing) { EXPECT_EQ(entry(oldHostCallback), nullptr); }

TEST_F(PluginLoad, ExportsOnlyMain) {
  // The export directory of the loaded image names exactly one function.
  auto* base = reinterpret_cast<const unsigned char*>(library.module());
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  ASSERT_NE(dir.VirtualAddress, 0u);
  auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  ASSERT_EQ(exports->NumberOfNames, 1u);
  auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  EXPECT_STREQ(reinterpret_cast<const char*>(base + names[0]), "main");
}

}  // namespace
