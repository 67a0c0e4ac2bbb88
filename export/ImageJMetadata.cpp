#include "export/ImageJMetadata.h"

namespace {

constexpr ttag_t kByteCountsTag = 50838;
constexpr ttag_t kDataTag = 50839;
const TIFFFieldInfo kFields[] = {
    {kByteCountsTag, TIFF_VARIABLE2, TIFF_VARIABLE2, TIFF_LONG, FIELD_CUSTOM, 1, 1,
     const_cast<char*>("IJMetadataByteCounts")},
    {kDataTag, TIFF_VARIABLE2, TIFF_VARIABLE2, TIFF_BYTE, FIELD_CUSTOM, 1, 1,
     const_cast<char*>("IJMetadata")},
};

// libtiff runs the extenders for every directory of every file; ours hands on to the one
// that was there before it. Set once, under the static's initialisation.
TIFFExtendProc g_previousExtender = nullptr;

void ExtendWithImageJTags(TIFF* tiff) {
    TIFFMergeFieldInfo(tiff, kFields, 2);
    if (g_previousExtender != nullptr) {
        g_previousExtender(tiff);
    }
}
// ImageJ's four-letter codes, as big-endian numbers.
constexpr std::uint32_t kMagic = 0x494a494a;       // "IJIJ"
constexpr std::uint32_t kInfo = 0x696e666f;        // "info"
constexpr std::uint32_t kLabels = 0x6c61626c;      // "labl"
constexpr std::uint32_t kProperties = 0x70726f70;  // "prop"

void AppendLittleEndian(std::vector<std::uint8_t>* out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out->push_back(std::uint8_t(value >> shift));
    }
}

// The UTF-16 code units of UTF-8 text that MetadataText has already made valid.
std::vector<std::uint16_t> Utf16(const std::string& text) {
    std::vector<std::uint16_t> units;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = std::uint8_t(text[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        std::uint32_t code = length == 1   ? lead
                             : length == 2 ? lead & 0x1Fu
                             : length == 3 ? lead & 0x0Fu
                                           : lead & 0x07u;
        for (int k = 1; k < length && i + k < text.size(); ++k) {
            code = code << 6 | (std::uint8_t(text[i + k]) & 0x3Fu);
        }
        i += std::size_t(length);
        if (code >= 0x10000) {
            code -= 0x10000;
            units.push_back(std::uint16_t(0xD800 + (code >> 10)));
            units.push_back(std::uint16_t(0xDC00 + (code & 0x3FF)));
        } else {
            units.push_back(std::uint16_t(code));
        }
    }
    return units;
}

void AppendEntry(ImageJTagData* data, const std::string& text) {
    const std::vector<std::uint16_t> units = Utf16(text);
    for (const std::uint16_t unit : units) {
        data->bytes.push_back(std::uint8_t(unit));
        data->bytes.push_back(std::uint8_t(unit >> 8));
    }
    data->byteCounts.push_back(std::uint32_t(units.size() * 2));
}

}  // namespace

ImageJTagData EncodeImageJExtras(const ImageJExtras& extras) {
    ImageJTagData data;
    AppendLittleEndian(&data.bytes, kMagic);
    const std::pair<std::uint32_t, std::size_t> kinds[] = {
        {kInfo, extras.info.empty() ? 0 : 1},
        {kLabels, extras.labels.size()},
        {kProperties, extras.properties.size() * 2},  // key, value, key, value ...
    };
    for (const auto& [kind, count] : kinds) {
        if (count != 0) {
            AppendLittleEndian(&data.bytes, kind);
            AppendLittleEndian(&data.bytes, std::uint32_t(count));
        }
    }
    data.byteCounts.push_back(std::uint32_t(data.bytes.size()));
    if (!extras.info.empty()) {
        AppendEntry(&data, extras.info);
    }
    for (const std::string& label : extras.labels) {
        AppendEntry(&data, label);
    }
    for (const auto& [key, value] : extras.properties) {
        AppendEntry(&data, key);
        AppendEntry(&data, value);
    }
    return data;
}

void RegisterImageJTags() {
    static const bool registered = [] {
        g_previousExtender = TIFFSetTagExtender(&ExtendWithImageJTags);
        return true;
    }();
    (void)registered;
}

bool SetImageJExtras(TIFF* tiff, const ImageJExtras& extras) {
    if (TIFFMergeFieldInfo(tiff, kFields, 2) != 0) {
        return false;
    }
    const ImageJTagData data = EncodeImageJExtras(extras);
    return TIFFSetField(tiff, kByteCountsTag, std::uint32_t(data.byteCounts.size()),
                        data.byteCounts.data()) == 1 &&
           TIFFSetField(tiff, kDataTag, std::uint32_t(data.bytes.size()), data.bytes.data()) == 1;
}
