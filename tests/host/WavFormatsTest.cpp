// Processed files in the input's form: its sample format, header and
// channel mask, its other chunks, dither on integer samples, cue points
// moved along the curve.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/audio/DiskFile.h"
#include "host/audio/OutputPlan.h"
#include "host/audio/WavChunks.h"
#include "host/audio/WavFile.h"
#include "host/audio/WavFileOutput.h"
#include "host/audio/WavLayout.h"
#include "host/commands/CurveFrames.h"
#include "tests/host/TempPath.h"

using host::SampleFormat;
using Bytes = std::vector<std::uint8_t>;

namespace {

void put16(Bytes& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void text(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

struct Chunk {
  std::string id;
  Bytes body;
};

// A RIFF file put together by hand, chunk by chunk, with pad bytes.
Bytes riff(const std::vector<Chunk>& chunks) {
  Bytes file;
  text(file, "RIFF");
  put32(file, 0);
  text(file, "WAVE");
  for (const Chunk& c : chunks) {
    text(file, c.id);
    put32(file, static_cast<std::uint32_t>(c.body.size()));
    file.insert(file.end(), c.body.begin(), c.body.end());
    if (c.body.size() & 1u) file.push_back(0);
  }
  const auto size = static_cast<std::uint32_t>(file.size() - 8);
  for (int i = 0; i < 4; ++i) file[4 + i] = static_cast<std::uint8_t>(size >> (8 * i));
  return file;
}

Bytes fmtChunk(std::uint16_t tag, int channels, std::uint32_t rate, int bits, bool extensible, std::uint32_t mask) {
  Bytes b;
  const int block = channels * bits / 8;
  put16(b, extensible ? 0xFFFE : tag);
  put16(b, static_cast<std::uint16_t>(channels));
  put32(b, rate);
  put32(b, rate * block);
  put16(b, static_cast<std::uint16_t>(block));
  put16(b, static_cast<std::uint16_t>(bits));
  if (extensible) {
    put16(b, 22);
    put16(b, static_cast<std::uint16_t>(bits));
    put32(b, mask);
    put16(b, tag);
    b.insert(b.end(), host::wav::kGuidTail.begin(), host::wav::kGuidTail.end());
  }
  return b;
}

Bytes bextChunk(const std::string& history) {
  Bytes b(602, 0);
  std::memcpy(b.data(), "Side A, take 3", 14);
  std::memcpy(b.data() + 256, "Archive", 7);
  b[338] = '2';  // a date's first digit
  b[346] = 0x80;  // time reference, low byte
  b[354] = 1;     // version
  text(b, history);
  return b;
}

Bytes cueChunk(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& points) {
  Bytes b;
  put32(b, static_cast<std::uint32_t>(points.size()));
  for (const auto& [id, frame] : points) {
    put32(b, id);
    put32(b, frame);
    text(b, "data");
    put32(b, 0);
    put32(b, 0);
    put32(b, frame);
  }
  return b;
}

// LIST adtl with a label for cue 1 and a region of length frames from cue 2.
Bytes adtlChunk(std::uint32_t regionLength) {
  Bytes b;
  text(b, "adtl");
  text(b, "labl");
  put32(b, 4 + 6);
  put32(b, 1);
  text(b, "Start");
  b.push_back(0);
  text(b, "ltxt");
  put32(b, 20);
  put32(b, 2);
  put32(b, regionLength);
  text(b, "rgn ");
  for (int i = 0; i < 8; ++i) b.push_back(0);
  return b;
}

std::string writeFile(const std::string& name, const Bytes& bytes) {
  const std::string path = tempPath("formats-" + name);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  return path;
}

Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The chunk ids of a file in order, and each body.
std::vector<Chunk> chunksOf(const Bytes& file) {
  std::vector<Chunk> found;
  for (std::size_t at = 12; at + 8 <= file.size();) {
    const std::uint32_t size = host::wav::get32(&file[at + 4]);
    Chunk c{std::string(file.begin() + at, file.begin() + at + 4), {}};
    const std::size_t n = std::min<std::size_t>(size, file.size() - at - 8);
    c.body.assign(file.begin() + at + 8, file.begin() + at + 8 + n);
    found.push_back(std::move(c));
    at += 8 + size + (size & 1u);
  }
  return found;
}

// Writes frames of audio through the plan, as a command saves its result.
std::string writeThrough(const host::OutputPlan& plan, const std::string& name, int channels, double rate,
                         const std::vector<std::vector<float>>& audio) {
  const std::string path = tempPath("formats-" + name);
  host::WavFileOutput output;
  std::string problem;
  EXPECT_TRUE(output.open(path, channels, rate, plan.form(), false, problem)) << problem;
  std::vector<const float*> pointers;
  for (const auto& c : audio) pointers.push_back(c.data());
  EXPECT_TRUE(output.append(pointers.data(), audio.front().size(), problem)) << problem;
  EXPECT_TRUE(output.commit(problem)) << problem;
  return path;
}

struct FormatCase {
  const char* name;
  std::uint16_t tag;
  int bits;
  SampleFormat format;
  bool extensible;
  int channels;
  std::uint32_t mask;
};

class SameFormatOut : public ::testing::TestWithParam<FormatCase> {};

TEST_P(SameFormatOut, ComesBackAsItWentIn) {
  const FormatCase& c = GetParam();
  Bytes data(static_cast<std::size_t>(c.channels * c.bits / 8 * 10), c.bits == 8 ? 0x80 : 0);
  const std::string in = writeFile(std::string(c.name) + ".wav",
                                   riff({{"fmt ", fmtChunk(c.tag, c.channels, 44100, c.bits, c.extensible, c.mask)},
                                         {"data", data}}));
  host::OutputPlan plan;
  std::string problem;
  ASSERT_TRUE(host::planOutput(in, host::FormatChoice::Same, "Pelmora correct", nullptr, plan, problem)) << problem;
  std::vector<std::vector<float>> audio(static_cast<std::size_t>(c.channels), std::vector<float>(64));
  for (auto& ch : audio)
    for (std::size_t i = 0; i < ch.size(); ++i) ch[i] = 0.5f * std::sin(0.3f * static_cast<float>(i));
  const std::string out = writeThrough(plan, std::string(c.name) + "-out.wav", c.channels, 44100.0, audio);
  host::DiskFile file(out, host::DiskFile::Mode::Read);
  host::DiskFileSource source(file);
  const host::WavHeaderResult header = host::readWavHeader(source);
  ASSERT_TRUE(header.ok()) << header.message;
  EXPECT_EQ(header.info.format, c.format);
  EXPECT_EQ(header.info.extensible, c.extensible || c.channels > 2);
  EXPECT_EQ(header.info.channelMask, c.mask);
  EXPECT_EQ(header.info.frames, 64u);
  const host::WavReadResult read = host::readWav(out);
  ASSERT_TRUE(read.ok());
  // Within the dither and rounding of the format's step.
  const double step = c.bits == 8 ? 1.0 / 128 : c.bits == 16 ? 1.0 / 32768 : 1e-6;
  for (std::size_t i = 0; i < 64; ++i) EXPECT_NEAR(read.audio.channels[0][i], audio[0][i], 1.5 * step) << i;
  file.close();
  std::remove(in.c_str());
  std::remove(out.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Formats, SameFormatOut,
    ::testing::Values(FormatCase{"pcm8", 1, 8, SampleFormat::Pcm8, false, 1, 0},
                      FormatCase{"pcm16", 1, 16, SampleFormat::Pcm16, false, 2, 0},
                      FormatCase{"pcm24", 1, 24, SampleFormat::Pcm24, false, 2, 0},
                      FormatCase{"pcm32", 1, 32, SampleFormat::Pcm32, false, 1, 0},
                      FormatCase{"float32", 3, 32, SampleFormat::Float32, false, 2, 0},
                      FormatCase{"float64", 3, 64, SampleFormat::Float64, false, 1, 0},
                      FormatCase{"ext24stereo", 1, 24, SampleFormat::Pcm24, true, 2, 0x3},
                      FormatCase{"ext16centre", 1, 16, SampleFormat::Pcm16, true, 1, 0x4},
                      FormatCase{"ext32float51", 3, 32, SampleFormat::Float32, true, 6, 0x3F}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FormatChoice, OverridesTheInputsFormatAndKeepsTheHeader) {
  const std::string in = writeFile("choice.wav", riff({{"fmt ", fmtChunk(1, 2, 96000, 24, true, 0x3)},
                                                       {"data", Bytes(60, 0)}}));
  host::OutputPlan plan;
  std::string problem;
  ASSERT_TRUE(host::planOutput(in, host::FormatChoice::Pcm16, "x", nullptr, plan, problem));
  EXPECT_EQ(plan.format, SampleFormat::Pcm16);
  EXPECT_TRUE(plan.extensible);
  EXPECT_EQ(plan.channelMask, 0x3u);
  EXPECT_TRUE(plan.form().dither);
  ASSERT_TRUE(host::planOutput(in, host::FormatChoice::Float32, "x", nullptr, plan, problem));
  EXPECT_EQ(plan.format, SampleFormat::Float32);
  EXPECT_FALSE(plan.form().dither);
  host::FormatChoice choice;
  EXPECT_TRUE(host::parseFormatChoice("pcm24", choice));
  EXPECT_EQ(choice, host::FormatChoice::Pcm24);
  EXPECT_FALSE(host::parseFormatChoice("pcm8", choice));
  EXPECT_FALSE(host::planOutput(tempPath("formats-missing.wav"), host::FormatChoice::Same, "x", nullptr, plan, problem));
  std::remove(in.c_str());
}

TEST(FormatChoice, AnRf64InputGivesAnRf64OutputHoweverShort) {
  const std::string in = tempPath("formats-rf64.wav");
  {
    host::DiskFile file(in, host::DiskFile::Mode::Create);
    host::DiskFileSink sink(file);
    // A RIFF limit of 0 has the writer take RF64 for a short file.
    host::WavStreamWriter writer(sink, 2, 96000.0, SampleFormat::Pcm24, true, 0);
    std::vector<float> samples(100, 0.25f);
    const float* channels[2] = {samples.data(), samples.data()};
    ASSERT_TRUE(writer.begin() && writer.append(channels, samples.size()) && writer.finish());
    ASSERT_TRUE(file.close());
  }
  host::OutputPlan plan;
  std::string problem;
  ASSERT_TRUE(host::planOutput(in, host::FormatChoice::Same, "x", nullptr, plan, problem)) << problem;
  EXPECT_TRUE(plan.rf64);
  const std::string out =
      writeThrough(plan, "rf64-out.wav", 2, 96000.0, {std::vector<float>(50, 0.5f), std::vector<float>(50, 0.5f)});
  const Bytes bytes = readFile(out);
  ASSERT_GT(bytes.size(), 12u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RF64");
  const host::WavReadResult read = host::readWav(out);
  ASSERT_TRUE(read.ok()) << read.message;
  EXPECT_EQ(read.format, SampleFormat::Pcm24);
  EXPECT_EQ(read.audio.frames(), 50u);
  // A plain input stays plain.
  plan.rf64 = false;
  const std::string plain = writeThrough(plan, "riff-out.wav", 1, 8000.0, {std::vector<float>(10)});
  const Bytes plainBytes = readFile(plain);
  ASSERT_GT(plainBytes.size(), 4u);
  EXPECT_EQ(std::string(plainBytes.begin(), plainBytes.begin() + 4), "RIFF");
  for (const auto& f : {in, out, plain}) std::remove(f.c_str());
}

// Samples of one value written through a 16-bit writer, read back as steps.
std::vector<double> written16(float value, std::size_t frames, bool dither) {
  host::WavOutputForm form;
  form.format = SampleFormat::Pcm16;
  form.dither = dither;
  host::OutputPlan plan;
  const std::string path = tempPath("formats-dither.wav");
  host::WavFileOutput output;
  std::string problem;
  EXPECT_TRUE(output.open(path, 1, 8000.0, form, false, problem));
  std::vector<float> samples(frames, value);
  const float* p = samples.data();
  EXPECT_TRUE(output.append(&p, frames, problem));
  EXPECT_TRUE(output.commit(problem));
  const host::WavReadResult read = host::readWav(path);
  std::remove(path.c_str());
  std::vector<double> steps;
  for (float v : read.audio.channels[0]) steps.push_back(static_cast<double>(v) * 32768.0);
  return steps;
}

TEST(Dither, IsTriangularOfOneStepUnbiasedAndReproducible) {
  constexpr std::size_t kFrames = 200000;
  for (const double fraction : {0.0, 0.25, 0.5, 0.8}) {
    const double exact = 1000.0 + fraction;
    const std::vector<double> steps = written16(static_cast<float>(exact / 32768.0), kFrames, true);
    double sum = 0.0, squares = 0.0, worst = 0.0;
    for (double s : steps) {
      const double error = s - exact;
      sum += error;
      squares += error * error;
      worst = std::max(worst, std::abs(error));
      EXPECT_EQ(s, std::round(s));
    }
    const double mean = sum / kFrames;
    // The mean error vanishes whatever the fraction; plain rounding leaves
    // it at the fraction's distance to the nearest step.
    EXPECT_NEAR(mean, 0.0, 0.01) << fraction;
    // Dither of up to one step either side, then rounding: never two steps
    // away. Its power is that of the rounding (1/12) and the dither (1/6).
    EXPECT_LT(worst, 1.5 + 1e-9) << fraction;
    EXPECT_NEAR(squares / kFrames, 0.25, 0.01) << fraction;
  }
  const std::vector<double> plain = written16(static_cast<float>(1000.25 / 32768.0), 1000, false);
  const std::vector<double> dithered = written16(static_cast<float>(1000.25 / 32768.0), 1000, true);
  EXPECT_TRUE(std::all_of(plain.begin(), plain.end(), [](double s) { return s == 1000.0; }));
  EXPECT_NE(plain, dithered);
  EXPECT_EQ(dithered, written16(static_cast<float>(1000.25 / 32768.0), 1000, true));
}

TEST(Dither, ClipsAtFullScaleInEveryIntegerFormat) {
  for (const SampleFormat format : {SampleFormat::Pcm8, SampleFormat::Pcm16, SampleFormat::Pcm24, SampleFormat::Pcm32}) {
    host::WavOutputForm form;
    form.format = format;
    form.dither = true;
    const std::string path = tempPath("formats-clip.wav");
    host::WavFileOutput output;
    std::string problem;
    ASSERT_TRUE(output.open(path, 1, 8000.0, form, false, problem));
    std::vector<float> samples(2000);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = i % 2 ? 1.0f : -1.0f;
    const float* p = samples.data();
    ASSERT_TRUE(output.append(&p, samples.size(), problem));
    ASSERT_TRUE(output.commit(problem));
    const host::WavReadResult read = host::readWav(path);
    ASSERT_TRUE(read.ok());
    const double step = std::ldexp(1.0, 1 - 8 * host::bytesPerSample(format));
    for (std::size_t i = 0; i < samples.size(); ++i) {
      // No wrap-around: full scale stays at the top or bottom step.
      if (i % 2) EXPECT_GE(read.audio.channels[0][i], 1.0 - 2.5 * step) << host::formatName(format);
      else EXPECT_LE(read.audio.channels[0][i], -1.0 + 2.5 * step) << host::formatName(format);
    }
    std::remove(path.c_str());
  }
}

class CarriedChunks : public ::testing::Test {
 protected:
  void SetUp() override {
    iXml = Bytes{'<', 'B', 'W', 'F', 'X', 'M', 'L', '/', '>'};  // odd: padded
    info = Bytes{'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 4, 0, 0, 0, 'S', 'i', 'd', 'e'};
    other = Bytes{1, 2, 3, 4, 5};
    bext = bextChunk("A=ANALOGUE,M=stereo,T=Studer A80\r\nA=PCM,F=96000,W=24,M=stereo,T=Converter");
    adtl = adtlChunk(480);
    in = writeFile("chunks.wav", riff({{"bext", bext},
                                       {"fmt ", fmtChunk(1, 2, 96000, 24, false, 0)},
                                       {"iXML", iXml},
                                       {"JUNK", Bytes(20, 0)},
                                       {"data", Bytes(6 * 1000, 0)},
                                       {"LIST", info},
                                       {"cue ", cueChunk({{1, 100}, {2, 500}})},
                                       {"LIST", adtl},
                                       {"abcd", other}}));
  }
  void TearDown() override { std::remove(in.c_str()); }

  Bytes iXml, info, other, bext, adtl;
  std::string in;
};

TEST_F(CarriedChunks, AreCarriedInOrderByteForByteWithOneHistoryLine) {
  host::OutputPlan plan;
  std::string problem;
  ASSERT_TRUE(host::planOutput(in, host::FormatChoice::Same, "Pelmora dewow hum", nullptr, plan, problem));
  const std::string out = writeThrough(plan, "chunks-out.wav", 2, 96000.0, {std::vector<float>(700), std::vector<float>(700)});
  const std::vector<Chunk> chunks = chunksOf(readFile(out));
  std::vector<std::string> ids;
  for (const Chunk& c : chunks) ids.push_back(c.id);
  // The writer's own chunks are made anew; the rest keep their order around the data.
  EXPECT_EQ(ids, (std::vector<std::string>{"fmt ", "bext", "iXML", "data", "LIST", "cue ", "LIST", "abcd"}));
  ASSERT_EQ(chunks.size(), 8u);
  EXPECT_EQ(chunks[2].body, iXml);
  EXPECT_EQ(chunks[4].body, info);
  EXPECT_EQ(chunks[5].body, cueChunk({{1, 100}, {2, 500}}));
  EXPECT_EQ(chunks[6].body, adtl);
  EXPECT_EQ(chunks[7].body, other);
  EXPECT_EQ(chunks[3].body.size(), 6u * 700);
  // bext: every field before the history as it was, the history one line longer.
  const Bytes& newBext = chunks[1].body;
  ASSERT_GT(newBext.size(), 602u);
  EXPECT_TRUE(std::equal(bext.begin(), bext.begin() + 602, newBext.begin()));
  const std::string history(newBext.begin() + 602, newBext.end());
  EXPECT_EQ(history,
            "A=ANALOGUE,M=stereo,T=Studer A80\r\nA=PCM,F=96000,W=24,M=stereo,T=Converter\r\n"
            "A=PCM,F=96000,W=24,M=stereo,T=Pelmora dewow hum\r\n");
  EXPECT_EQ(host::readWav(out).audio.frames(), 700u);
  // Without the curve the cue points stay, and the user is told.
  ASSERT_EQ(plan.notes.size(), 1u);
  EXPECT_NE(plan.notes[0].find("cue points"), std::string::npos);
  std::remove(out.c_str());
}

TEST_F(CarriedChunks, CuePointsAndRegionsMoveAlongTheMapping) {
  const host::FrameMapping twice = [](const std::vector<std::uint64_t>& frames) {
    std::vector<std::uint64_t> moved;
    for (auto f : frames) moved.push_back(2 * f + 1);
    return moved;
  };
  host::OutputPlan plan;
  std::string problem;
  ASSERT_TRUE(host::planOutput(in, host::FormatChoice::Float32, "Pelmora correct", &twice, plan, problem));
  EXPECT_TRUE(plan.notes.empty());
  auto cue = std::find_if(plan.chunks.begin(), plan.chunks.end(), [](const host::WavChunk& c) { return c.is("cue "); });
  ASSERT_NE(cue, plan.chunks.end());
  EXPECT_EQ(cue->body, cueChunk({{1, 201}, {2, 1001}}));
  // The region from cue 2 ran 480 frames to 980; it now runs from 1001 to 1961.
  Bytes region = adtlChunk(960);
  auto list = std::find_if(plan.chunks.begin(), plan.chunks.end(),
                           [](const host::WavChunk& c) { return c.is("LIST") && c.body.size() > 4 && c.body[0] == 'a'; });
  ASSERT_NE(list, plan.chunks.end());
  EXPECT_EQ(list->body, region);
  // The history says the format written: 32-bit float.
  const host::WavChunk& b = plan.chunks.front();
  const std::string history(b.body.begin() + 602, b.body.end());
  EXPECT_NE(history.find("A=PCM,F=96000,W=32,M=stereo,T=Pelmora correct\r\n"), std::string::npos);
}

TEST(CarriedChunk, HistoryWithoutLineEndOrPaddedWithZeros) {
  host::WavChunk bext;
  bext.body = bextChunk("A=ANALOGUE");
  ASSERT_TRUE(host::appendCodingHistory(bext, "T=x"));
  EXPECT_EQ(std::string(bext.body.begin() + 602, bext.body.end()), "A=ANALOGUE\r\nT=x\r\n");
  bext.body = bextChunk("");
  bext.body.resize(700, 0);  // a history field reserved and left empty
  ASSERT_TRUE(host::appendCodingHistory(bext, "T=x"));
  EXPECT_EQ(std::string(bext.body.begin() + 602, bext.body.end()), "T=x\r\n");
  bext.body.assign(100, 1);
  EXPECT_FALSE(host::appendCodingHistory(bext, "T=x"));
  EXPECT_EQ(bext.body, Bytes(100, 1));
  EXPECT_EQ(host::codingHistoryLine(SampleFormat::Pcm16, 44100, 1, "Pelmora correct"),
            "A=PCM,F=44100,W=16,M=mono,T=Pelmora correct");
}

TEST(CarriedChunk, ChunksTooLargeToHoldAreLeftBehindAndSaid) {
  Bytes big(host::kMaxCarriedChunk + 2, 7);
  const std::string in = writeFile("big.wav", riff({{"fmt ", fmtChunk(1, 1, 8000, 16, false, 0)},
                                                    {"huge", big},
                                                    {"data", Bytes(20, 0)},
                                                    {"note", Bytes{'o', 'k'}}}));
  host::OutputPlan plan;
  std::string problem;
  ASSERT_TRUE(host::planOutput(in, host::FormatChoice::Same, "x", nullptr, plan, problem));
  ASSERT_EQ(plan.chunks.size(), 1u);
  EXPECT_TRUE(plan.chunks[0].is("note"));
  EXPECT_TRUE(plan.chunks[0].afterData);
  ASSERT_EQ(plan.notes.size(), 1u);
  EXPECT_NE(plan.notes[0].find("huge"), std::string::npos);
  std::remove(in.c_str());
}

TEST(CarriedChunk, ACueChunkThatDoesNotHoldTogetherStaysAsItIs) {
  std::vector<host::WavChunk> chunks(1);
  chunks[0].id = {'c', 'u', 'e', ' '};
  chunks[0].body = cueChunk({{1, 10}});
  chunks[0].body[0] = 3;  // claims three points, holds one
  const Bytes before = chunks[0].body;
  const host::FrameMapping same = [](const std::vector<std::uint64_t>& f) { return f; };
  EXPECT_FALSE(host::moveCuePoints(chunks, same));
  EXPECT_EQ(chunks[0].body, before);
}

TEST(CorrectedFrames, FollowTheCurvesSpeed) {
  // At 1.25 the walk steps 0.8 input frames: frame n lands on 1.25 n.
  const std::vector<PvcPoint> fast = {{0, 1.25f}, {100000, 1.25f}};
  const auto moved = host::correctedFrames(fast, 100000, {0, 8000, 40000, 99999});
  ASSERT_EQ(moved.size(), 4u);
  EXPECT_EQ(moved[0], 0u);
  EXPECT_NEAR(static_cast<double>(moved[1]), 10000.0, 1.0);
  EXPECT_NEAR(static_cast<double>(moved[2]), 50000.0, 1.0);
  EXPECT_NEAR(static_cast<double>(moved[3]), 124999.0, 1.5);
  // Frames past the end go to the end of the output.
  EXPECT_EQ(host::correctedFrames(fast, 1000, {5000})[0], 1250u);
  // Slow, then nominal: the slow stretch shrinks, the rest follows shifted.
  const std::vector<PvcPoint> slowStart = {{0, 0.5f}, {999, 0.5f}, {1000, 1.0f}, {5000, 1.0f}};
  EXPECT_NEAR(static_cast<double>(host::correctedFrames(slowStart, 5000, {3000})[0]), 500.0 + 2000.0, 1.0);
  EXPECT_FALSE(host::curveTextMapping("not a curve\r\n", 100));
  const host::FrameMapping fromText = host::curveTextMapping("0 2.000000\r\n10 2.000000\r\n", 100);
  ASSERT_TRUE(fromText);
  EXPECT_EQ(fromText({50})[0], 100u);
}

}  // namespace
