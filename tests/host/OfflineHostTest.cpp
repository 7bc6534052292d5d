#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "host/offline/OfflineHost.h"
#include "tests/host/FakePlugin.h"

using host::AudioData;
using host::OfflineHost;

namespace {

// Frame i of channel c holds 1000 c + i, so every copied sample tells where it came from.
AudioData ramp(int channels, std::size_t frames, double rate = 48000.0) {
  AudioData audio = AudioData::silence(channels, frames, rate);
  for (int c = 0; c < channels; ++c)
    for (std::size_t i = 0; i < frames; ++i) audio.channels[c][i] = static_cast<float>(1000 * c + static_cast<int>(i));
  return audio;
}

class HostTest : public ::testing::Test {
 protected:
  explicit HostTest(host::HostOptions options = smallBlocks()) : host(options), plugin(&OfflineHost::callback) {
    host.attach(&plugin.effect);
  }
  static host::HostOptions smallBlocks() {
    host::HostOptions options;
    options.blockSize = 64;
    return options;
  }
  // A process on file 0 with new files, run by the host.
  host::ProcessOutcome process(int newFiles = 0, VstInt32 flags = 0) { return host.runProcess({0}, newFiles, flags); }

  OfflineHost host;
  FakePlugin plugin;
};

TEST(HostCallback, AnswersTheVersionQueryBeforeAnyPlugInIsAttached) {
  EXPECT_EQ(OfflineHost::callback(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f), 2300);
  AEffect loose{};
  EXPECT_EQ(OfflineHost::callback(&loose, audioMasterOfflineRead, 1, kVstOfflineQueryFiles, nullptr, 0.0f), 0);
  EXPECT_EQ(OfflineHost::callback(nullptr, audioMasterOfflineStart, 0, 0, nullptr, 0.0f), 0);
}

TEST(HostCallback, DetachingStopsTheAnswers) {
  OfflineHost host;
  FakePlugin plugin(&OfflineHost::callback);
  host.attach(&plugin.effect);
  host.detach();
  EXPECT_EQ(plugin.effect.resvd1, 0);
  EXPECT_FALSE(plugin.queryFiles());
}

using HostFiles = HostTest;

TEST_F(HostFiles, GivesEveryFileItsOwnNonZeroIdAndListsTheCurrentFileFirst) {
  host.addFile(ramp(1, 10), "a");
  host.addFile(ramp(2, 20), "b");
  host.setCurrentFile(1);
  std::vector<VstInt32> ids;
  std::vector<std::string> names;
  plugin.onNotify = [&](VstAudioFile* files, VstInt32 count, bool start) {
    EXPECT_FALSE(start);
    for (int i = 0; i < count; ++i) {
      ids.push_back(files[i].uniqueId);
      names.push_back(files[i].name);
    }
    EXPECT_EQ(files[0].numChannels, 2);
    EXPECT_EQ(files[0].numFrames, 20.0);
    EXPECT_EQ(files[0].sampleRate, 48000.0);
    EXPECT_EQ(files[0].selectionStart, -1.0);
    return 1;
  };
  EXPECT_TRUE(host.notifyFiles());
  ASSERT_EQ(ids.size(), 2u);
  EXPECT_EQ(names, (std::vector<std::string>{"b", "a"}));
  EXPECT_NE(ids[0], 0);
  EXPECT_NE(ids[1], 0);
  EXPECT_NE(ids[0], ids[1]);
}

TEST_F(HostFiles, KeepsWhatThePlugInAttachesToAFile) {
  host.addFile(ramp(1, 10), "a");
  int tag = 0;
  plugin.onNotify = [&](VstAudioFile* files, VstInt32, bool) {
    files[0].plugOwned = &tag;
    return 1;
  };
  host.notifyFiles();
  EXPECT_EQ(host.file(0).plugOwned, &tag);
}

using TaskSetUp = HostTest;

TEST_F(TaskSetUp, MakesOneTaskPerFileAndOnePerNewFile) {
  host.addFile(ramp(2, 300, 44100.0), "a");
  host.addFile(ramp(1, 50, 22050.0), "b");
  bool checked = false;
  plugin.onPrepare = [&](VstOfflineTask* tasks, VstInt32 count) {
    EXPECT_EQ(count, 3);
    const VstOfflineTask& a = tasks[0];
    EXPECT_EQ(a.numFramesInSourceFile, 300.0);
    EXPECT_EQ(a.sourceSampleRate, 44100.0);
    EXPECT_EQ(a.destinationSampleRate, 44100.0);
    EXPECT_EQ(a.numSourceChannels, 2);
    EXPECT_EQ(a.numDestinationChannels, 2);
    EXPECT_EQ(a.sizeInputBuffer, 64);
    EXPECT_EQ(a.sizeOutputBuffer, 64);
    EXPECT_EQ(a.positionToProcessFrom, 0.0);
    EXPECT_EQ(a.numFramesToProcess, 300.0);
    EXPECT_EQ(a.readPosition, 0.0);
    EXPECT_EQ(a.writePosition, 0.0);
    EXPECT_EQ(a.flags & kVstOfflineNewFile, 0);
    EXPECT_NE(FakePlugin::channel(a, false, 1), nullptr);
    EXPECT_EQ(tasks[1].numFramesInSourceFile, 50.0);
    EXPECT_EQ(tasks[1].numSourceChannels, 1);
    const VstOfflineTask& fresh = tasks[2];
    EXPECT_NE(fresh.flags & kVstOfflineNewFile, 0);
    EXPECT_EQ(fresh.numFramesInSourceFile, 0.0);
    EXPECT_EQ(fresh.sourceSampleRate, 44100.0);
    EXPECT_EQ(fresh.numDestinationChannels, 2);
    EXPECT_GE(fresh.maxFramesToWrite, 300.0);
    checked = true;
    return true;
  };
  auto outcome = host.runProcess({0, 1}, 1, 0);
  EXPECT_TRUE(checked);
  EXPECT_TRUE(outcome.succeeded);
  EXPECT_EQ(plugin.runs, 1);
}

TEST_F(TaskSetUp, ProcessesTheSelectionOnlyWhenThePlugInCan) {
  host.addFile(ramp(1, 1000), "a");
  host.file(0).selectionStart = 100;
  host.file(0).selectionSize = 250;
  std::vector<double> from, frames;
  plugin.onPrepare = [&](VstOfflineTask* tasks, VstInt32) {
    from.push_back(tasks[0].positionToProcessFrom);
    frames.push_back(tasks[0].numFramesToProcess);
    return true;
  };
  process(0, kVstOfflineCanProcessSelection);
  process(0, kVstOfflineWantRead);
  EXPECT_EQ(from, (std::vector<double>{100.0, 0.0}));
  EXPECT_EQ(frames, (std::vector<double>{250.0, 1000.0}));
}

TEST_F(TaskSetUp, ARefusedPrepareRunsNothing) {
  host.addFile(ramp(1, 10), "a");
  plugin.onPrepare = [](VstOfflineTask*, VstInt32) { return false; };
  auto outcome = process(1);
  EXPECT_FALSE(outcome.prepared);
  EXPECT_FALSE(outcome.succeeded);
  EXPECT_EQ(plugin.runs, 0);
  EXPECT_EQ(host.fileCount(), 1u);
}

TEST_F(TaskSetUp, NewFilesTakeTheFormatThePlugInChooses) {
  host.addFile(ramp(1, 10, 32000.0), "a");
  plugin.onPrepare = [](VstOfflineTask* tasks, VstInt32) {
    tasks[1].numDestinationChannels = 2;
    tasks[1].destinationSampleRate = 16000.0;
    return true;
  };
  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) {
    for (int c = 0; c < 2; ++c) FakePlugin::channel(tasks[1], true, c)[0] = 0.25f * (c + 1);
    tasks[1].writeCount = 1;
    return plugin.write(&tasks[1], kVstOfflineAudio);
  };
  auto outcome = process(1);
  ASSERT_TRUE(outcome.succeeded);
  const AudioData made = host::readAll(*host.file(outcome.newFiles.at(0)).audio);
  EXPECT_EQ(made.channelCount(), 2);
  EXPECT_EQ(made.sampleRate, 16000.0);
  EXPECT_EQ(made.channels[1][0], 0.5f);
}

TEST_F(TaskSetUp, RefusesANewFileWithoutChannelsOrRate) {
  host.addFile(ramp(1, 10), "a");
  plugin.onPrepare = [](VstOfflineTask* tasks, VstInt32) {
    tasks[1].numDestinationChannels = 0;
    return true;
  };
  EXPECT_FALSE(process(1).succeeded);
  plugin.onPrepare = [](VstOfflineTask* tasks, VstInt32) {
    tasks[1].destinationSampleRate = std::numeric_limits<double>::quiet_NaN();
    return true;
  };
  EXPECT_FALSE(process(1).succeeded);
  EXPECT_EQ(plugin.runs, 0);
}

TEST_F(TaskSetUp, RefusesRequestsForFilesItDoesNotHave) {
  host.addFile(ramp(1, 10), "a");
  VstAudioFile stranger{};
  stranger.uniqueId = 999;
  EXPECT_FALSE(plugin.start(&stranger, 1, 0));
  EXPECT_FALSE(plugin.start(nullptr, 1, 0));
  EXPECT_FALSE(plugin.start(nullptr, 0, 0));
  EXPECT_EQ(plugin.prepares, 0);
}

using AudioReads = HostTest;

TEST_F(AudioReads, CopyEveryChannelAndAdvanceThePosition) {
  host.addFile(ramp(2, 100), "a");
  std::vector<float> left, right;
  std::vector<double> positions;
  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) {
    VstOfflineTask& t = tasks[0];
    for (int n : {64, 36}) {
      t.readCount = n;
      if (!plugin.read(&t, kVstOfflineAudio)) return false;
      positions.push_back(t.readPosition);
      left.insert(left.end(), FakePlugin::channel(t, false, 0), FakePlugin::channel(t, false, 0) + n);
      right.insert(right.end(), FakePlugin::channel(t, false, 1), FakePlugin::channel(t, false, 1) + n);
    }
    return true;
  };
  ASSERT_TRUE(process().succeeded);
  EXPECT_EQ(positions, (std::vector<double>{64.0, 100.0}));
  const AudioData file = host::readAll(*host.file(0).audio);
  EXPECT_EQ(left, file.channels[0]);
  EXPECT_EQ(right, file.channels[1]);
}

TEST_F(AudioReads, ReadSilencePastTheEnd) {
  host.addFile(ramp(1, 10), "a");
  std::vector<float> got;
  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) {
    VstOfflineTask& t = tasks[0];
    t.readPosition = 6;
    t.readCount = 8;
    bool ok = plugin.read(&t, kVstOfflineAudio);
    got.assign(FakePlugin::channel(t, false, 0), FakePlugin::channel(t, false, 0) + 8);
    EXPECT_EQ(t.readPosition, 14.0);
    return ok;
  };
  ASSERT_TRUE(process().succeeded);
  EXPECT_EQ(got, (std::vector<float>{6, 7, 8, 9, 0, 0, 0, 0}));
}

TEST_F(AudioReads, RefuseCountsAndPositionsOutsideTheBuffers) {
  host.addFile(ramp(1, 10), "a");
  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) {
    VstOfflineTask& t = tasks[0];
    t.readCount = 65;
    EXPECT_FALSE(plugin.read(&t, kVstOfflineAudio));
    t.readCount = -1;
    EXPECT_FALSE(plugin.read(&t, kVstOfflineAudio));
    t.readCount = 4;
    t.readPosition = -1.0;
    EXPECT_FALSE(plugin.read(&t, kVstOfflineAudio));
    t.readPosition = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(plugin.read(&t, kVstOfflineAudio));
    VstOfflineTask copy = t;
    copy.readPosition = 0;
    EXPECT_FALSE(plugin.read(&copy, kVstOfflineAudio));  // not a record of this process
    EXPECT_FALSE(plugin.read(nullptr, kVstOfflineAudio));
    return true;
  };
  EXPECT_TRUE(process().succeeded);
}

TEST_F(AudioReads, IgnoreBufferPointersThePlugInChanged) {
  host.addFile(ramp(1, 10), "a");
  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) {
    VstOfflineTask& t = tasks[0];
    t.inputBuffer = nullptr;
    t.sizeInputBuffer = 1 << 30;
    t.readCount = 4;
    EXPECT_TRUE(plugin.read(&t, kVstOfflineAudio));
    EXPECT_NE(t.inputBuffer, nullptr);
    EXPECT_EQ(t.sizeInputBuffer, 64);
    EXPECT_EQ(FakePlugin::channel(t, false, 0)[3], 3.0f);
    return true;
  };
  EXPECT_TRUE(process().succeeded);
}

using AudioWrites = HostTest;

// Writes count frames of value v into task i, block by block.
bool writeFrames(FakePlugin& plugin, VstOfflineTask& task, int count, float v) {
  while (count > 0) {
    const int n = std::min(count, task.sizeOutputBuffer);
    for (int c = 0; c < task.numDestinationChannels; ++c)
      for (int k = 0; k < n; ++k) FakePlugin::channel(task, true, c)[k] = v + static_cast<float>(c);
    task.writeCount = n;
    if (!plugin.write(&task, kVstOfflineAudio)) return false;
    count -= n;
  }
  return true;
}

TEST(HostScratch, AProcessWhoseNewAudioHasNowhereToGoFailsSayingWhy) {
  host::HostOptions options;
  options.blockSize = 64;
  options.scratchFolder = "no-such-folder-for-scratch/inner";
  OfflineHost host(options);
  FakePlugin plugin(&OfflineHost::callback);
  host.attach(&plugin.effect);
  host.addFile(ramp(1, 10), "take");
  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) { return writeFrames(plugin, tasks[1], 100, 0.5f); };
  const host::ProcessOutcome outcome = host.runProcess({0}, 1, 0);
  EXPECT_FALSE(outcome.succeeded);
  EXPECT_NE(outcome.problem.find("cannot create a scratch file"), std::string::npos) << outcome.problem;
  EXPECT_EQ(host.fileCount(), 1u);
}

TEST(HostScratch, AFailedProcessSaysTheHostsReasonAndThePlugInsWords) {
  OfflineHost host;
  FakePlugin plugin(&OfflineHost::callback);
  host.attach(&plugin.effect);
  host.addFile(ramp(1, 10), "take");
  struct Case {
    bool hostRefuses;
    const char* pluginText;
    std::string problem;
  };
  for (const Case& c : std::vector<Case>{
           {false, "", "the plug-in stopped it"},
           {false, "no curve", "no curve"},
           {true, "", "the plug-in asked to write 99999 frames from a buffer of 4096"},
           {true, "write failed", "the plug-in asked to write 99999 frames from a buffer of 4096 (the plug-in: write failed)"}}) {
    plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) {
      if (c.hostRefuses) {
        tasks[1].writeCount = 99999;
        plugin.write(&tasks[1], kVstOfflineAudio);
      }
      std::strcpy(tasks[0].outputText, c.pluginText);
      return false;
    };
    EXPECT_EQ(host.runProcess({0}, 1, 0).problem, c.problem);
  }
}

TEST(HostScratch, ChangesToAFileOnDiskGoToACopyUntilTheRunSucceeds) {
  OfflineHost host;  // scratch files in the temporary folder
  FakePlugin plugin(&OfflineHost::callback);
  host.attach(&plugin.effect);
  host.addFile(ramp(2, 300), "take");
  for (const bool succeed : {false, true}) {
    plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) {
      tasks[0].writePosition = 100;
      return writeFrames(plugin, tasks[0], 70, -1.0f) && succeed;
    };
    EXPECT_EQ(host.runProcess({0}, 0, 0).succeeded, succeed);
    const AudioData audio = host::readAll(*host.file(0).audio);
    ASSERT_EQ(audio.frames(), 300u);
    EXPECT_EQ(audio.channels[1][99], 1099.0f);
    EXPECT_EQ(audio.channels[1][100], succeed ? 0.0f : 1100.0f);
    EXPECT_EQ(audio.channels[0][169], succeed ? -1.0f : 169.0f);
    EXPECT_EQ(audio.channels[0][170], 170.0f);
  }
}

TEST_F(AudioWrites, FillTheNewFileAndCommitItWhenTheRunSucceeds) {
  host.addFile(ramp(2, 10), "take");
  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) { return writeFrames(plugin, tasks[1], 150, 0.5f); };
  plugin.onPrepare = [](VstOfflineTask* tasks, VstInt32) {
    std::strcpy(tasks[0].processName, "Stretch");
    return true;
  };
  auto outcome = process(1);
  ASSERT_TRUE(outcome.succeeded);
  ASSERT_EQ(outcome.newFiles.size(), 1u);
  EXPECT_EQ(outcome.audioWrites, 3);
  const host::HostFile& made = host.file(outcome.newFiles[0]);
  EXPECT_EQ(made.title, "take (Stretch)");
  const AudioData audio = host::readAll(*made.audio);
  EXPECT_EQ(audio.frames(), 150u);
  EXPECT_EQ(audio.channels[0][149], 0.5f);
  EXPECT_EQ(audio.channels[1][0], 1.5f);
  EXPECT_NE(made.uniqueId, host.file(0).uniqueId);
}

TEST_F(AudioWrites, AreDiscardedWhenTheRunFails) {
  host.addFile(ramp(1, 10), "a");
  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) {
    writeFrames(plugin, tasks[1], 10, 0.5f);
    return false;
  };
  EXPECT_FALSE(process(1).succeeded);
  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) {
    writeFrames(plugin, tasks[1], 10, 0.5f);
    tasks[1].flags |= kVstOfflinePlugError;
    return true;
  };
  EXPECT_FALSE(process(1).succeeded);
  EXPECT_EQ(host.fileCount(), 1u);
}

TEST_F(AudioWrites, ReachAnExistingFileOnlyWhenTheRunSucceeds) {
  host.addFile(ramp(1, 10), "a");
  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) {
    writeFrames(plugin, tasks[0], 4, -1.0f);
    // Reading the destination sees the write; reading the source does not.
    tasks[0].readPosition = 0;
    tasks[0].readCount = 1;
    plugin.read(&tasks[0], kVstOfflineAudio, false);
    EXPECT_EQ(FakePlugin::channel(tasks[0], false, 0)[0], -1.0f);
    tasks[0].readPosition = 0;
    plugin.read(&tasks[0], kVstOfflineAudio, true);
    EXPECT_EQ(FakePlugin::channel(tasks[0], false, 0)[0], 0.0f);
    return false;
  };
  process();
  EXPECT_EQ(host::readAll(*host.file(0).audio).channels[0][0], 0.0f);
  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) { return writeFrames(plugin, tasks[0], 4, -1.0f); };
  EXPECT_TRUE(process().succeeded);
  const AudioData changed = host::readAll(*host.file(0).audio);
  EXPECT_EQ(changed.channels[0][3], -1.0f);
  EXPECT_EQ(changed.channels[0][4], 4.0f);
}

TEST_F(AudioWrites, AreRefusedForReadOnlyFilesAndBeyondTheLimit) {
  host.addFile(ramp(1, 10), "a");
  host.file(0).readOnly = true;
  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) {
    EXPECT_FALSE(writeFrames(plugin, tasks[0], 1, 0.0f));
    tasks[1].writePosition = tasks[1].maxFramesToWrite;
    EXPECT_FALSE(writeFrames(plugin, tasks[1], 1, 0.0f));
    tasks[1].writePosition = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(writeFrames(plugin, tasks[1], 1, 0.0f));
    tasks[1].writePosition = 0;
    tasks[1].writeCount = 65;
    EXPECT_FALSE(plugin.write(&tasks[1], kVstOfflineAudio));
    return true;
  };
  EXPECT_TRUE(process(1).succeeded);
}

TEST_F(AudioWrites, CanReadBackTheNewFile) {
  host.addFile(ramp(1, 10), "a");
  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) {
    writeFrames(plugin, tasks[1], 3, 0.75f);
    tasks[1].readCount = 3;
    EXPECT_TRUE(plugin.read(&tasks[1], kVstOfflineAudio, false));
    EXPECT_EQ(FakePlugin::channel(tasks[1], false, 0)[2], 0.75f);
    // A new file has no source.
    EXPECT_FALSE(plugin.read(&tasks[1], kVstOfflineAudio, true));
    return true;
  };
  EXPECT_TRUE(process(1).succeeded);
}

using CursorAndSelection = HostTest;

TEST_F(CursorAndSelection, ReadTheFilesCursorAndSelection) {
  host.addFile(ramp(2, 1000), "a");
  host.file(0).editCursor = 123;
  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) {
    VstOfflineTask& t = tasks[0];
    EXPECT_TRUE(plugin.read(&t, kVstOfflineCursor));
    EXPECT_EQ(t.positionToProcessFrom, 123.0);
    // No selection reads as an empty one at the cursor.
    EXPECT_TRUE(plugin.read(&t, kVstOfflineSelection));
    EXPECT_EQ(t.positionToProcessFrom, 123.0);
    EXPECT_EQ(t.numFramesToProcess, 0.0);
    EXPECT_EQ(t.index, -1);
    // New files have no cursor yet.
    EXPECT_FALSE(plugin.read(&tasks[1], kVstOfflineCursor));
    return true;
  };
  EXPECT_TRUE(process(1).succeeded);
}

TEST_F(CursorAndSelection, MoveWhenThePlugInWritesThem) {
  host.addFile(ramp(2, 1000), "a");
  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) {
    VstOfflineTask& t = tasks[0];
    t.positionToProcessFrom = 250.7;
    EXPECT_TRUE(plugin.write(&t, kVstOfflineCursor));
    t.positionToProcessFrom = 100;
    t.numFramesToProcess = 400;
    t.index = 1;
    EXPECT_TRUE(plugin.write(&t, kVstOfflineSelection));
    return true;
  };
  ASSERT_TRUE(process().succeeded);
  const host::HostFile& f = host.file(0);
  EXPECT_EQ(f.editCursor, 250.0);
  EXPECT_EQ(f.selectionStart, 100.0);
  EXPECT_EQ(f.selectionSize, 400.0);
  EXPECT_EQ(f.selectionChannel, 1);

  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) {
    VstOfflineTask& t = tasks[0];
    EXPECT_TRUE(plugin.read(&t, kVstOfflineSelection));
    EXPECT_EQ(t.positionToProcessFrom, 100.0);
    EXPECT_EQ(t.numFramesToProcess, 400.0);
    EXPECT_EQ(t.index, 1);
    return true;
  };
  EXPECT_TRUE(process().succeeded);
}

TEST_F(CursorAndSelection, StayInsideTheFile) {
  host.addFile(ramp(1, 1000), "a");
  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) {
    VstOfflineTask& t = tasks[0];
    t.positionToProcessFrom = 5000;
    EXPECT_TRUE(plugin.write(&t, kVstOfflineCursor));
    t.positionToProcessFrom = 900;
    t.numFramesToProcess = 500;
    t.index = -1;
    EXPECT_TRUE(plugin.write(&t, kVstOfflineSelection));
    t.positionToProcessFrom = -3;
    EXPECT_FALSE(plugin.write(&t, kVstOfflineCursor));
    t.positionToProcessFrom = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(plugin.write(&t, kVstOfflineSelection));
    t.positionToProcessFrom = 0;
    t.index = 1;  // a mono file has no channel 1
    EXPECT_FALSE(plugin.write(&t, kVstOfflineSelection));
    return true;
  };
  ASSERT_TRUE(process().succeeded);
  EXPECT_EQ(host.file(0).editCursor, 1000.0);
  EXPECT_EQ(host.file(0).selectionStart, 900.0);
  EXPECT_EQ(host.file(0).selectionSize, 100.0);
}

using FileQueries = HostTest;

TEST_F(FileQueries, AreAnsweredOnceTheHostsCallReturns) {
  host.addFile(ramp(1, 10), "a");
  std::vector<bool> starts;
  bool insideRun = false;
  plugin.onNotify = [&](VstAudioFile*, VstInt32 count, bool start) {
    EXPECT_FALSE(insideRun);
    EXPECT_EQ(count, 1);
    starts.push_back(start);
    return 1;
  };
  plugin.onRun = [&](VstOfflineTask*, VstInt32) {
    insideRun = true;
    EXPECT_TRUE(plugin.queryFiles());
    EXPECT_TRUE(starts.empty());
    insideRun = false;
    return true;
  };
  process();
  EXPECT_EQ(starts, (std::vector<bool>{false}));
}

TEST_F(FileQueries, FromOutsideAnyHostCallAreAnsweredAtOnce) {
  host.addFile(ramp(1, 10), "a");
  int notified = 0;
  plugin.onNotify = [&](VstAudioFile*, VstInt32, bool) { return ++notified; };
  EXPECT_TRUE(plugin.queryFiles());
  EXPECT_EQ(notified, 1);
}

TEST_F(FileQueries, FromAPlugInThatAsksOnEveryAnswerEndAfterAFewRounds) {
  host.addFile(ramp(1, 10), "a");
  int notified = 0;
  plugin.onNotify = [&](VstAudioFile*, VstInt32, bool) {
    ++notified;
    plugin.queryFiles();
    return 1;
  };
  host.notifyFiles();
  EXPECT_EQ(notified, 1 + host::HostOptions{}.maxNotifyRounds);
}

using StartRequests = HostTest;

TEST_F(StartRequests, LetThePlugInStartItsProcessWithANewFile) {
  host.addFile(ramp(1, 100), "a");
  int curve = 0;
  plugin.onNotify = [&](VstAudioFile* files, VstInt32 count, bool start) -> VstIntPtr {
    if (!start) return 1;
    files[0].flags |= kVstOfflineWantRead;
    files[0].plugOwned = &curve;
    return plugin.start(files, count, 1);
  };
  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32 count) {
    EXPECT_EQ(count, 2);
    EXPECT_EQ(tasks[0].plugOwned, reinterpret_cast<VstIntPtr>(&curve));
    return writeFrames(plugin, tasks[1], 100, 0.0f);
  };
  EXPECT_TRUE(host.requestStart());
  ASSERT_EQ(host.processes().size(), 1u);
  EXPECT_TRUE(host.processes()[0].succeeded);
  EXPECT_EQ(host.fileCount(), 2u);
  EXPECT_EQ(host.file(1).audio->frames(), 100u);
}

TEST_F(StartRequests, ThatThePlugInDeclinesStartNothing) {
  host.addFile(ramp(1, 100), "a");
  plugin.onNotify = [](VstAudioFile*, VstInt32, bool start) -> VstIntPtr { return start ? 0 : 1; };
  EXPECT_FALSE(host.requestStart());
  EXPECT_TRUE(host.processes().empty());
}

TEST_F(StartRequests, NestedWithoutEndStopAtTheDepthLimit) {
  host.addFile(ramp(1, 10), "a");
  plugin.onRun = [&](VstOfflineTask*, VstInt32) {
    VstAudioFile file{};
    file.uniqueId = host.file(0).uniqueId;
    plugin.start(&file, 1, 0);
    return true;
  };
  process();
  EXPECT_EQ(plugin.runs, host::HostOptions{}.maxNestedProcesses);
}

using Faults = HostTest;

// Reads the whole file in blocks; false at the first failed read.
bool readAll(FakePlugin& plugin, VstOfflineTask& t, int* blocks) {
  double remaining = t.numFramesToProcess;
  while (remaining > 0) {
    t.readCount = remaining < t.sizeInputBuffer ? static_cast<VstInt32>(remaining) : t.sizeInputBuffer;
    if (!plugin.read(&t, kVstOfflineAudio)) return false;
    ++*blocks;
    remaining -= t.readCount;
  }
  return true;
}

TEST_F(Faults, FailTheChosenReadOfEveryProcess) {
  host.addFile(ramp(1, 640), "a");
  host.setFaults({2, -1});
  int blocks = 0;
  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) { return readAll(plugin, tasks[0], &blocks); };
  auto first = process();
  EXPECT_FALSE(first.succeeded);
  EXPECT_EQ(blocks, 2);
  EXPECT_EQ(first.audioReads, 3);
  blocks = 0;
  EXPECT_FALSE(process().succeeded);
  EXPECT_EQ(blocks, 2);
  host.setFaults({});
  blocks = 0;
  EXPECT_TRUE(process().succeeded);
  EXPECT_EQ(blocks, 10);
}

TEST_F(Faults, FailTheChosenWriteAndDiscardTheNewFile) {
  host.addFile(ramp(1, 640), "a");
  host.setFaults({-1, 0});
  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) { return writeFrames(plugin, tasks[1], 100, 0.0f); };
  auto outcome = process(1);
  EXPECT_FALSE(outcome.succeeded);
  EXPECT_EQ(outcome.audioWrites, 1);
  EXPECT_EQ(host.fileCount(), 1u);
}

TEST_F(HostFiles, ReportProgressOfTheRunningProcess) {
  host.addFile(ramp(1, 256), "a");
  std::vector<double> fractions;
  std::string name, text;
  host.setProgressObserver([&](const host::ProgressEvent& e) {
    fractions.push_back(e.fraction);
    name = e.processName;
    text = e.text;
  });
  plugin.onPrepare = [](VstOfflineTask* tasks, VstInt32) {
    std::strcpy(tasks[0].processName, "Reader");
    return true;
  };
  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) {
    std::strcpy(tasks[0].progressText, "Drawing...");
    int blocks = 0;
    double remaining = 256;
    while (remaining > 0) {
      tasks[0].progress = 1.0 - remaining / 256.0;
      tasks[0].readCount = 64;
      if (!plugin.read(&tasks[0], kVstOfflineAudio)) return false;
      remaining -= 64;
      ++blocks;
    }
    return blocks == 4;
  };
  ASSERT_TRUE(process().succeeded);
  EXPECT_EQ(fractions, (std::vector<double>{0.0, 0.25, 0.5, 0.75}));
  EXPECT_EQ(name, "Reader");
  EXPECT_EQ(text, "Drawing...");
}

}  // namespace
