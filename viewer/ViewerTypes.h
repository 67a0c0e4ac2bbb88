#pragma once

#include <cstdint>

#include "sensor/Defaults.h"

// A rectangle in client coordinates; right and bottom are exclusive.
struct ViewerRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const ViewerRect&) const = default;
};

// Describes a packed 24-bit picture: blue, green, red per pixel, rows bottom-up, no padding.
struct BitmapHeader {
    std::uint32_t biSize = 0;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;
    std::uint16_t biPlanes = 0;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = 0;
    std::uint32_t biSizeImage = 0;

    bool operator==(const BitmapHeader&) const = default;
};

inline BitmapHeader MakeRgbHeader(int width, int height) {
    BitmapHeader header;
    header.biSize = 40;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = 0;
    header.biSizeImage = std::uint32_t(width) * std::uint32_t(height) * 3;
    return header;
}

// The values the Settings dialog hands back when the operator confirms it.
struct SettingsValues {
    int nPortAddress = kDefaultPortAddress;
    int nGain = kDefaultGain;
    int nOffset = kDefaultOffset;
    int nAux1 = kDefaultAux;
    int nAux2 = kDefaultAux;
    bool bColor = false;
};
