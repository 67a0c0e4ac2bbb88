#pragma once

#include <cstdint>
#include <vector>

#include "camera/SceneCanvas.h"

// What each sample of the sensor sees of the picture plane: the canvas pixels that the
// remap table shows it in (its cell), or the pixel at the cell's centre when the table
// shows it nowhere. Fovea samples are placed at the raw sectors the sensor delivers them
// at, so that the fovea fill gathers them back into place.
class CSensorGeometry {
  public:
    static const CSensorGeometry& Instance();

    // Writes the mean of every physical sample's cell into rawFrame (kFrameBytes); raw
    // positions without a physical pixel get 0. With color, each sample sees only the
    // plane of its mosaic colour; otherwise plane 0.
    void Sample(const SceneCanvas& canvas, bool color, std::uint8_t* rawFrame) const;

    // The mosaic colour (a CanvasPlane) of a sample in compact fovea layout.
    static CanvasPlane MosaicColor(int sector, int ring);
    // Canvas pixels averaged into the sample at this raw index (0: no physical pixel).
    std::uint32_t PixelCount(std::size_t rawIndex) const;

  private:
    CSensorGeometry();

    struct Cell {
        std::uint32_t rawIndex;
        std::uint16_t count;  // its pixels follow those of the cell before it
        std::uint8_t color;
    };

    std::vector<Cell> m_cells;
    std::vector<std::uint32_t> m_pixels;       // canvas offsets, cell after cell
    std::vector<float> m_reciprocals;          // by pixel count
    std::vector<std::uint32_t> m_pixelCounts;  // per raw index
};
