#pragma once
// The movie writer's colour conversion, shared with bench/movie/framecost.cpp.

#include <bit>
#include <cstddef>
#include <cstdint>

namespace tivane {

// B, G, R, X pixels into Y, U and V planes of 4:2:0, as swscale makes them by default (ITU-R
// BT.601, limited range) but with each colour sample the plain mean of its 2 x 2 pixels:
// swscale's general path takes about 6 ms a frame at 800 x 600, more than the encoder itself
// on a line plot, where this loop takes 0.25 ms. Width and height are even.
static_assert(std::endian::native == std::endian::little, "frames are read as B, G, R, X bytes");
// Written for the vectoriser (-O3, as the module is built): AVX2 where the processor has it
// halves the time again, so that version is picked when the module is loaded.
__attribute__((target_clones("avx2", "default"))) static void
BgrxToYuv420(const uint8_t* bgrx, std::ptrdiff_t stride, int width, int height,
             uint8_t* const planes[3], const int linesizes[3]) {
    for (int y = 0; y < height; y += 2) {
        const uint8_t* top = bgrx + stride * y;
        const uint8_t* bottom = top + stride;
        uint8_t* luma0 = planes[0] + std::ptrdiff_t(linesizes[0]) * y;
        uint8_t* luma1 = luma0 + linesizes[0];
        uint8_t* u = planes[1] + std::ptrdiff_t(linesizes[1]) * (y / 2);
        uint8_t* v = planes[2] + std::ptrdiff_t(linesizes[2]) * (y / 2);
        for (int x = 0; x < width; ++x) {
            const int b0 = top[4 * x], g0 = top[4 * x + 1], r0 = top[4 * x + 2];
            const int b1 = bottom[4 * x], g1 = bottom[4 * x + 1], r1 = bottom[4 * x + 2];
            luma0[x] = uint8_t(((66 * r0 + 129 * g0 + 25 * b0 + 128) >> 8) + 16);
            luma1[x] = uint8_t(((66 * r1 + 129 * g1 + 25 * b1 + 128) >> 8) + 16);
        }
        for (int x = 0; x < width / 2; ++x) {
            const uint8_t* p = top + 8 * x;
            const uint8_t* q = bottom + 8 * x;
            const int b = p[0] + p[4] + q[0] + q[4];
            const int g = p[1] + p[5] + q[1] + q[5];
            const int r = p[2] + p[6] + q[2] + q[6];
            u[x] = uint8_t(((-38 * r - 74 * g + 112 * b + 512) >> 10) + 128);
            v[x] = uint8_t(((112 * r - 94 * g - 18 * b + 512) >> 10) + 128);
        }
    }
}

} // namespace tivane
