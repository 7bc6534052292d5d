// partialpick FILE [--band LO:HI]: prints the frequency (Hz) of the strongest
// sustained partial between LO and HI (default 200 to 4000 Hz), for a
// detector that needs a band around one.
#include <sndfile.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/eval/partialpick/StrongPartial.h"

int main(int argc, char** argv) {
  std::string path;
  double low = 200.0, high = 4000.0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--band" && i + 1 < argc) {
      if (std::sscanf(argv[++i], "%lf:%lf", &low, &high) != 2 || !(low >= 0.0) || !(high > low)) path.clear(), i = argc;
    } else if (path.empty()) {
      path = a;
    }
  }
  if (path.empty()) {
    std::fprintf(stderr, "usage: partialpick FILE [--band LO:HI]\n");
    return 2;
  }
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) {
    std::fprintf(stderr, "partialpick: cannot read %s: %s\n", path.c_str(), sf_strerror(nullptr));
    return 1;
  }
  std::vector<float> mono;
  std::vector<float> block(static_cast<std::size_t>(4096 * info.channels));
  sf_count_t got;
  while ((got = sf_readf_float(file, block.data(), 4096)) > 0)
    for (sf_count_t i = 0; i < got; ++i) {
      double sum = 0.0;
      for (int c = 0; c < info.channels; ++c) sum += block[static_cast<std::size_t>(i * info.channels + c)];
      mono.push_back(static_cast<float>(sum / info.channels));
    }
  sf_close(file);
  const double f = partialpick::strongestSustainedPartial(mono, info.samplerate, low, high);
  if (f <= 0.0) {
    std::fprintf(stderr, "partialpick: no sustained partial between %g and %g Hz\n", low, high);
    return 1;
  }
  std::printf("%.1f\n", f);
  return 0;
}
