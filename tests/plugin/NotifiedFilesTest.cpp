// Taking up the files a host notifies, as the window and the headless
// editor both do: per-file snapshot steps kept across switches, the curve
// file each switch names, and the passes each mode starts with its flags.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "curve/PvcCurve.h"
#include "plugin/NotifiedFiles.h"
#include "plugin/OfflineEffect.h"
#include "tests/plugin/MiniHost.h"

namespace {

// A host that only records the processes it is asked to start: the mode
// the plug-in was in and the flags of the first file.
struct StartRecorder {
  struct Start {
    int mode;
    VstInt32 flags;
    VstInt32 newFiles;
  };
  static inline StartRecorder* current = nullptr;
  static inline OfflineEffect* effect = nullptr;
  std::vector<Start> starts;

  static VstIntPtr VSTCALLBACK callback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void* ptr, float) {
    if (opcode == audioMasterVersion) return 2300;
    if (opcode != audioMasterOfflineStart || !current || !effect) return 0;
    current->starts.push_back({effect->operationMode(), static_cast<VstAudioFile*>(ptr)[0].flags, index});
    return 1;
  }
};

class NotifiedFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    StartRecorder::current = &recorder;
    StartRecorder::effect = &effect;
  }
  void TearDown() override {
    StartRecorder::current = nullptr;
    StartRecorder::effect = nullptr;
  }
  static VstAudioFile fileOf(std::int32_t id, const char* name, int channels = 1) {
    VstAudioFile f{};
    std::strcpy(f.name, name);
    f.uniqueId = id;
    f.numChannels = channels;
    f.sampleRate = 44100.0;
    return f;
  }

  StartRecorder recorder;
  OfflineEffect effect{StartRecorder::callback};
};

// Leaving a file keeps its step count; coming back names its snapshot (the
// last one written, or the one an undo history points at) and tells the
// reading pass not to store another. A file never stepped gets its .pvc.
TEST_F(NotifiedFiles, SwitchingFilesKeepsEachFilesSteps) {
  PvcCurve& curve = effect.curve();
  const std::string dir = curve.tempDir();
  const std::string handoff = curve.handoffDir();
  std::vector<VstAudioFile> list{fileOf(5, "first"), fileOf(6, "second", 2)};

  EXPECT_EQ(notified::takeUpNewFile(effect, list.data(), 2, std::nullopt), handoff + "first.pvc");
  EXPECT_EQ(effect.currentFileId, 5);
  EXPECT_EQ(curve.fileId, 5);
  EXPECT_EQ(curve.snapshotCount(), 0);
  EXPECT_EQ(effect.curveFileName(), handoff + "first.pvc");
  EXPECT_TRUE(effect.rateChanged);
  EXPECT_TRUE(effect.undoAfterDraw);

  curve.setSnapshotState(3);  // three steps written for "first"
  std::swap(list[0], list[1]);
  EXPECT_EQ(notified::takeUpNewFile(effect, list.data(), 2, std::nullopt), handoff + "second.pvc");
  EXPECT_EQ(effect.channelCount, 2);
  EXPECT_EQ(curve.channelCount, 2);
  EXPECT_EQ(curve.snapshotCount(), 0);
  EXPECT_EQ(effect.stepOfFile(5), 3);

  std::swap(list[0], list[1]);
  effect.rateChanged = false;
  EXPECT_EQ(notified::takeUpNewFile(effect, list.data(), 2, std::nullopt), dir + "5~undopvc_2.dwt");
  EXPECT_EQ(curve.snapshotCount(), 3);
  EXPECT_EQ(curve.snapshotIndex(), 2) << "the step read is the step shown";
  EXPECT_EQ(effect.channelCount, 1);
  EXPECT_FALSE(effect.undoAfterDraw);
  EXPECT_TRUE(effect.rateChanged);
  EXPECT_EQ(effect.stepOfFile(6), 0) << "the file left had no steps";

  // An undo history that stands lower names its own step.
  std::swap(list[0], list[1]);
  notified::takeUpNewFile(effect, list.data(), 2, 0);
  std::swap(list[0], list[1]);
  EXPECT_EQ(notified::takeUpNewFile(effect, list.data(), 2, 1), dir + "5~undopvc_1.dwt");
  EXPECT_EQ(curve.snapshotCount(), 3);
  EXPECT_EQ(curve.snapshotIndex(), 1);
  EXPECT_TRUE(recorder.starts.empty()) << "taking up a file starts no pass by itself";
}

// A name that fills its field without an ending 0 is read no further than
// the field (the sanitizers would see a read past it).
TEST_F(NotifiedFiles, UnendedNameStaysInsideItsField) {
  VstAudioFile f = fileOf(8, "");
  std::memset(f.name, 'n', sizeof f.name);
  f.numChannels = 1;
  const std::string expected = effect.curve().handoffDir() + std::string(sizeof f.name, 'n') + ".pvc";
  EXPECT_EQ(notified::fileNameOf(f), std::string(sizeof f.name, 'n'));
  EXPECT_EQ(notified::takeUpNewFile(effect, &f, 1, std::nullopt), expected);
}

TEST_F(NotifiedFiles, NewAndSameFile) {
  VstAudioFile zero = fileOf(0, "zero");
  EXPECT_TRUE(notified::isNewFile(effect, zero)) << "with no file held, id 0 is new too";
  notified::takeUpNewFile(effect, &zero, 1, std::nullopt);
  EXPECT_FALSE(notified::isNewFile(effect, zero));
  VstAudioFile other = fileOf(-7, "other");
  EXPECT_TRUE(notified::isNewFile(effect, other));

  effect.rateChanged = true;
  EXPECT_FALSE(notified::noteSameFile(effect, zero));
  EXPECT_FALSE(effect.rateChanged);
  zero.numChannels = 2;
  EXPECT_TRUE(notified::noteSameFile(effect, zero));
  EXPECT_EQ(effect.channelCount, 2);
  EXPECT_EQ(effect.curve().channelCount, 2);
  EXPECT_FALSE(notified::noteSameFile(effect, zero));

  // With every file gone, the same id is new again and nothing of the
  // old list's steps is left.
  effect.curve().setSnapshotState(2);
  notified::forgetFiles(effect);
  EXPECT_EQ(effect.fileTable().fileIdCapacity(), 0);
  EXPECT_EQ(effect.curve().snapshotCount(), 0);
  EXPECT_EQ(effect.channelCount, 1);
  EXPECT_TRUE(notified::isNewFile(effect, zero));
}

// Each pass starts in its own mode with the flags it needs and leaves the
// plug-in in the mode that follows it; a mode that asks for no pass starts
// nothing and touches neither the mode nor the flags.
TEST_F(NotifiedFiles, EachModeStartsItsPass) {
  VstAudioFile f = fileOf(3, "take");
  notified::startReadingPass(effect, &f, 1);
  ASSERT_EQ(recorder.starts.size(), 1u);
  EXPECT_EQ(recorder.starts[0].mode, kModeRead);
  EXPECT_EQ(recorder.starts[0].flags,
            kVstOfflineCanProcessSelection | kVstOfflineWantRead | kVstOfflineNoChannelChange);
  EXPECT_EQ(recorder.starts[0].newFiles, 0);
  EXPECT_EQ(effect.operationMode(), kModeCorrect);

  for (int mode : {kModeHum, kModePilotTone, kModeNone, kModeSpectral}) {
    EXPECT_TRUE(notified::isDetectionMode(mode));
    f.flags = 0;
    effect.setOperationMode(static_cast<float>(mode));
    EXPECT_TRUE(notified::startRequestedPass(effect, &f, 1, mode));
    EXPECT_EQ(recorder.starts.back().mode, mode);
    EXPECT_EQ(recorder.starts.back().flags, kVstOfflineCanProcessSelection | kVstOfflineWantRead);
    EXPECT_EQ(effect.operationMode(), kModeCorrect);
  }

  f.flags = 0;
  effect.setOperationMode(kModeSelection);
  EXPECT_TRUE(notified::startRequestedPass(effect, &f, 1, kModeSelection));
  EXPECT_EQ(recorder.starts.back().flags,
            kVstOfflineWantWriteMarker | kVstOfflineWantMoveCursor | kVstOfflineWantSelect);
  EXPECT_EQ(effect.operationMode(), kModeRead);

  const size_t started = recorder.starts.size();
  for (int mode : std::initializer_list<int>{kModeRead, kModeCorrect, kModeZoom, 0, 6}) {
    EXPECT_FALSE(notified::isDetectionMode(mode));
    f.flags = 0;
    effect.setOperationMode(static_cast<float>(mode));
    EXPECT_FALSE(notified::startRequestedPass(effect, &f, 1, mode));
    EXPECT_EQ(f.flags, 0);
    EXPECT_EQ(effect.operationMode(), mode);
  }
  EXPECT_EQ(recorder.starts.size(), started);
}

// Through the plug-in without a window: a first file whose id is 0 is read
// like any other, and the same file notified again is not read twice.
class HeadlessNotify : public MiniHostTest {};

TEST_F(HeadlessNotify, FirstFileWithIdZeroIsRead) {
  host.source = {std::vector<float>(3000, 0.25f)};
  host.uniqueId = 0;
  host.effect = createPelmora(MiniHost::callback);
  VstAudioFile f = host.file();
  host.effect->dispatcher(host.effect, effOfflineNotify, 0, 1, &f, 0);
  EXPECT_EQ(host.starts, 1);
  EXPECT_TRUE(host.lastRun);
  VstAudioFile again = host.file();
  host.effect->dispatcher(host.effect, effOfflineNotify, 0, 1, &again, 0);
  EXPECT_EQ(host.starts, 1);
}

}  // namespace
