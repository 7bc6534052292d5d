// Fast Hartley transform of power-of-two length and the real and complex
// Fourier transforms built on it. Single precision, in place, no allocation
// and no trigonometric calls: twiddles come from a rotation recurrence
// seeded by two small constant tables.
#pragma once

class HartleyFft {
 public:
  static constexpr int kMinLength = 4;
  static constexpr int kMaxLength = 131072;

  // True for the lengths the transforms accept: powers of two, 4 to 131072.
  static bool isValidLength(int n);

  // H[k] = sum x[m] (cos(2 pi m k / n) + sin(2 pi m k / n)), unscaled.
  // Lengths that are not accepted leave the data untouched.
  void hartley(float* data, int n) const;

  // Forward transform of a real signal, unscaled: data[0] = X[0],
  // data[k] = Re X[k] and data[n - k] = -Im X[k] for 0 < k < n/2,
  // data[n/2] = X[n/2].
  void realFft(float* data, int n) const;

  // In-place complex transform re + i im -> sum z[k] e^(-2 pi i m k / n),
  // unscaled.
  void complexFft(float* re, float* im, int n) const;
};
