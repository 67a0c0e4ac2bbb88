#include "export/Picture.h"

std::vector<std::uint8_t> Picture::GreyPlane() const {
    std::vector<std::uint8_t> plane(std::size_t(width) * height);
    for (std::size_t i = 0; i < plane.size(); ++i) {
        plane[i] = rgb[i * 3];
    }
    return plane;
}

std::vector<std::uint8_t> Picture::BgrBottomUp() const {
    if (!bgrFlipped.empty()) {
        return bgrFlipped;
    }
    const std::size_t rowBytes = std::size_t(width) * 3;
    if (width <= 0 || height <= 0 || rgb.size() != rowBytes * std::size_t(height)) {
        return {};
    }
    std::vector<std::uint8_t> bottomUp(rgb.size());
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* pFrom = rgb.data() + std::size_t(height - 1 - row) * rowBytes;
        std::uint8_t* pTo = bottomUp.data() + std::size_t(row) * rowBytes;
        for (std::size_t x = 0; x < rowBytes; x += 3) {
            pTo[x] = pFrom[x + 2];
            pTo[x + 1] = pFrom[x + 1];
            pTo[x + 2] = pFrom[x];
        }
    }
    return bottomUp;
}

std::string PictureText::Describe() const {
    std::string text = "frame=" + std::to_string(frame);
    if (timeUs >= 0) {
        text += " time_us=" + std::to_string(timeUs);
    }
    return text + " " + settings + (history.empty() ? "" : " " + history);
}
