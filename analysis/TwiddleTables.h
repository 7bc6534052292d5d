// Seeds of the transform's twiddle recurrence, shared by every transform.
#pragma once

namespace twiddle {

// cos and sin of pi / 2^(k+1), rounded to float. Entries 16 to 19 are never
// reached by the accepted lengths and stay zero.
inline constexpr float kCosTable[20] = {
    0.0f,         0.70710677f,  0.9238795f,  0.98078525f, 0.9951847f,
    0.99879545f,  0.9996988f,   0.9999247f,  0.99998116f, 0.9999953f,
    0.9999988f,   0.9999997f,   0.99999994f, 1.0f,        1.0f,
    1.0f,         0.0f,         0.0f,        0.0f,        0.0f};
inline constexpr float kSinTable[20] = {
    1.0f,          0.70710677f,    0.38268343f,    0.19509032f,    0.09801714f,
    0.049067676f,  0.024541229f,   0.012271538f,   0.0061358847f,  0.0030679568f,
    0.0015339801f, 0.0007669903f,  0.00038349518f, 0.0001917476f,  9.58738e-05f,
    4.7936901e-05f, 0.0f,          0.0f,           0.0f,           0.0f};

}  // namespace twiddle
