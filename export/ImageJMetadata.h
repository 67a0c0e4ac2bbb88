#pragma once

#include <tiffio.h>

#include <string>
#include <vector>

#include "export/RecordingHistory.h"

// What ImageJ reads from its own pair of TIFF tags (50838: the entries' byte counts, 50839:
// the entries): the "Info" text (Image > Show Info), one label per slice, and the image's
// properties (Property.getList). Its ImageDescription keys say only the dimensions.
struct ImageJExtras {
    std::string info;                 // UTF-8; several lines
    std::vector<std::string> labels;  // one per page, in order; UTF-8
    NamedValues properties;
};

// The two tags' contents as ImageJ lays them out: a header naming each kind of entry and
// how many, then every entry as UTF-16 in the file's byte order (little-endian here).
struct ImageJTagData {
    std::vector<std::uint32_t> byteCounts;
    std::vector<std::uint8_t> bytes;
};
ImageJTagData EncodeImageJExtras(const ImageJExtras& extras);

// Makes the two tags known to every TIFF libtiff opens from now on, so that reading one of
// our stacks does not warn of unknown fields. Any thread; once is enough.
void RegisterImageJTags();

// Registers the two tags on tiff and sets them on the directory being written; tiff must be
// written little-endian. False when libtiff refused them.
bool SetImageJExtras(TIFF* tiff, const ImageJExtras& extras);
