#include <gtest/gtest.h>

#include <set>
#include <string>

#include "host/audio/AudioStore.h"
#include "host/commands/SessionText.h"

namespace {

TEST(OutputName, TakesTheFirstNameBesideTheInputThatNoFileHas) {
  std::set<std::string> taken;
  auto exists = [&](const std::string& p) { return taken.count(p) > 0; };
  EXPECT_EQ(host::freeOutputName("rec/take.wav", "Pelmora", exists), "rec/take (Pelmora).wav");
  taken = {"rec/take (Pelmora).wav", "rec/take (Pelmora) 2.wav"};
  EXPECT_EQ(host::freeOutputName("rec/take.wav", "Pelmora", exists), "rec/take (Pelmora) 3.wav");
}

TEST(OutputName, KeepsDotsOfFoldersOutOfTheExtension) {
  auto none = [](const std::string&) { return false; };
  EXPECT_EQ(host::freeOutputName("C:\\rec.v2\\take", "Pelmora", none), "C:\\rec.v2\\take (Pelmora).wav");
  EXPECT_EQ(host::freeOutputName("take.WAV", "", none), "take (processed).WAV");
}

TEST(OutputName, GivesNoNameWhenEveryCandidateIsTaken) {
  EXPECT_EQ(host::freeOutputName("take.wav", "Pelmora", [](const std::string&) { return true; }), "");
}

TEST(SessionText, TellsPositionsInMinutesSecondsAndMilliseconds) {
  EXPECT_EQ(host::formatPosition(0, 44100), "0:00.000");
  EXPECT_EQ(host::formatPosition(61.5 * 44100, 44100), "1:01.500");
  EXPECT_EQ(host::formatPosition(600 * 48000 - 1, 48000), "9:59.999");
  EXPECT_EQ(host::formatPosition(-1, 44100), "-");
  EXPECT_EQ(host::formatPosition(10, 0), "-");
}

TEST(SessionText, DescribesTheCursorAndTheSelectionThePlugInSet) {
  host::HostFile file;
  file.audio = host::makeMemoryStore(host::AudioData::silence(1, 10, 1000.0));
  file.editCursor = 1500;
  EXPECT_EQ(host::describeMarks(file), "Cursor 0:01.500   No selection");
  file.selectionStart = 2000;
  file.selectionSize = 500;
  EXPECT_EQ(host::describeMarks(file), "Cursor 0:01.500   Selection 0:02.000 to 0:02.500");
}

}  // namespace
