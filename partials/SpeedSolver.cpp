#include "partials/SpeedSolver.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace partials {

namespace {

// The observations packed in unit order for the solver's inner loops: one
// streaming pass over them per product.
struct Packed {
  std::vector<std::int32_t> frame;
  std::vector<double> value;   // absolute log frequency
  std::vector<double> prior;   // the observation's own inverse variance
  std::vector<double> weight;  // the working weight
  std::vector<std::uint32_t> source;  // index among the observations
  std::vector<std::size_t> trackEnd;
  std::vector<std::size_t> unitEnd;  // in observations
};

struct System {
  const Packed& data;
  double lambda = 0.0;
  double ridge = 0.0;
};

// out = (sum over units of the weighted projection off the unit's mean) x
//       + lambda D'D x + ridge x
void apply(const System& s, const std::vector<double>& x, std::vector<double>& out) {
  const Packed& d = s.data;
  std::fill(out.begin(), out.end(), 0.0);
  std::size_t begin = 0;
  for (std::size_t end : d.unitEnd) {
    double sw = 0.0, m = 0.0;
    for (std::size_t i = begin; i < end; ++i) {
      sw += d.weight[i];
      m += d.weight[i] * x[static_cast<std::size_t>(d.frame[i])];
    }
    if (sw > 0.0) {
      m /= sw;
      for (std::size_t i = begin; i < end; ++i) {
        const auto f = static_cast<std::size_t>(d.frame[i]);
        out[f] += d.weight[i] * (x[f] - m);
      }
    }
    begin = end;
  }
  const std::size_t n = x.size();
  for (std::size_t t = 1; t + 1 < n; ++t) {
    const double c = s.lambda * (x[t - 1] - 2.0 * x[t] + x[t + 1]);
    out[t - 1] += c;
    out[t] -= 2.0 * c;
    out[t + 1] += c;
  }
  for (std::size_t t = 0; t < n; ++t) out[t] += s.ridge * x[t];
}

void rightHandSide(const Packed& d, std::vector<double>& b) {
  std::fill(b.begin(), b.end(), 0.0);
  std::size_t begin = 0;
  for (std::size_t end : d.unitEnd) {
    double sw = 0.0, m = 0.0;
    for (std::size_t i = begin; i < end; ++i) {
      sw += d.weight[i];
      m += d.weight[i] * d.value[i];
    }
    if (sw > 0.0) {
      m /= sw;
      for (std::size_t i = begin; i < end; ++i) b[static_cast<std::size_t>(d.frame[i])] += d.weight[i] * (d.value[i] - m);
    }
    begin = end;
  }
}

// Preconditioned conjugate gradients from the x given, to a relative
// residual of about 1e-4: the curve moves by far less than its error then.
void conjugateGradients(const System& s, std::vector<double>& x, int iterations) {
  const std::size_t n = x.size();
  std::vector<double> b(n), r(n), z(n), d(n), q(n), diagonal(n, s.ridge + 6.0 * s.lambda);
  for (std::size_t i = 0; i < s.data.frame.size(); ++i)
    diagonal[static_cast<std::size_t>(s.data.frame[i])] += s.data.weight[i];
  rightHandSide(s.data, b);
  apply(s, x, q);
  double bNorm = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    r[i] = b[i] - q[i];
    z[i] = r[i] / diagonal[i];
    d[i] = z[i];
    bNorm += b[i] * b[i];
  }
  if (!(bNorm > 0.0)) return;
  double rz = std::inner_product(r.begin(), r.end(), z.begin(), 0.0);
  for (int it = 0; it < iterations; ++it) {
    apply(s, d, q);
    const double dq = std::inner_product(d.begin(), d.end(), q.begin(), 0.0);
    if (!(dq > 0.0)) break;
    const double alpha = rz / dq;
    double rr = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      x[i] += alpha * d[i];
      r[i] -= alpha * q[i];
      z[i] = r[i] / diagonal[i];
      rr += r[i] * r[i];
    }
    if (rr < 1e-8 * bNorm) break;
    const double rzNew = std::inner_product(r.begin(), r.end(), z.begin(), 0.0);
    const double beta = rzNew / rz;
    rz = rzNew;
    for (std::size_t i = 0; i < n; ++i) d[i] = z[i] + beta * d[i];
  }
}

// Each track's de-wowed level: the weighted mean of log f - log speed.
std::vector<double> trackLevels(const std::vector<Track>& tracks, const std::vector<Observation>& obs,
                                const std::vector<double>& weight, const std::vector<double>& w) {
  std::vector<double> level(tracks.size());
  for (std::size_t j = 0; j < tracks.size(); ++j) {
    const Track& t = tracks[j];
    double s = 0.0, m = 0.0;
    for (std::uint32_t i = t.first; i < t.first + t.count; ++i) {
      s += weight[i];
      m += weight[i] * (static_cast<double>(obs[i].logFrequency) - w[static_cast<std::size_t>(obs[i].frame)]);
    }
    level[j] = s > 0.0 ? t.logBase + m / s : t.logBase;
  }
  return level;
}

// Units: each track alone, or tracks whose de-wowed levels lie close
// together taken as one note. Neighbours in level are joined closest first
// (single linkage), never across more than gap, and never into a unit
// wider than span: a note's occurrences stay together, and a chain of
// near coincidences cannot swallow its neighbours. The observations are
// packed in the order of the units.
void pack(const std::vector<Track>& tracks, const std::vector<Observation>& obs, const std::vector<double>& weight,
          const std::vector<double>& w, bool link, double gap, double span, std::int32_t blockFrames, Packed& p) {
  const std::size_t n = tracks.size();
  std::vector<std::uint32_t> order(n);
  std::iota(order.begin(), order.end(), 0u);
  std::vector<char> startsUnit(n, 1);
  if (link && n > 1) {
    const std::vector<double> level = trackLevels(tracks, obs, weight, w);
    // With blocks, tracks link only within the stretch of time they start in.
    const auto blockOf = [&](std::uint32_t j) {
      return blockFrames > 0 ? obs[tracks[j].first].frame / blockFrames : 0;
    };
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
      const auto ba = blockOf(a), bb = blockOf(b);
      return ba != bb ? ba < bb : level[a] < level[b];
    });
    std::vector<double> sorted(n);
    // Blocks follow each other in level far apart, so no gap joins them.
    for (std::size_t k = 0; k < n; ++k) sorted[k] = level[order[k]] + 1e3 * blockOf(order[k]);
    std::vector<std::uint32_t> gaps(n - 1);
    std::iota(gaps.begin(), gaps.end(), 0u);
    std::sort(gaps.begin(), gaps.end(), [&](std::uint32_t a, std::uint32_t b) {
      return sorted[a + 1] - sorted[a] < sorted[b + 1] - sorted[b];
    });
    // Units are runs of the sorted levels: left[] is kept right for each
    // run's last element, right[] for its first.
    std::vector<std::uint32_t> left(n), right(n);
    std::iota(left.begin(), left.end(), 0u);
    std::iota(right.begin(), right.end(), 0u);
    for (std::uint32_t k : gaps) {
      if (sorted[k + 1] - sorted[k] > gap) break;
      const std::uint32_t a = left[k];
      const std::uint32_t b = right[k + 1];
      if (sorted[b] - sorted[a] > span) continue;
      right[a] = b;
      left[b] = a;
      startsUnit[k + 1] = 0;
    }
  }
  p.frame.clear();
  p.value.clear();
  p.prior.clear();
  p.weight.clear();
  p.source.clear();
  p.trackEnd.clear();
  p.unitEnd.clear();
  for (std::size_t k = 0; k < n; ++k) {
    if (k > 0 && startsUnit[k]) p.unitEnd.push_back(p.frame.size());
    const Track& t = tracks[order[k]];
    for (std::uint32_t i = t.first; i < t.first + t.count; ++i) {
      p.frame.push_back(obs[i].frame);
      p.value.push_back(t.logBase + static_cast<double>(obs[i].logFrequency));
      p.prior.push_back(obs[i].weight);
      p.weight.push_back(weight[i]);
      p.source.push_back(i);
    }
    p.trackEnd.push_back(p.frame.size());
  }
  if (n) p.unitEnd.push_back(p.frame.size());
}

// Robust weights from the residuals against the units' levels and the
// speed: readings far off lose weight (Huber), and so do whole tracks that
// stray (vibrato, a glide, a wrong link).
void reweight(Packed& p, const std::vector<double>& w) {
  const std::size_t n = p.frame.size();
  std::vector<double> standardised(n, 0.0);
  std::size_t begin = 0;
  for (std::size_t end : p.unitEnd) {
    double s = 0.0, m = 0.0;
    for (std::size_t i = begin; i < end; ++i) {
      s += p.weight[i];
      m += p.weight[i] * (p.value[i] - w[static_cast<std::size_t>(p.frame[i])]);
    }
    const double level = s > 0.0 ? m / s : 0.0;
    for (std::size_t i = begin; i < end; ++i)
      standardised[i] = (p.value[i] - w[static_cast<std::size_t>(p.frame[i])] - level) * std::sqrt(p.prior[i]);
    begin = end;
  }
  std::vector<double> sample;
  const std::size_t stride = std::max<std::size_t>(1, n / 20000);
  for (std::size_t i = 0; i < n; i += stride) sample.push_back(std::fabs(standardised[i]));
  if (sample.empty()) return;
  auto middle = sample.begin() + static_cast<std::ptrdiff_t>(sample.size() / 2);
  std::nth_element(sample.begin(), middle, sample.end());
  // Residuals within what the readings' own errors explain are never held against them.
  const double scale = std::max(1.4826 * *middle, 1.0);
  const double huber = 2.0 * scale;
  begin = 0;
  for (std::size_t end : p.trackEnd) {
    double squares = 0.0;
    for (std::size_t i = begin; i < end; ++i) squares += standardised[i] * standardised[i];
    const double meanSquare = squares / static_cast<double>(std::max<std::size_t>(end - begin, 1));
    const double trackFactor = 1.0 / (1.0 + meanSquare / (scale * scale));
    for (std::size_t i = begin; i < end; ++i) {
      const double a = std::fabs(standardised[i]);
      p.weight[i] = p.prior[i] * (a > huber ? huber / a : 1.0) * trackFactor;
    }
    begin = end;
  }
}

// The curve's smoothness: a curvature penalty lambda |D x|^2 against data
// of weight v per frame passes variations below omega = (v / lambda)^(1/4)
// radians per frame. Lambda is set from the mean weight of the frames that
// have data, so where the music is sparse the curve is held smoother (a
// penalty that followed the local weight let sparse stretches through
// noisier on every recording tried).
void setRegulariser(System& s, std::size_t frames, const SolverSettings& settings) {
  std::vector<double> perFrame(frames, 0.0);
  for (std::size_t i = 0; i < s.data.frame.size(); ++i)
    perFrame[static_cast<std::size_t>(s.data.frame[i])] += s.data.weight[i];
  double sum = 0.0;
  std::size_t used = 0;
  for (double v : perFrame)
    if (v > 0.0) {
      sum += v;
      ++used;
    }
  const double mean = used ? sum / static_cast<double>(used) : 1.0;
  const double omega = 2.0 * std::numbers::pi * settings.smoothingHz / settings.framesPerSecond;
  s.lambda = mean / std::pow(std::max(omega, 1e-3), 4.0);
  s.ridge = 1e-7 * mean;
}

}  // namespace

Solution solveSpeed(const std::vector<Track>& tracks, const std::vector<Observation>& observations,
                    std::size_t frames, const SolverSettings& settings) {
  Solution solution;
  solution.logSpeed.assign(frames, 0.0);
  solution.weight.assign(frames, 0.0);
  solution.tracks = tracks.size();
  if (frames == 0 || tracks.empty()) return solution;
  std::vector<double> weight(observations.size());
  for (std::size_t i = 0; i < observations.size(); ++i) weight[i] = observations[i].weight;
  std::vector<double>& w = solution.logSpeed;
  Packed packed;
  const int passes = std::max(1, settings.passes);
  for (int pass = 0; pass < passes; ++pass) {
    // The first linking sees the frequencies with all their wow; later ones
    // the de-wowed frequencies, and so can be tighter.
    const double span = pass == 0 ? 0.012 : std::max(0.0025, 0.006 / pass);
    // The first linking, on frequencies that still carry all their wow and
    // so need a wide span, stays within stretches of 30 s: over a long
    // recording so many partials crowd that span that unrelated ones join.
    const auto block = pass == 0 ? static_cast<std::int32_t>(30.0 * settings.framesPerSecond) : 0;
    pack(tracks, observations, weight, w, settings.linkRecurring, span / 3.0, span, block, packed);
    if (pass > 0) reweight(packed, w);
    System system{packed, {}, 0.0};
    setRegulariser(system, frames, settings);
    conjugateGradients(system, w, 200);
    // The weights go back to the tracks for the next linking.
    for (std::size_t i = 0; i < packed.source.size(); ++i) weight[packed.source[i]] = packed.weight[i];
  }
  solution.units = packed.unitEnd.size();
  for (std::size_t i = 0; i < packed.frame.size(); ++i)
    solution.weight[static_cast<std::size_t>(packed.frame[i])] += packed.weight[i];
  return solution;
}

}  // namespace partials
