#include "tools/eval/wowmeter/WowmeterCommand.h"

#include <sndfile.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ostream>

#include "tools/eval/wowmeter/WowMeter.h"

namespace wowmeter {

namespace {

constexpr const char* kUsage =
    "usage: wowmeter FILE.wav [--tone HZ] [--band PERCENT] [--edge SECONDS] [--channel N] [--tsv]\n"
    "Measures the speed deviation of the tone (default 1000 Hz) within +-band (default 3 %)\n"
    "of it, ignoring edge seconds at each end (default 0.5); channel N (from 0) or the mix.\n"
    "--tsv: a line of column names and a line of tab-separated figures instead of text.\n";

bool number(const std::string& text, double& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

// The chosen channel, or the mean of all channels.
bool readSignal(const std::string& path, int channel, std::vector<float>& signal, double& rate, std::string& problem) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) {
    problem = path + ": " + sf_strerror(nullptr);
    return false;
  }
  if (channel >= info.channels) {
    sf_close(file);
    problem = path + " has only " + std::to_string(info.channels) + " channels";
    return false;
  }
  rate = info.samplerate;
  signal.assign(static_cast<std::size_t>(info.frames), 0.0f);
  std::vector<float> block(8192 * static_cast<std::size_t>(info.channels));
  std::size_t done = 0;
  while (done < signal.size()) {
    const sf_count_t got = sf_readf_float(file, block.data(), 8192);
    if (got <= 0) break;
    for (sf_count_t i = 0; i < got && done < signal.size(); ++i, ++done) {
      const float* frame = &block[static_cast<std::size_t>(i) * static_cast<std::size_t>(info.channels)];
      if (channel >= 0) {
        signal[done] = frame[channel];
      } else {
        double sum = 0.0;
        for (int c = 0; c < info.channels; ++c) sum += frame[c];
        signal[done] = static_cast<float>(sum / info.channels);
      }
    }
  }
  sf_close(file);
  signal.resize(done);
  return true;
}

// A fraction in percent, to the digits both outputs give.
std::string percentFigure(double fraction) {
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", fraction * 100.0);
  return text;
}

std::string percent(double fraction) { return percentFigure(fraction) + " %"; }

}  // namespace

int runWowmeter(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  MeterSettings settings;
  std::string path;
  int channel = -1;
  bool tsv = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help") {
      out << kUsage;
      return 0;
    }
    if (a == "--tsv") {
      tsv = true;
      continue;
    }
    if (a.rfind("--", 0) != 0) {
      if (!path.empty()) {
        err << "wowmeter: one file at a time\n" << kUsage;
        return 2;
      }
      path = a;
      continue;
    }
    double v = 0.0;
    if (i + 1 >= args.size() || !number(args[i + 1], v)) {
      err << "wowmeter: " << a << " needs a number\n" << kUsage;
      return 2;
    }
    ++i;
    if (a == "--tone") settings.tone = v;
    else if (a == "--band") settings.band = v / 100.0;
    else if (a == "--edge") settings.edge = v;
    else if (a == "--channel" && v >= 0.0 && v == std::floor(v) && v < 1024.0) channel = static_cast<int>(v);
    else {
      err << "wowmeter: cannot use " << a << ' ' << args[i] << '\n' << kUsage;
      return 2;
    }
  }
  if (path.empty()) {
    err << "wowmeter: no file given\n" << kUsage;
    return 2;
  }
  std::vector<float> signal;
  double rate = 0.0;
  std::string problem;
  WowReading reading;
  if (!readSignal(path, channel, signal, rate, problem) || !measureWow(signal, rate, settings, reading, problem)) {
    err << "wowmeter: " << problem << '\n';
    return 1;
  }
  const double seconds = static_cast<double>(reading.samples) / rate;
  const std::string channelName = channel < 0 ? std::string("mix") : std::to_string(channel);
  if (tsv) {
    out << "tone_hz\tchannel\tseconds\tmean_percent\trms_percent\trms_about_mean_percent\tpeak_percent\tskipped\n"
        << settings.tone << '\t' << channelName << '\t' << seconds << '\t' << percentFigure(reading.mean) << '\t'
        << percentFigure(reading.rms) << '\t' << percentFigure(reading.rmsAc) << '\t' << percentFigure(reading.peak)
        << '\t' << reading.skipped << '\n';
    return 0;
  }
  out << "tone: " << settings.tone << " Hz, channel: " << channelName << ", measured: " << seconds << " s\n"
      << "mean deviation: " << percent(reading.mean) << '\n'
      << "RMS deviation: " << percent(reading.rms) << '\n'
      << "RMS about the mean: " << percent(reading.rmsAc) << '\n'
      << "peak deviation: " << percent(reading.peak) << '\n';
  if (reading.skipped > 0) out << "instants skipped (tone too weak): " << reading.skipped << '\n';
  return 0;
}

}  // namespace wowmeter
