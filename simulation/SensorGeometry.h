#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "simulation/SceneCanvas.h"

// What each sample of the sensor sees of the picture plane: the canvas pixels that the
// remap table shows it in (its cell; four of them, spread over it, for a larger cell), or
// the pixel at the cell's centre when the table shows it nowhere. Fovea samples are placed at the
// raw sectors the sensor delivers them at, so that the fovea fill gathers them back into place.
class CSensorGeometry {
  public:
    // A large outer cell is averaged over this many of its pixels, spread over it: the
    // mean of a few is as good a picture as the mean of forty, at a fraction of the reads.
    static constexpr std::size_t kMostPixelsPerCell = 4;

    static const CSensorGeometry& Instance();

    // Writes the mean of every physical sample's cell into rawFrame (kFrameBytes); raw
    // positions without a physical pixel get 0. With color, each sample sees only the
    // plane of its mosaic colour; otherwise plane 0.
    void Sample(const SceneCanvas& canvas, bool color, std::uint8_t* rawFrame) const;
    // The same, each mean written through `levels` (positions without a pixel: levels[0]).
    void Sample(const SceneCanvas& canvas, bool color, const std::array<std::uint8_t, 256>& levels,
                std::uint8_t* rawFrame) const;

    // The mosaic colour (a CanvasPlane) of a sample in compact fovea layout.
    static CanvasPlane MosaicColor(int sector, int ring);
    // Canvas pixels averaged into the sample at this raw index (0: no physical pixel).
    std::uint32_t PixelCount(std::size_t rawIndex) const;

    // Every canvas pixel a sample reads, with the plane it reads behind the colour mosaic:
    // all a canvas needs to hold for Sample, so that a scene may fill only these.
    struct PixelRead {
        std::uint32_t pixel;
        CanvasPlane color;
    };
    std::vector<PixelRead> PixelsRead() const;

  private:
    CSensorGeometry();

    struct Cell {
        std::uint32_t rawIndex;
        std::uint16_t count;  // its pixels follow those of the cell before it
        std::uint8_t color;
    };

    template <int kCount>
    void SampleCells(const SceneCanvas& canvas, bool color,
                     const std::array<std::uint8_t, 256>& levels, const Cell*& pCell,
                     std::size_t end, const std::uint32_t*& pPixel, std::uint8_t* rawFrame) const;

    std::vector<Cell> m_cells;            // by pixel count (1 to 4)
    std::vector<std::uint32_t> m_pixels;  // canvas offsets, cell after cell
    std::array<std::size_t, kMostPixelsPerCell + 1>
        m_cellsEnd{};                          // one past the last cell of each pixel count
    std::vector<std::uint32_t> m_pixelCounts;  // per raw index
};
