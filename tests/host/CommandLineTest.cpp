#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <cmath>
#include <limits>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "host/audio/WavFile.h"
#include "host/commands/CommandLine.h"
#include "host/commands/Correction.h"
#include "host/commands/CurveHandoff.h"
#include "host/commands/FiguresFile.h"
#include "host/offline/OfflineHost.h"
#include "platform/Platform.h"
#include "tests/host/CopyPluginEntry.h"
#include "tests/host/FakePlugin.h"
#include "tests/host/TempPath.h"

using host::AudioData;
using host::SampleFormat;

namespace {

// The test libraries, built beside the test programs.
const std::string kCopyPlugin = COPY_PLUGIN_FILE;
const std::string kNullPlugin = NULL_PLUGIN_FILE;
const std::string kNoEntryLibrary = NO_ENTRY_LIBRARY_FILE;

struct RunResult {
  int status;
  std::string out;
  std::string err;
};

RunResult run(std::vector<std::string> args, host::PluginSource source = {kCopyPlugin, nullptr, {}}) {
  std::ostringstream out, err;
  const int status = host::runCommandLine(args, source, out, err);
  return {status, out.str(), err.str()};
}

std::string temp(const std::string& name) { return tempPath("cli-" + name); }

AudioData testSignal(int channels, std::size_t frames, double rate) {
  AudioData audio = AudioData::silence(channels, frames, rate);
  for (int c = 0; c < channels; ++c)
    for (std::size_t i = 0; i < frames; ++i)
      audio.channels[c][i] = static_cast<float>(static_cast<int>((i * 31 + c * 7) % 2001) - 1000) / 32768.0f;
  return audio;
}

TEST(HostInfo, DescribesThePlugIn) {
  const RunResult r = run({"info", "--plugin", kCopyPlugin});
  ASSERT_EQ(r.status, host::kExitOk) << r.err;
  EXPECT_EQ(r.out.find("hand-off curve folder:"), std::string::npos) << "no folder without a curve location";
  const host::PluginSource located{kCopyPlugin, nullptr, [](const std::string& title) { return "/a/b/" + title + ".pvc"; }};
  EXPECT_NE(run({"info"}, located).out.find("hand-off curve folder: /a/b/\n"), std::string::npos);
  for (const char* line : {"magic: 0x56737450 'VstP'", "numParams: 1", "numOutputs: 2", "uniqueID: 0x436F7079 'Copy'",
                           "version: 7", "program name: \"Copy\"", "parameter 0 name: \"Mode\"",
                           "parameter 0 label: \"#\"", "parameter 0 display: \"1.000000\"", "parameter 0 value: 1",
                           "canDo \"offline\": 1", "canDo \"noRealTime\": 1", "canDo \"pelmoraNoSuchCapability\": 0",
                           "VST version: 2300", "identify: 0x4E764566 'NvEf'", "editor rectangle: none"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
}

TEST(HostInfo, UsesThePlugInBesideTheProgramWithoutAPath) {
  EXPECT_EQ(run({"info"}).status, host::kExitOk);
}

TEST(HostInfo, SaysWhyAPlugInCannotBeLoaded) {
  const std::string text = temp("not-a-plugin.dll");
  {
    std::ofstream f(text);
    f << "not a library\n";
  }
  struct Case {
    std::string path;
    std::string says;
  };
  for (const Case& c : std::vector<Case>{{temp("missing.dll"), "no such file"},
                                         {text, "not a library"},
                                         {kNoEntryLibrary, "no entry point \"main\""},
                                         {kNullPlugin, "returned no plug-in"}}) {
    const RunResult r = run({"info", "--plugin", c.path});
    EXPECT_EQ(r.status, host::kExitPlugin) << c.path;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
  }
  std::remove(text.c_str());
}

TEST(HostInfo, UsesAPlugInLinkedIntoTheProgram) {
  const RunResult r = run({"info"}, {"no-such.dll", &copyPluginMain, {}});
  EXPECT_EQ(r.status, host::kExitOk) << r.err;
  EXPECT_NE(r.out.find("'Copy'"), std::string::npos);
}

TEST(HostCommandLine, RejectsWrongUse) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{},
                                             {"convert"},
                                             {"correct", "in.wav"},
                                             {"info", "extra"},
                                             {"info", "--plugin"},
                                             {"correct", "a", "b", "--block", "0"},
                                             {"correct", "a", "b", "--block", "12x"},
                                             {"info", "--colour"},
                                             {"correct", "a", "b", "--curve", "c.pvc"},
                                             {"correct", "a", "b", "--detect", "cog"},
                                             {"info", "--detect", "hum"}}) {
    const RunResult r = run(args);
    EXPECT_EQ(r.status, host::kExitUsage) << (args.empty() ? "" : args[0]);
    EXPECT_NE(r.err.find("usage:"), std::string::npos);
  }
  EXPECT_EQ(run({"--help"}).status, host::kExitOk);
  const RunResult three = run({"correct", "a.wav", "b.wav", "c.wav"});
  EXPECT_EQ(three.status, host::kExitUsage);
  EXPECT_NE(three.err.find("3 were given: a.wav b.wav c.wav"), std::string::npos) << three.err;
  const RunResult both = run({"correct", "a", "b", "--curve", "c.pvc", "--detect", "hum"});
  EXPECT_EQ(both.status, host::kExitUsage);
  EXPECT_NE(both.err.find("cannot go together"), std::string::npos) << both.err;
  const RunResult spectral = run({"correct", "a.wav", "b.wav", "--detect", "spectral"});
  EXPECT_EQ(spectral.status, host::kExitUsage);
  EXPECT_NE(spectral.err.find("dewow IN.wav OUT.wav --algorithm spectral --band LO:HI"), std::string::npos)
      << spectral.err;
}

class HostCorrect : public ::testing::TestWithParam<int> {
 protected:
  void TearDown() override {
    std::remove(in.c_str());
    std::remove(out.c_str());
  }
  const std::string in = temp("in.wav");
  const std::string out = temp("out.wav");
};

TEST_P(HostCorrect, WritesThePlugInsNewFileInTheInputsFormatOrAsAsked) {
  const int channels = GetParam();
  const AudioData source = testSignal(channels, 10007, 22050.0);
  ASSERT_TRUE(host::writeWav(in, source, SampleFormat::Pcm16).ok());
  const RunResult r = run({"correct", in, out, "--plugin", kCopyPlugin, "--block", "1000", "--format", "float32"});
  ASSERT_EQ(r.status, host::kExitOk) << r.err;
  EXPECT_NE(r.err.find("Copy: Copy file"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Read: Reading"), std::string::npos) << r.err;

  const auto result = host::readWav(out);
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(result.format, SampleFormat::Float32);
  EXPECT_EQ(result.audio.sampleRate, 22050.0);
  ASSERT_EQ(result.audio.channelCount(), channels);
  ASSERT_EQ(result.audio.frames(), source.frames());
  int wrong = 0;
  for (int c = 0; c < channels; ++c)
    for (std::size_t i = 0; i < source.frames(); ++i)
      if (result.audio.channels[c][i] != source.channels[c][i] * 0.5f) ++wrong;
  EXPECT_EQ(wrong, 0);

  // By default the input's 16 bits, dithered: within a step and a half.
  const RunResult same = run({"correct", in, out, "--plugin", kCopyPlugin});
  ASSERT_EQ(same.status, host::kExitOk) << same.err;
  EXPECT_NE(same.out.find("16-bit PCM"), std::string::npos) << same.out;
  const auto pcm = host::readWav(out);
  ASSERT_TRUE(pcm.ok());
  EXPECT_EQ(pcm.format, SampleFormat::Pcm16);
  double worst = 0.0;
  for (int c = 0; c < channels; ++c)
    for (std::size_t i = 0; i < source.frames(); ++i)
      worst = std::max(worst, std::abs(static_cast<double>(pcm.audio.channels[c][i]) - source.channels[c][i] * 0.5));
  EXPECT_LT(worst * 32768.0, 1.5);
  EXPECT_EQ(run({"correct", in, out, "--plugin", kCopyPlugin, "--format", "pcm12"}).status, host::kExitUsage);
}

INSTANTIATE_TEST_SUITE_P(MonoAndStereo, HostCorrect, ::testing::Values(1, 2));

// correct --figures: the wow of the input and of what the plug-in wrote,
// for a program to read. The copy plug-in leaves the wow as it was.
TEST_F(HostCorrect, WritesTheWowBeforeAndAfterForPrograms) {
  const double rate = 22050.0;
  AudioData audio = AudioData::silence(1, static_cast<std::size_t>(6 * rate), rate);
  const double twoPi = 2.0 * std::numbers::pi;
  for (std::size_t i = 0; i < audio.frames(); ++i) {
    const double t = i / rate;
    const double played = t + 0.003 * (1.0 - std::cos(twoPi * 0.8 * t)) / (twoPi * 0.8);
    double v = 0.0;
    for (double hz : {440.0, 660.0, 1000.0, 2500.0, 3300.0}) v += 0.15 * std::sin(twoPi * hz * played);
    audio.channels[0][i] = static_cast<float>(v);
  }
  ASSERT_TRUE(host::writeWav(in, audio, SampleFormat::Pcm16).ok());
  const std::string figures = temp("figures.json");
  const RunResult r = run({"correct", in, out, "--plugin", kCopyPlugin, "--figures", figures});
  ASSERT_EQ(r.status, host::kExitOk) << r.err;
  std::string text;
  ASSERT_TRUE(host::readTextFile(figures, text));
  const auto read = host::parseFiguresJson(text);
  ASSERT_TRUE(read) << text;
  ASSERT_TRUE(read->beforeRmsPercent && read->afterRmsPercent) << text;
  EXPECT_NEAR(*read->beforeRmsPercent, 0.3 / std::sqrt(2.0), 0.05) << text;
  EXPECT_NEAR(*read->afterRmsPercent, *read->beforeRmsPercent, 0.01) << text;

  // A run that fails still says what it could: nothing here.
  EXPECT_EQ(run({"correct", temp("missing.wav"), out, "--figures", figures}).status, host::kExitInput);
  ASSERT_TRUE(host::readTextFile(figures, text));
  EXPECT_EQ(text, host::figuresJson({}));
  std::remove(figures.c_str());
  EXPECT_EQ(run({"info", "--figures", figures}).status, host::kExitUsage);
  EXPECT_EQ(run({"correct", in, out, "--figures", out}).status, host::kExitUsage);
}

using HostCorrectFails = HostCorrect;

TEST_F(HostCorrectFails, OnInputItCannotRead) {
  EXPECT_EQ(run({"correct", temp("missing.wav"), out}).status, host::kExitInput);
  // A good 16-bit file whose format tag then says ADPCM.
  ASSERT_TRUE(host::writeWav(in, testSignal(1, 100, 8000.0), SampleFormat::Pcm16).ok());
  {
    std::fstream f(in, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(20);
    f.put('\x02');
  }
  RunResult r = run({"correct", in, out});
  EXPECT_EQ(r.status, host::kExitInput);
  EXPECT_NE(r.err.find("not supported"), std::string::npos) << r.err;
  {
    std::ofstream f(in, std::ios::binary);
    f << "just text";
  }
  EXPECT_EQ(run({"correct", in, out}).status, host::kExitInput);
  ASSERT_TRUE(host::writeWav(in, AudioData::silence(1, 0, 8000.0), SampleFormat::Pcm16).ok());
  EXPECT_EQ(run({"correct", in, out}).status, host::kExitInput);
  EXPECT_EQ(platform::fileAttributes(out), platform::kInvalidAttributes);
}

TEST_F(HostCorrectFails, WhenThePlugInRefusesTheFile) {
  ASSERT_TRUE(host::writeWav(in, testSignal(3, 100, 8000.0), SampleFormat::Pcm16).ok());
  const RunResult r = run({"correct", in, out});
  EXPECT_EQ(r.status, host::kExitRefused);
  EXPECT_NE(r.err.find("does not take"), std::string::npos) << r.err;
  EXPECT_EQ(platform::fileAttributes(out), platform::kInvalidAttributes);
}

TEST_F(HostCorrectFails, WhenTheOutputCannotBeWritten) {
  ASSERT_TRUE(host::writeWav(in, testSignal(1, 100, 8000.0), SampleFormat::Pcm16).ok());
  const RunResult r = run({"correct", in, temp("no-such-folder") + "/out.wav"});
  EXPECT_EQ(r.status, host::kExitOutput) << r.err;
}

TEST_F(HostCorrectFails, BeforeAnyPassWhenTheOutputCannotTakeTheFile) {
  ASSERT_TRUE(host::writeWav(in, testSignal(1, 100, 8000.0), SampleFormat::Pcm16).ok());
  const std::string folder = in.substr(0, in.find_last_of("/\\"));
  for (const std::string& output : {folder, in, folder + "/aux.wav", temp("no-such-folder") + "/out.wav"}) {
    const RunResult r = run({"correct", in, output});
    EXPECT_EQ(r.status, host::kExitOutput) << output;
    EXPECT_NE(r.err.find(output + ": "), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Reading"), std::string::npos) << "a pass ran: " << r.err;
  }
  // The input refused as output is untouched.
  const auto still = host::readWav(in);
  ASSERT_TRUE(still.ok());
  EXPECT_EQ(still.audio.channels, testSignal(1, 100, 8000.0).channels);
}

TEST_F(HostCorrectFails, OnSamplesThatAreNoNumbersUnlessAskedToRepairThem) {
  AudioData source = testSignal(2, 3000, 8000.0);
  source.channels[1][2000] = std::numeric_limits<float>::quiet_NaN();
  source.channels[0][2500] = std::numeric_limits<float>::infinity();
  source.channels[1][2999] = -std::numeric_limits<float>::infinity();
  ASSERT_TRUE(host::writeWav(in, source, SampleFormat::Float32).ok());
  const RunResult refused = run({"correct", in, out});
  EXPECT_EQ(refused.status, host::kExitInput);
  EXPECT_NE(refused.err.find("frame 2000 of channel 2 is not a finite number (3 such samples"), std::string::npos)
      << refused.err;
  EXPECT_EQ(platform::fileAttributes(out), platform::kInvalidAttributes);

  const RunResult repaired = run({"correct", in, out, "--repair-samples"});
  ASSERT_EQ(repaired.status, host::kExitOk) << repaired.err;
  EXPECT_NE(repaired.err.find("3 NaN or infinite samples read as silence"), std::string::npos) << repaired.err;
  const auto result = host::readWav(out);
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.audio.channels[1][2000], 0.0f);
  EXPECT_EQ(result.audio.channels[0][2500], 0.0f);
  EXPECT_EQ(result.audio.channels[0][1999], source.channels[0][1999] * 0.5f);
}

TEST_F(HostCorrectFails, OnACurveThatGivesNothingOrImplausibleSpeeds) {
  ASSERT_TRUE(host::writeWav(in, testSignal(1, 1000, 8000.0), SampleFormat::Pcm16).ok());
  const std::string curve = temp("bad.pvc");
  const std::string place = temp("bad-handoff.pvc");
  host::PluginSource source{kCopyPlugin, nullptr, [&](const std::string&) { return place; }};
  struct Case {
    std::string text;
    int status;
    std::string says;
  };
  for (const Case& c : std::vector<Case>{
           {"", host::kExitInput, "no usable point"},
           {"0\t1.0\n500\t1.0\n", host::kExitInput, "2 lines could not be used"},
           {"0 1.0\n500 20\n", host::kExitInput, "line 2: the ratio 20 is outside"},
           {"0 1.0\nnonsense\n2.4e5 1.0\n999 1.0\n", host::kExitOk, "2 lines could not be used (line 2: "}}) {
    std::ofstream(curve, std::ios::binary) << c.text;
    const RunResult r = run({"correct", in, out, "--curve", curve}, source);
    EXPECT_EQ(r.status, c.status) << c.text << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_EQ(platform::fileAttributes(out) != platform::kInvalidAttributes, c.status == host::kExitOk) << c.text;
    EXPECT_EQ(platform::fileAttributes(place), platform::kInvalidAttributes);
    std::remove(out.c_str());
  }
  std::remove(curve.c_str());
}

TEST(CurveHandoff, PutsBackWhatWasThere) {
  const std::string curve = temp("curve.pvc");
  const std::string place = temp("place.pvc");
  auto content = [](const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return f ? s.str() : std::string("(none)");
  };
  {
    std::ofstream(curve, std::ios::binary) << "0 1.000000\r\n";
    std::ofstream(place, std::ios::binary) << "old";
  }
  {
    host::CurveHandoff handoff;
    std::string problem;
    ASSERT_TRUE(handoff.place(curve, place, problem)) << problem;
    EXPECT_EQ(content(place), "0 1.000000\r\n");
  }
  EXPECT_EQ(content(place), "old");
  std::remove(place.c_str());
  {
    host::CurveHandoff handoff;
    std::string problem;
    ASSERT_TRUE(handoff.place(curve, place, problem));
  }
  EXPECT_EQ(platform::fileAttributes(place), platform::kInvalidAttributes);
  host::CurveHandoff handoff;
  std::string problem;
  EXPECT_FALSE(handoff.place(temp("no-curve.pvc"), place, problem));
  EXPECT_FALSE(problem.empty());
  std::remove(curve.c_str());
}

TEST_F(HostCorrect, HandsTheCurveOverForTheRunOnly) {
  ASSERT_TRUE(host::writeWav(in, testSignal(1, 1000, 8000.0), SampleFormat::Pcm16).ok());
  const std::string curve = temp("given.pvc");
  const std::string place = temp("handoff.pvc");
  std::ofstream(curve, std::ios::binary) << "0 1.000000\r\n999 1.000000\r\n";
  std::string askedFor;
  host::PluginSource source{kCopyPlugin, nullptr, [&](const std::string& title) {
                              askedFor = title;
                              return place;
                            }};
  EXPECT_EQ(run({"correct", in, out, "--curve", curve}, source).status, host::kExitOk);
  EXPECT_EQ(askedFor + ".wav", in.substr(in.find_last_of("/\\") + 1));
  EXPECT_EQ(platform::fileAttributes(place), platform::kInvalidAttributes);
  EXPECT_EQ(run({"correct", in, out, "--curve", temp("no-curve.pvc")}, source).status, host::kExitInput);
  std::remove(curve.c_str());
}

// A curve left where the plug-in looks for one under the file's name is
// applied without a word from the plug-in: the host names it.
TEST_F(HostCorrect, SaysWhichCurveFoundInTheSnapshotFolderIsApplied) {
  ASSERT_TRUE(host::writeWav(in, testSignal(1, 1000, 8000.0), SampleFormat::Pcm16).ok());
  const std::string place = temp("left-behind.pvc");
  host::PluginSource source{kCopyPlugin, nullptr, [&](const std::string&) { return place; }};
  const RunResult none = run({"correct", in, out}, source);
  EXPECT_EQ(none.status, host::kExitOk) << none.err;
  EXPECT_EQ(none.err.find("applies the curve"), std::string::npos) << none.err;
  std::ofstream(place, std::ios::binary) << "0 1.000000\r\n999 1.000000\r\n";
  const RunResult found = run({"correct", in, out}, source);
  EXPECT_EQ(found.status, host::kExitOk) << found.err;
  EXPECT_NE(found.err.find("the plug-in applies the curve " + place), std::string::npos) << found.err;
  // The file is the user's: it stays.
  EXPECT_NE(platform::fileAttributes(place), platform::kInvalidAttributes);
  std::remove(place.c_str());
}

TEST_F(HostCorrectFails, WhenThePlugInDeclinesOrFailsItsProcess) {
  ASSERT_TRUE(host::writeWav(in, testSignal(1, 100, 8000.0), SampleFormat::Pcm16).ok());
  for (bool startsAndFails : {false, true}) {
    host::OfflineHost offline;
    FakePlugin plugin(&host::OfflineHost::callback);
    offline.attach(&plugin.effect);
    plugin.onNotify = [&](VstAudioFile* files, VstInt32 count, bool start) -> VstIntPtr {
      if (!start) return 1;
      return startsAndFails ? plugin.start(files, count, 1) : 0;
    };
    plugin.onRun = [&](VstOfflineTask*, VstInt32 count) { return count == 1; };  // only the reading pass works
    std::ostringstream o, e;
    EXPECT_EQ(host::runCorrection(offline, {in, out, {}, {}}, o, e), host::kExitRefused);
    EXPECT_NE(e.str().find(startsAndFails ? "process failed: the plug-in stopped it" : "declined"), std::string::npos)
        << e.str();
    EXPECT_EQ(platform::fileAttributes(out), platform::kInvalidAttributes);
  }
}

}  // namespace

namespace {

std::string fileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

TEST_F(HostCorrect, WritesTheBeforeAndAfterReportsAskedFor) {
  ASSERT_TRUE(host::writeWav(in, testSignal(1, 44100, 22050.0), SampleFormat::Pcm16).ok());
  const std::string json = temp("report.json");
  const std::string html = temp("report.HTML");
  const RunResult r = run({"correct", in, out, "--plugin", kCopyPlugin, "--report", json, "--report", html});
  ASSERT_EQ(r.status, host::kExitOk) << r.err;
  EXPECT_NE(r.out.find("report: " + json), std::string::npos) << r.out;
  const std::string figures = fileText(json);
  EXPECT_NE(figures.find("\"before\": {"), std::string::npos) << figures;
  EXPECT_NE(figures.find("\"after\": {"), std::string::npos) << figures;
  EXPECT_NE(figures.find("\"steps\": [\"correct along the plug-in's own curve\"]"), std::string::npos) << figures;
  EXPECT_NE(fileText(html).find("<svg"), std::string::npos);
  std::remove(json.c_str());
  std::remove(html.c_str());

  // A report name that cannot be written is said before any work, and the
  // output is not made.
  std::remove(out.c_str());
  const RunResult bad = run({"correct", in, out, "--plugin", kCopyPlugin, "--report", temp("report.txt")});
  EXPECT_EQ(bad.status, host::kExitUsage);
  EXPECT_NE(bad.err.find("--report needs a name ending in .json or .html"), std::string::npos) << bad.err;
  const RunResult over = run({"correct", in, out, "--plugin", kCopyPlugin, "--report", in});
  EXPECT_NE(over.status, host::kExitOk);
  EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
