#include "export/SampleValues.h"

#include <cstring>
#include <vector>

#include "processing/FrameProcessor.h"
#include "sensor/LogPolarFrame.h"
#include "sensor/RemapTable.h"

bool ParseSampleValues(const std::string& text, SampleValues* values, std::string* error) {
    for (SampleValues candidate : kAllSampleValues) {
        if (text == SampleValuesName(candidate)) {
            *values = candidate;
            return true;
        }
    }
    *error = "values must be shown, corrected, raw or flat, not '" + text + "'";
    return false;
}

const char* SampleValuesName(SampleValues values) {
    switch (values) {
        case SampleValues::kCorrected:
            return "corrected";
        case SampleValues::kRaw:
            return "raw";
        case SampleValues::kFlat:
            return "flat";
        case SampleValues::kShown:
            break;
    }
    return "shown";
}

void RemapSampleGrid(const std::uint8_t* pGrid, int size, std::uint8_t* pPicture) {
    std::vector<std::uint8_t> filled(pGrid, pGrid + kFrameBytes);
    CFrameProcessor::FillFovea(filled.data());
    const std::uint16_t* pTable = RemapTable();
    const int step = kRemapTableSize / size;
    for (int y = 0; y < size; ++y) {
        const std::uint16_t* pRow = pTable + std::size_t(y) * step * kRemapTableSize;
        std::uint8_t* pOut = pPicture + std::size_t(y) * size;
        for (int x = 0; x < size; ++x) {
            const std::uint16_t source = pRow[x * step];
            pOut[x] = source == kNoSource ? 0 : filled[source];
        }
    }
}
