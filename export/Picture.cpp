#include "export/Picture.h"

std::vector<std::uint8_t> Picture::GreyPlane() const {
    std::vector<std::uint8_t> plane(std::size_t(width) * height);
    for (std::size_t i = 0; i < plane.size(); ++i) {
        plane[i] = rgb[i * 3];
    }
    return plane;
}

std::string PictureText::Describe() const {
    std::string text = "frame=" + std::to_string(frame);
    if (timeUs >= 0) {
        text += " time_us=" + std::to_string(timeUs);
    }
    return text + " " + settings;
}
