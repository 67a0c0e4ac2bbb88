#pragma once

#include <png.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>
#include "tests/export/OurTiff.h"

// Independent readers for the files the exporter writes: each gives RGB, top row first.
struct Decoded {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
    std::map<std::string, std::string> text;  // PNG text chunks; TIFF description
};

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Our 58-byte-header BMP: bottom row first, blue-green-red.
inline Decoded DecodeBmp(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    Decoded d;
    if (bytes.size() < 58) {
        return d;
    }
    auto get32 = [&](std::size_t at) {
        return int(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24);
    };
    d.width = get32(18);
    d.height = get32(22);
    d.rgb.resize(std::size_t(d.width) * d.height * 3);
    for (int row = 0; row < d.height; ++row) {
        const std::uint8_t* pFrom =
            bytes.data() + 58 + std::size_t(d.height - 1 - row) * d.width * 3;
        for (int x = 0; x < d.width; ++x) {
            std::uint8_t* pTo = d.rgb.data() + (std::size_t(row) * d.width + x) * 3;
            pTo[0] = pFrom[x * 3 + 2];
            pTo[1] = pFrom[x * 3 + 1];
            pTo[2] = pFrom[x * 3];
        }
    }
    return d;
}

inline Decoded DecodePng(const std::string& path) {
    Decoded d;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return d;
    }
    image.format = PNG_FORMAT_RGB;
    d.width = int(image.width);
    d.height = int(image.height);
    d.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, d.rgb.data(), 0, nullptr)) {
        return Decoded{};
    }
    // The text chunks, through the full interface.
    std::FILE* file = std::fopen(path.c_str(), "rb");
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_read_info(png, info);
        png_textp texts = nullptr;
        int count = png_get_text(png, info, &texts, nullptr);
        for (int i = 0; i < count; ++i) {
            d.text[texts[i].key] = texts[i].text;
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return d;
}

inline Decoded DecodeTiff(const std::string& path) {
    Decoded d;
    TIFF* tiff = OpenOurTiff(path);
    if (tiff == nullptr) {
        return d;
    }
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t channels = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &channels);
    char* description = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_IMAGEDESCRIPTION, &description) && description) {
        d.text["Description"] = description;
    }
    d.width = int(width);
    d.height = int(height);
    d.rgb.resize(std::size_t(width) * height * 3);
    std::vector<std::uint8_t> line(TIFFScanlineSize(tiff));
    for (std::uint32_t row = 0; row < height; ++row) {
        TIFFReadScanline(tiff, line.data(), row);
        for (std::uint32_t x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                d.rgb[(std::size_t(row) * width + x) * 3 + c] =
                    line[x * channels + (channels == 3 ? c : 0)];
            }
        }
    }
    TIFFClose(tiff);
    return d;
}

// Binary PGM or PPM with at most one comment line, as the exporter writes them.
inline Decoded DecodePnm(const std::string& path) {
    Decoded d;
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    std::string text(bytes.begin(), bytes.end());
    std::size_t at = 0;
    auto token = [&]() {
        while (at < text.size() &&
               (std::isspace(static_cast<unsigned char>(text[at])) || text[at] == '#')) {
            if (text[at] == '#') {
                at = text.find('\n', at);
            } else {
                ++at;
            }
        }
        std::size_t start = at;
        while (at < text.size() && !std::isspace(static_cast<unsigned char>(text[at]))) {
            ++at;
        }
        return text.substr(start, at - start);
    };
    const std::string magic = token();
    d.width = std::stoi(token());
    d.height = std::stoi(token());
    token();  // 255
    ++at;
    const int channels = magic == "P5" ? 1 : 3;
    d.rgb.resize(std::size_t(d.width) * d.height * 3);
    for (std::size_t i = 0; i < std::size_t(d.width) * d.height; ++i) {
        for (int c = 0; c < 3; ++c) {
            d.rgb[i * 3 + c] = bytes[at + i * channels + (channels == 3 ? c : 0)];
        }
    }
    return d;
}
