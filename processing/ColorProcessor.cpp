#include "processing/ColorProcessor.h"

CColorProcessor::CColorProcessor() = default;

CColorProcessor::~CColorProcessor() = default;

void CColorProcessor::RawToRgb(std::uint8_t*) {}

void CColorProcessor::RemappedToRgb(std::uint8_t*) {}

void CColorProcessor::Histogram(HistogramCounts&) {}

int CColorProcessor::Acquire() {
    return 0;
}

void CColorProcessor::Configure(int, int, int, int, int, int, int) {}

void CColorProcessor::Remap() {}

int CColorProcessor::SaveBitmap(int, int, const char*) {
    return 0;
}

void CColorProcessor::BuildChannelMap() {}

bool CColorProcessor::AllocateBlocks(int, int) {
    return false;
}

void CColorProcessor::ReleaseBlocks() {}
