// The smallest host that runs started processes at once, for the plug-in's
// pass tests: one source file, one new file per start, audio reads and
// writes that advance the positions, reads and writes that can be made to
// fail, and tasks that can be made to look as a careless host leaves them.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "plugin/PluginEntry.h"

struct MiniHost {
  static inline MiniHost* current = nullptr;
  std::vector<std::vector<float>> source;  // per channel
  std::vector<std::vector<float>> written;
  double sampleRate = 44100.0;
  int block = 1000;
  int uniqueId = 3;
  int starts = 0;
  bool lastRun = false;
  int audioReads = 0;
  int failReadAt = -1;      // the audio read of this number (from 0) fails
  int audioWrites = 0;
  int failWriteAt = -1;     // the audio write of this number (from 0) fails
  int staleWriteCount = 0;  // what the new file's task holds in writeCount at the start
  int taskChannels = -1;    // input channels the tasks bring; -1: the source's
  int writeCalls = 0;       // every audio write, including empty ones
  std::vector<int> otherReads;   // cursor and selection reads, by option
  std::vector<int> otherWrites;  // cursor and selection writes, by option
  VstOfflineTask lastWrittenSelection{};
  VstOfflineTask lastTask{};  // the first task as the last run left it
  AEffect* effect = nullptr;

  static VstIntPtr VSTCALLBACK callback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                        float) {
    return current->handle(opcode, index, value, ptr);
  }

  VstIntPtr handle(VstInt32 opcode, VstInt32 newFiles, VstIntPtr option, void* ptr) {
    if (opcode == audioMasterVersion) return 2300;
    if (opcode == audioMasterOfflineStart) return start(newFiles);
    auto* task = static_cast<VstOfflineTask*>(ptr);
    if (opcode == audioMasterOfflineRead && option == kVstOfflineAudio && task) {
      if (audioReads++ == failReadAt) return 0;
      auto** in = static_cast<float**>(task->inputBuffer);
      const auto from = static_cast<size_t>(task->readPosition);
      if (task->readCount < 0 || from + static_cast<size_t>(task->readCount) > source[0].size()) return 0;
      for (size_t c = 0; c < static_cast<size_t>(task->numSourceChannels); ++c)
        for (int i = 0; i < task->readCount; ++i) in[c][i] = source[c][from + static_cast<size_t>(i)];
      task->readPosition += task->readCount;
      return 1;
    }
    if (opcode == audioMasterOfflineWrite && option == kVstOfflineAudio && task) {
      ++writeCalls;
      if (task->writeCount > 0 && audioWrites++ == failWriteAt) return 0;
      EXPECT_GE(task->writeCount, 0);
      EXPECT_LE(task->writeCount, task->sizeOutputBuffer);
      auto** out = static_cast<float**>(task->outputBuffer);
      for (size_t c = 0; c < written.size(); ++c)
        for (int i = 0; i < task->writeCount; ++i) written[c].push_back(out[c][i]);
      task->writePosition += task->writeCount;
      return 1;
    }
    if (opcode == audioMasterOfflineRead && task) {
      otherReads.push_back(static_cast<int>(option));
      return refuseOthers ? 0 : 1;
    }
    if (opcode == audioMasterOfflineWrite && task) {
      otherWrites.push_back(static_cast<int>(option));
      if (option == kVstOfflineSelection) lastWrittenSelection = *task;
      return refuseOthers ? 0 : 1;
    }
    return 0;
  }
  bool refuseOthers = false;  // cursor and selection reads and writes fail

  VstIntPtr start(int newFiles) {
    ++starts;
    const int channels = taskChannels >= 0 ? taskChannels : static_cast<int>(source.size());
    std::vector<std::vector<float>> in(static_cast<size_t>(channels), std::vector<float>(static_cast<size_t>(block)));
    std::vector<std::vector<float>> out(static_cast<size_t>(channels), std::vector<float>(static_cast<size_t>(block)));
    std::vector<float*> inPtrs, outPtrs;
    for (auto& v : in) inPtrs.push_back(v.data());
    for (auto& v : out) outPtrs.push_back(v.data());
    VstOfflineTask tasks[2]{};
    for (VstOfflineTask& t : tasks) {
      t.numFramesInSourceFile = static_cast<double>(source[0].size());
      t.numFramesToProcess = t.numFramesInSourceFile;
      t.sourceSampleRate = sampleRate;
      t.numSourceChannels = channels;
    }
    tasks[0].sizeInputBuffer = block;
    tasks[0].inputBuffer = inPtrs.data();
    tasks[1].sizeOutputBuffer = block;
    tasks[1].outputBuffer = outPtrs.data();
    tasks[1].flags = kVstOfflineNewFile;
    tasks[1].writeCount = staleWriteCount;
    const int count = 1 + newFiles;
    written.assign(newFiles ? static_cast<size_t>(channels) : 0, {});
    if (!effect->dispatcher(effect, effOfflinePrepare, 0, count, tasks, 0)) return 0;
    lastRun = effect->dispatcher(effect, effOfflineRun, 0, count, tasks, 0) != 0;
    lastTask = tasks[0];
    return 1;
  }

  VstAudioFile file() const {
    VstAudioFile f{};
    std::strcpy(f.name, "passes-test-take");
    f.uniqueId = uniqueId;
    f.sampleRate = sampleRate;
    f.numChannels = static_cast<VstInt32>(source.size());
    f.numFrames = static_cast<double>(source[0].size());
    f.editCursorPosition = -1;
    f.selectionStart = -1;
    return f;
  }
};

// A test with a host of its own; the plug-in it opened is closed at the end.
class MiniHostTest : public ::testing::Test {
 protected:
  void SetUp() override { MiniHost::current = &host; }
  void TearDown() override {
    if (host.effect) host.effect->dispatcher(host.effect, effClose, 0, 0, nullptr, 0);
    MiniHost::current = nullptr;
  }

  MiniHost host;
};
