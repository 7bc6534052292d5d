// The VST boundary as a host sees it: every opcode through AEffect only.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <new>
#include <stdexcept>
#include <string>

#include "curve/PvcCurve.h"
#include "plugin/AudioEffect.h"
#include "plugin/OfflineEffect.h"
#include "plugin/PluginEntry.h"
#include "tests/plugin/FakeHost.h"

namespace {

class Dispatcher : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeHost::reset();
    effect = createPelmora(FakeHost::callback);
    ASSERT_NE(effect, nullptr);
  }
  void TearDown() override {
    if (effect) dispatch(effClose);
  }
  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
  }
  std::string text(VstInt32 opcode, VstInt32 index = 0) {
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    buffer[63] = 0;
    dispatch(opcode, index, 0, buffer);
    return buffer;
  }
  OfflineEffect& plugin() { return *dynamic_cast<OfflineEffect*>(static_cast<AudioEffect*>(effect->object)); }
  AEffect* effect = nullptr;
};

TEST(Entry, RefusesHostsOlderThanVst2AndMissingCallback) {
  FakeHost::reset();
  FakeHost::version = 0;
  EXPECT_EQ(createPelmora(FakeHost::callback), nullptr);
  EXPECT_EQ(createPelmora(nullptr), nullptr);
  FakeHost::reset();
}

// A plug-in call that fails with an exception (out of memory) answers as a
// refused call; nothing of it reaches the host, which could not catch it.
TEST(Entry, NothingThrownReachesTheHost) {
  struct Failing : AudioEffect {
    Failing() : AudioEffect(FakeHost::callback, 1, 1) {}
    VstIntPtr dispatcher(VstInt32, VstInt32, VstIntPtr, void*, float) override { throw std::bad_alloc(); }
    void setParameter(VstInt32, float) override { throw std::bad_alloc(); }
    float getParameter(VstInt32) override { throw std::runtime_error("failed"); }
    void processReplacing(float**, float**, VstInt32) override { throw std::bad_alloc(); }
  };
  AEffect* effect = (new Failing)->getAeffect();
  EXPECT_EQ(effect->dispatcher(effect, effGetVstVersion, 0, 0, nullptr, 0.0f), 0);
  effect->setParameter(effect, 0, 0.5f);
  EXPECT_EQ(effect->getParameter(effect, 0), 0.0f);
  effect->processReplacing(effect, nullptr, nullptr, 0);
  // Closing still frees the object, whatever its own handling of the call does.
  EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);
}

TEST_F(Dispatcher, RecordHoldsThePublishedValues) {
  EXPECT_EQ(effect->magic, 0x56737450);
  EXPECT_EQ(effect->uniqueID, 0x4D4F4A45);
  EXPECT_EQ(effect->numPrograms, 1);
  EXPECT_EQ(effect->numParams, 1);
  EXPECT_EQ(effect->numInputs, 1);
  EXPECT_EQ(effect->numOutputs, 2);
  EXPECT_EQ(effect->flags, effFlagsHasEditor);
  EXPECT_EQ(effect->initialDelay, 0);
  EXPECT_EQ(effect->realQualities, 0);
  EXPECT_EQ(effect->offQualities, 0);
  EXPECT_EQ(effect->ioRatio, 1.0f);
  EXPECT_EQ(effect->version, 1);
  EXPECT_EQ(effect->resvd1, 0);
  EXPECT_EQ(effect->resvd2, 0);
  EXPECT_EQ(effect->user, nullptr);
  EXPECT_NE(effect->object, nullptr);
  EXPECT_NE(effect->processReplacing, nullptr);
  for (char c : effect->future) EXPECT_EQ(c, 0);
  // The version query is the first and only host call of a load.
  ASSERT_EQ(FakeHost::calls.size(), 1u);
  EXPECT_EQ(FakeHost::calls[0].opcode, audioMasterVersion);
}

TEST_F(Dispatcher, AnswersFixedQueries) {
  EXPECT_EQ(dispatch(effGetVstVersion), 2300);
  EXPECT_EQ(dispatch(effIdentify), 0x4E764566);
  EXPECT_EQ(dispatch(effGetProgram), 0);
  EXPECT_EQ(dispatch(effGetVu), 0);
  EXPECT_EQ(dispatch(effCanBeAutomated, 0), 1);
  EXPECT_EQ(dispatch(effCanBeAutomated, 7), 1);
  EXPECT_EQ(dispatch(effGetNumProgramCategories), 1);
  EXPECT_EQ(dispatch(effConnectInput, 0, 1), 1);
  EXPECT_EQ(dispatch(effConnectOutput, 1, 0), 1);
  EXPECT_EQ(dispatch(effGetPlugCategory), 0);
  EXPECT_EQ(dispatch(effKeysRequired), 1);
  EXPECT_EQ(dispatch(effGetCurrentMidiProgram), -1);
  EXPECT_EQ(dispatch(effSetTotalSampleToProcess, 0, 12345), 12345);
  EXPECT_EQ(dispatch(effOpen), 0);
  EXPECT_EQ(dispatch(effMainsChanged, 0, 1), 0);
  EXPECT_EQ(dispatch(effMainsChanged, 0, 0), 0);
  EXPECT_EQ(dispatch(effGetChunk), 0);
  EXPECT_EQ(dispatch(effSetChunk), 0);
}

TEST_F(Dispatcher, UnlistedAndOutOfRangeOpcodesAnswerZero) {
  const VstInt32 unlisted[] = {16, 17, 18, 20, 21, 25, 27, 29, 30, 33, 34, 36, 37, 41, 42, 44, 45, 46, 47,
                               48, 49, 50, 52, 53, 54, 55, 56, 62, 64, 65, 66, 67, 68, 70, 71, 72, 74,
                               75, 76, 77, 78, 100, 1000, -1};
  for (VstInt32 opcode : unlisted) {
    char buffer[256] = "untouched";
    EXPECT_EQ(dispatch(opcode, 0, 0, buffer), 0) << "opcode " << opcode;
    EXPECT_STREQ(buffer, "untouched") << "opcode " << opcode;
  }
}

TEST_F(Dispatcher, ParameterTextsForIndexZeroOnly) {
  EXPECT_EQ(text(effGetParamName), "Type");
  EXPECT_EQ(text(effGetParamLabel), " Type ");
  EXPECT_EQ(text(effGetParamDisplay), "1.000000");
  EXPECT_EQ(text(effGetProgramName), "Init");
  // Other indices leave the buffer as it was.
  EXPECT_EQ(text(effGetParamName, 1).substr(0, 4), "xxxx");
  EXPECT_EQ(text(effGetParamLabel, 3).substr(0, 4), "xxxx");
  EXPECT_EQ(text(effGetParamDisplay, 2).substr(0, 4), "xxxx");
}

TEST_F(Dispatcher, ParametersThroughTheRecord) {
  EXPECT_EQ(effect->getParameter(effect, 0), 1.0f);
  effect->setParameter(effect, 5, 3.0f);  // any index sets the mode
  EXPECT_EQ(effect->getParameter(effect, 0), 3.0f);
  EXPECT_EQ(effect->getParameter(effect, 5), 0.0f);
  effect->setParameter(effect, 0, 2.0f);
  EXPECT_EQ(text(effGetParamDisplay), "2.000000");
  effect->setParameter(effect, 0, 123.25f);
  EXPECT_EQ(text(effGetParamDisplay), "123.2500");
}

TEST_F(Dispatcher, ProgramRequests) {
  char name[24] = "Restored";
  EXPECT_EQ(dispatch(effSetProgramName, 0, 0, name), 0);
  EXPECT_EQ(text(effGetProgramName), "Restored");
  effect->setParameter(effect, 0, 4.0f);
  // One program: numbers 1 and -1 change nothing.
  EXPECT_EQ(dispatch(effSetProgram, 0, 1), 0);
  EXPECT_EQ(dispatch(effSetProgram, 0, -1), 0);
  EXPECT_EQ(dispatch(effGetProgram), 0);
  EXPECT_EQ(effect->getParameter(effect, 0), 4.0f);
  EXPECT_EQ(text(effGetProgramName), "Restored");
  // Re-selecting program 0 stores the working copy and takes it back.
  EXPECT_EQ(dispatch(effSetProgram, 0, 0), 0);
  EXPECT_EQ(effect->getParameter(effect, 0), 4.0f);
  EXPECT_EQ(text(effGetProgramName), "Restored");
}

TEST_F(Dispatcher, CapabilitiesIgnoreLetterCase) {
  char offline[] = "OFFLINE", noRealTime[] = "NoRealTime", exact[] = "noRealTime", other[] = "sendVstEvents",
       prefix[] = "off";
  EXPECT_EQ(dispatch(effCanDo, 0, 0, offline), 1);
  EXPECT_EQ(dispatch(effCanDo, 0, 0, noRealTime), 1);
  EXPECT_EQ(dispatch(effCanDo, 0, 0, exact), 1);
  EXPECT_EQ(dispatch(effCanDo, 0, 0, other), 0);
  EXPECT_EQ(dispatch(effCanDo, 0, 0, prefix), 0);
  EXPECT_EQ(dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST_F(Dispatcher, SampleRateAndBlockSize) {
  EXPECT_EQ(dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f), 0);
  EXPECT_EQ(plugin().hostSampleRate(), 48000.0f);
  EXPECT_EQ(dispatch(effSetBlockSize, 0, 512), 0);
  EXPECT_EQ(plugin().hostBlockSize(), 512);
  EXPECT_EQ(dispatch(effSetBlockSizeAndSampleRate, 0, 256, nullptr, 96000.0f), 1);
  EXPECT_EQ(plugin().hostSampleRate(), 96000.0f);
  EXPECT_EQ(plugin().hostBlockSize(), 256);
}

TEST_F(Dispatcher, EditorRequests) {
  ERect* rect = nullptr;
  EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->bottom, 470);
  EXPECT_EQ(rect->right, 780);
  EXPECT_EQ(dispatch(effEditClose), 0);
  EXPECT_EQ(dispatch(effEditIdle), 0);
  EXPECT_EQ(dispatch(effEditKeyDown, 'a', 0), 0);
  EXPECT_EQ(dispatch(effEditKeyUp, 'a', 0), 0);
  EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 1), 0);
}

TEST_F(Dispatcher, SpeakerArrangementIsCleared) {
  int dummy = 0;
  void* input = &dummy;
  void* output = &dummy;
  EXPECT_EQ(dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&input), &output), 0);
  EXPECT_EQ(input, nullptr);
  EXPECT_EQ(output, nullptr);
}

TEST_F(Dispatcher, OfflineRequestsWithoutTasks) {
  EXPECT_EQ(dispatch(effOfflinePrepare, 0, 0, nullptr), 0);
  EXPECT_EQ(dispatch(effOfflineRun, 0, 0, nullptr), 0);
  // A file-list notification with no files enables nothing.
  EXPECT_EQ(dispatch(effOfflineNotify, 0, 0, nullptr), 0);
  // A start request while no spectrogram is shown starts nothing.
  VstAudioFile file{};
  file.numChannels = 1;
  FakeHost::calls.clear();
  EXPECT_EQ(dispatch(effOfflineNotify, 1, 1, &file), 0);
  for (const HostCall& call : FakeHost::calls) EXPECT_NE(call.opcode, audioMasterOfflineStart);
}

TEST_F(Dispatcher, PrepareNamesTheProcessOfEachMode) {
  VstOfflineTask tasks[2]{};
  struct Case {
    float mode;
    const char* name;
  };
  const Case cases[] = {{1.0f, "Pelmora"}, {2.0f, "Vantrel"}, {4.0f, "Pelmora"}, {7.0f, "Pelmora"},
                        {8.0f, "Pelmora"}, {9.0f, "Set Cursor / Marker / Selection"}, {3.0f, ""}, {6.0f, ""}};
  for (const Case& c : cases) {
    std::memset(tasks, 0, sizeof tasks);
    effect->setParameter(effect, 0, c.mode);
    EXPECT_EQ(dispatch(effOfflinePrepare, 0, 1, tasks), 1) << c.mode;
    EXPECT_STREQ(tasks[0].processName, c.name) << c.mode;
  }
  std::memset(tasks, 0, sizeof tasks);
  effect->setParameter(effect, 0, 9.0f);
  dispatch(effOfflinePrepare, 0, 1, tasks);
  EXPECT_EQ(tasks[0].flags & kVstOfflineNoThread, kVstOfflineNoThread);
}

TEST_F(Dispatcher, PrepareOfTheCorrectionSetsUpTheNewFile) {
  VstOfflineTask tasks[2]{};
  tasks[0].numSourceChannels = 2;
  tasks[0].sourceSampleRate = 48000.0;
  tasks[1].index = 5;
  tasks[1].numSourceChannels = 1;
  effect->setParameter(effect, 0, 2.0f);
  EXPECT_EQ(dispatch(effOfflinePrepare, 0, 2, tasks), 1);
  EXPECT_EQ(tasks[1].flags, kVstOfflineFloatOutputFile | kVstOfflineStretch);
  EXPECT_EQ(tasks[1].numSourceChannels, 2);
  EXPECT_EQ(tasks[1].numDestinationChannels, 2);
  EXPECT_EQ(tasks[1].sourceSampleRate, 48000.0);
  EXPECT_EQ(tasks[1].destinationSampleRate, 48000.0);
  EXPECT_EQ(tasks[1].index, 0);
}

TEST_F(Dispatcher, RunInAModeWithoutAPassSucceeds) {
  VstOfflineTask task{};
  for (float mode : {0.0f, 5.0f, 6.0f, 42.0f, -3.0f}) {
    effect->setParameter(effect, 0, mode);
    EXPECT_EQ(dispatch(effOfflineRun, 0, 1, &task), 1) << mode;
  }
}

// The object's teardown shows in what it cleans up: the editor's undo
// snapshots go with it. (The sanitizers' leak check sees the rest.)
TEST_F(Dispatcher, CloseDeletesTheObject) {
  PvcCurve& curve = plugin().curve();
  curve.fileId = 9001;
  curve.resetFlat(100);
  curve.setLength(100);
  ASSERT_TRUE(curve.pushSnapshot());
  const std::string snapshot = curve.snapshotName(curve.snapshotIndex());
  ASSERT_TRUE(std::ifstream(snapshot).good()) << snapshot;
  EXPECT_EQ(dispatch(effClose), 1);
  effect = nullptr;  // the record went with the object
  EXPECT_FALSE(std::ifstream(snapshot).good()) << snapshot;
}

}  // namespace
