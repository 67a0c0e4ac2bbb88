#include "viewer/UnmappedView.h"

#include <cstddef>
#include <cstring>

void TurnUnmapped(const std::uint8_t* pUpright, std::uint8_t* pTurned) {
    for (int row = 0; row < kUnmappedWidth; ++row) {
        const std::uint8_t* pSource = pUpright + std::size_t(row) * kUnmappedHeight * 3;
        for (int ring = 0; ring < kUnmappedHeight; ++ring) {
            const std::size_t target =
                std::size_t(kUnmappedHeight - 1 - ring) * kUnmappedWidth + row;
            std::memcpy(pTurned + target * 3, pSource + ring * 3, 3);
        }
    }
}

ViewerRect UnmappedDestination(const ViewerRect& client, int yImage, bool bZoomed) {
    const int scale = bZoomed ? 2 : 1;
    const int dx = scale * kUnmappedWidth;
    const int dy = scale * kUnmappedHeight;
    const int x = client.left + (client.right - dx) / 2;
    const int y = client.top + (client.bottom - yImage - dy) / 2 + yImage;
    return {x, y, x + dx, y + dy};
}
