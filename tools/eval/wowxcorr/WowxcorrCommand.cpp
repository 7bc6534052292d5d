#include "tools/eval/wowxcorr/WowxcorrCommand.h"

#include <sndfile.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <ostream>

#include "tools/eval/wowxcorr/WowXcorr.h"

namespace wowxcorr {

namespace {

constexpr const char* kUsage =
    "usage: wowxcorr TEST.wav CLEAN.wav [--json] [--curve OUT.pvc] [--window S] [--hop S] [--span S]\n"
    "                [--max-shift S] [--max-wow-lag S] [--min-quality Q] [--edge S] [--band LO:HI]\n"
    "The residual wow of TEST (a recording with wow, or one corrected) against its clean original, by\n"
    "windowed cross-correlation: RMS and peak speed deviation about the mean speed, in %, the mean speed's\n"
    "offset from 1, and the share of windows trusted. --curve writes the measured speed per frame of TEST.\n";

struct SndfileCloser {
  void operator()(SNDFILE* f) const { sf_close(f); }
};

// The file's channels mixed to one.
bool readMono(const std::string& path, std::vector<float>& mono, double& rate, std::string& problem) {
  SF_INFO info{};
  std::unique_ptr<SNDFILE, SndfileCloser> file(sf_open(path.c_str(), SFM_READ, &info));
  if (!file || info.channels < 1) {
    problem = "cannot read " + path + ": " + sf_strerror(nullptr);
    return false;
  }
  rate = info.samplerate;
  mono.clear();
  mono.reserve(static_cast<std::size_t>(std::max<sf_count_t>(info.frames, 0)));
  std::vector<float> block(static_cast<std::size_t>(8192 * info.channels));
  sf_count_t got;
  while ((got = sf_readf_float(file.get(), block.data(), 8192)) > 0)
    for (sf_count_t i = 0; i < got; ++i) {
      double sum = 0.0;
      for (int c = 0; c < info.channels; ++c) sum += block[static_cast<std::size_t>(i * info.channels + c)];
      mono.push_back(static_cast<float>(sum / info.channels));
    }
  return true;
}

bool number(const std::string& text, double& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

bool writeCurve(const std::string& path, const std::vector<SpeedPoint>& curve, std::string& problem) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) {
    problem = "cannot create " + path;
    return false;
  }
  for (const SpeedPoint& p : curve) std::fprintf(file.get(), "%lld %f\r\n", std::llround(p.frame), p.ratio);
  if (std::ferror(file.get()) || std::fclose(file.release()) != 0) {
    problem = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace

int runWowxcorr(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty() || args[0] == "--help") {
    (args.empty() ? err : out) << kUsage;
    return args.empty() ? 2 : 0;
  }
  std::vector<std::string> files;
  std::string curvePath;
  bool json = false;
  XcorrSettings settings;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") {
      json = true;
      continue;
    }
    if (a.rfind("--", 0) != 0) {
      files.push_back(a);
      continue;
    }
    if (i + 1 >= args.size()) {
      err << "wowxcorr: " << a << " needs a value\n" << kUsage;
      return 2;
    }
    const std::string& v = args[++i];
    double x = 0.0;
    auto set = [&](double& target, double low, double high) {
      if (!number(v, x) || x < low || x > high) return false;
      target = x;
      return true;
    };
    bool ok = true;
    if (a == "--curve") curvePath = v;
    else if (a == "--window") ok = set(settings.window, 0.01, 2.0);
    else if (a == "--hop") ok = set(settings.hop, 0.001, 1.0);
    else if (a == "--span") ok = set(settings.span, 0.01, 5.0);
    else if (a == "--max-shift") ok = set(settings.maxShift, 0.001, 60.0);
    else if (a == "--max-wow-lag") ok = set(settings.maxWowLag, 0.001, 1.0);
    else if (a == "--min-quality") ok = set(settings.minQuality, 0.0, 1.0);
    else if (a == "--edge") ok = set(settings.edge, 0.0, 60.0);
    else if (a == "--band") {
      const auto colon = v.find(':');
      double lo = 0.0, hi = 0.0;
      ok = colon != std::string::npos && number(v.substr(0, colon), lo) && number(v.substr(colon + 1), hi) &&
           lo >= 0.0 && hi > lo;
      if (ok) settings.lowHz = lo, settings.highHz = hi;
    } else {
      err << "wowxcorr: unknown option " << a << '\n' << kUsage;
      return 2;
    }
    if (!ok) {
      err << "wowxcorr: " << a << " " << v << ": out of range\n";
      return 2;
    }
  }
  if (files.size() != 2) {
    err << "wowxcorr: needs TEST.wav and CLEAN.wav\n" << kUsage;
    return 2;
  }
  std::vector<float> test, clean;
  double rateTest = 0.0, rateClean = 0.0;
  std::string problem;
  if (!readMono(files[0], test, rateTest, problem) || !readMono(files[1], clean, rateClean, problem)) {
    err << "wowxcorr: " << problem << '\n';
    return 1;
  }
  if (rateTest != rateClean) {
    err << "wowxcorr: " << files[0] << " is at " << rateTest << " Hz, " << files[1] << " at " << rateClean << " Hz\n";
    return 1;
  }
  XcorrResult result;
  if (!measureWow(test, clean, rateTest, settings, result, problem)) {
    err << "wowxcorr: " << problem << '\n';
    return 1;
  }
  if (!curvePath.empty() && !writeCurve(curvePath, result.curve, problem)) {
    err << "wowxcorr: " << problem << '\n';
    return 1;
  }
  char line[512];
  if (json) {
    std::snprintf(line, sizeof line,
                  "{\"rms_percent\": %.5f, \"peak_percent\": %.5f, \"offset_percent\": %.5f, \"shift_frames\": %.2f, "
                  "\"trusted_share\": %.4f, \"windows\": %d, \"speed_points\": %zu}\n",
                  result.rmsPercent, result.peakPercent, result.offsetPercent, result.shiftFrames,
                  result.trustedShare, result.windows, result.curve.size());
  } else {
    std::snprintf(line, sizeof line,
                  "wow: RMS %.4f %%, peak %.4f %% (mean removed); mean speed offset %+.4f %%; shift %.1f frames; "
                  "%.1f %% of %d windows trusted\n",
                  result.rmsPercent, result.peakPercent, result.offsetPercent, result.shiftFrames,
                  result.trustedShare * 100.0, result.windows);
  }
  out << line;
  return 0;
}

}  // namespace wowxcorr
