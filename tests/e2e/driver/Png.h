// Minimal PNG writer for screenshots: 8-bit RGB, zlib "stored" blocks, no
// compression library. Portable (no <windows.h>).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// Rows top to bottom, 3 bytes per pixel in R, G, B order, no padding.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    bool empty() const { return width <= 0 || height <= 0; }
    // 0xRRGGBB of the pixel, or 0xFFFFFFFF outside the image.
    std::uint32_t pixel(int x, int y) const;
};

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);
std::uint32_t Adler32(const std::uint8_t* data, std::size_t size, std::uint32_t adler = 1);

// The complete PNG file; empty when the image is empty or its pixel buffer
// does not match its size.
std::vector<std::uint8_t> EncodePng(const Image& image);

}  // namespace e2e
