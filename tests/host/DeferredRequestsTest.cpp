#include <gtest/gtest.h>

#include <vector>

#include "host/offline/DeferredRequests.h"
#include "host/offline/OfflineHost.h"
#include "tests/host/FakePlugin.h"

using host::AudioData;
using host::DeferredRequests;
using host::OfflineHost;

namespace {

class Deferred : public ::testing::Test {
 protected:
  Deferred() : requests(host), plugin(&DeferredRequests::callback) {
    host.attach(&plugin.effect);
    requests.attach();
    requests.setWake([this] { ++wakes; });
    requests.setProcessObserver([this](const host::ProcessOutcome& outcome) { outcomes.push_back(outcome); });
    host.addFile(AudioData::silence(1, 1000, 44100.0), "take");
  }

  int runAll() {
    int n = 0;
    while (requests.runNext() && n < 1000) ++n;
    return n;
  }

  OfflineHost host;
  DeferredRequests requests;
  FakePlugin plugin;
  int wakes = 0;
  std::vector<host::ProcessOutcome> outcomes;
};

TEST_F(Deferred, AnswersAFileQueryFromTheLoopAfterThePlugInsCallReturned) {
  int notifications = 0;
  bool markSet = false;
  bool markSeenByNotification = false;
  plugin.onNotify = [&](VstAudioFile*, VstInt32, bool) {
    ++notifications;
    markSeenByNotification = markSet;
    return 1;
  };
  // As an editor asks from its window procedure and then sets its redraw mark.
  EXPECT_TRUE(plugin.queryFiles());
  EXPECT_TRUE(plugin.queryFiles());
  markSet = true;
  EXPECT_EQ(notifications, 0);
  EXPECT_EQ(wakes, 1);
  EXPECT_EQ(runAll(), 1);  // two queries, one answer
  EXPECT_EQ(notifications, 1);
  EXPECT_TRUE(markSeenByNotification);
}

TEST_F(Deferred, RunsAStartedProcessLaterWithTheParameterInForceWhenItWasStarted) {
  float modeAtPrepare = -1.0f;
  float modeAtRun = -1.0f;
  plugin.onNotify = [&](VstAudioFile* files, VstInt32 count, bool) {
    // The editor's request: set the mode, start, put the mode back.
    plugin.parameter = 1.0f;
    files[0].flags |= kVstOfflineWantRead;
    EXPECT_TRUE(plugin.start(files, count, 0));
    plugin.parameter = 2.0f;
    EXPECT_TRUE(plugin.queryFiles());
    plugin.onNotify = nullptr;
    return 1;
  };
  plugin.onPrepare = [&](VstOfflineTask*, VstInt32) {
    modeAtPrepare = plugin.parameter;
    return true;
  };
  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) {
    modeAtRun = plugin.parameter;
    tasks[0].readCount = 100;
    return plugin.read(&tasks[0], kVstOfflineAudio);
  };
  host.notifyFiles();
  EXPECT_EQ(plugin.prepares, 0) << "the process ran inside the plug-in's call";
  EXPECT_TRUE(requests.pending());
  EXPECT_EQ(runAll(), 2);
  EXPECT_EQ(plugin.runs, 1);
  EXPECT_EQ(modeAtPrepare, 1.0f);
  EXPECT_EQ(modeAtRun, 1.0f);
  EXPECT_EQ(plugin.parameter, 2.0f);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_TRUE(outcomes[0].succeeded);
  EXPECT_EQ(outcomes[0].audioReads, 1);
  EXPECT_EQ(requests.queriesAnswered(), 1);
}

TEST_F(Deferred, LeavesAParameterTheProcessItselfChanged) {
  plugin.onNotify = [&](VstAudioFile* files, VstInt32 count, bool) {
    plugin.parameter = 9.0f;
    plugin.start(files, count, 0);
    plugin.parameter = 2.0f;
    return 1;
  };
  plugin.onRun = [&](VstOfflineTask*, VstInt32) {
    plugin.parameter = 1.0f;
    return true;
  };
  host.notifyFiles();
  runAll();
  EXPECT_EQ(plugin.parameter, 1.0f);
}

TEST_F(Deferred, KeepsWhatThePlugInAttachedToTheFileAndMakesTheNewFiles) {
  int marker = 0;
  plugin.onNotify = [&](VstAudioFile* files, VstInt32 count, bool start) {
    EXPECT_TRUE(start);
    files[0].flags |= kVstOfflineWantRead;
    files[0].plugOwned = &marker;
    return plugin.start(files, count, 1) ? 1 : 0;
  };
  VstInt32 tasksSeen = 0;
  VstIntPtr ownedSeen = 0;
  VstInt32 flagsOfNewFile = -1;
  plugin.onPrepare = [&](VstOfflineTask* tasks, VstInt32 count) {
    tasks[1].numDestinationChannels = 1;
    tasks[1].destinationSampleRate = 44100.0;
    return count == 2;
  };
  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32 count) {
    tasksSeen = count;
    ownedSeen = tasks[0].plugOwned;
    flagsOfNewFile = tasks[1].flags & kVstOfflineNewFile;
    tasks[1].writeCount = 10;
    return plugin.write(&tasks[1], kVstOfflineAudio);
  };
  EXPECT_TRUE(host.requestStart());
  EXPECT_EQ(plugin.runs, 0);
  runAll();
  EXPECT_EQ(tasksSeen, 2);
  EXPECT_EQ(ownedSeen, reinterpret_cast<VstIntPtr>(&marker));
  EXPECT_NE(flagsOfNewFile, 0);
  ASSERT_EQ(outcomes.size(), 1u);
  ASSERT_EQ(outcomes[0].newFiles.size(), 1u);
  EXPECT_EQ(host.file(outcomes[0].newFiles[0]).audio->frames(), 10u);
}

TEST_F(Deferred, RefusesAtOnceAStartNamingAFileTheHostDoesNotHave) {
  VstAudioFile stranger{};
  stranger.uniqueId = 4242;
  EXPECT_FALSE(plugin.start(&stranger, 1, 0));
  EXPECT_FALSE(plugin.start(nullptr, 1, 0));
  EXPECT_FALSE(plugin.start(nullptr, 0, 0));
  EXPECT_FALSE(requests.pending());
  EXPECT_EQ(wakes, 0);
}

TEST_F(Deferred, DropsAProcessWhoseFileWasClosedBeforeItRan) {
  plugin.onNotify = [&](VstAudioFile* files, VstInt32 count, bool) { return plugin.start(files, count, 0) ? 1 : 0; };
  host.notifyFiles();
  ASSERT_TRUE(host.removeFile(0));
  runAll();
  EXPECT_EQ(plugin.prepares, 0);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_FALSE(outcomes[0].succeeded);
  EXPECT_FALSE(outcomes[0].problem.empty());
}

TEST_F(Deferred, StopsAnsweringAPlugInThatAsksOnEveryAnswerUntilSomebodyActs) {
  int notifications = 0;
  plugin.onNotify = [&](VstAudioFile*, VstInt32, bool) {
    ++notifications;
    plugin.queryFiles();
    return 1;
  };
  plugin.queryFiles();
  runAll();
  EXPECT_EQ(notifications, DeferredRequests::kMaxUnpromptedAnswers);
  EXPECT_EQ(requests.queriesDropped(), 1);
  requests.userActed();
  plugin.queryFiles();
  runAll();
  EXPECT_EQ(notifications, 2 * DeferredRequests::kMaxUnpromptedAnswers);
}

TEST_F(Deferred, BoundsTheQueueOfAPlugInThatStartsWithoutEnd) {
  VstAudioFile record{};
  record.uniqueId = host.file(0).uniqueId;
  std::size_t accepted = 0;
  for (int i = 0; i < 200; ++i) accepted += plugin.start(&record, 1, 0) ? 1 : 0;
  EXPECT_EQ(accepted, DeferredRequests::kMaxQueued);
  EXPECT_EQ(wakes, 1);
}

TEST_F(Deferred, HandsAudioReadsAndWritesOfARunningProcessToTheHost) {
  const float marked = 0.25f;
  const float* markedChannel = &marked;
  ASSERT_TRUE(host.file(0).audio->write(5, 1, &markedChannel));
  float seen = 0.0f;
  plugin.onNotify = [&](VstAudioFile* files, VstInt32 count, bool) { return plugin.start(files, count, 0) ? 1 : 0; };
  plugin.onRun = [&](VstOfflineTask* tasks, VstInt32) {
    tasks[0].readCount = 10;
    if (!plugin.read(&tasks[0], kVstOfflineAudio)) return false;
    seen = FakePlugin::channel(tasks[0], false, 0)[5];
    tasks[0].positionToProcessFrom = 100;
    tasks[0].numFramesToProcess = 50;
    tasks[0].index = -1;
    return plugin.write(&tasks[0], kVstOfflineSelection);
  };
  host.notifyFiles();
  runAll();
  EXPECT_EQ(seen, 0.25f);
  EXPECT_EQ(host.file(0).selectionStart, 100.0);
  EXPECT_EQ(host.file(0).selectionSize, 50.0);
}

TEST(HostFileList, RemovingAFileKeepsTheCurrentOneWhereItCan) {
  OfflineHost host;
  host.addFile(AudioData::silence(1, 10, 8000.0), "a");
  host.addFile(AudioData::silence(1, 10, 8000.0), "b");
  host.addFile(AudioData::silence(1, 10, 8000.0), "c");
  host.setCurrentFile(1);
  EXPECT_TRUE(host.removeFile(2));
  EXPECT_EQ(host.file(host.currentFile()).title, "b");
  EXPECT_TRUE(host.removeFile(0));
  EXPECT_EQ(host.file(host.currentFile()).title, "b");
  EXPECT_FALSE(host.removeFile(5));
  EXPECT_TRUE(host.removeFile(0));
  EXPECT_EQ(host.fileCount(), 0u);
}

}  // namespace
