#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "processing/FrameProcessor.h"

// The frame processor for the colour-mosaic sensor: each corrected frame is stretched and
// reconstructed into a ColorFrame (blue, green, red at every sample), remapped three bytes
// per pixel, and handed out for display and files without any YCbCr conversion.
class CColorProcessor : public CFrameProcessor {
  public:
    CColorProcessor();
    ~CColorProcessor() override;

    void RawToRgb(std::uint8_t* pRgb) override;       // 252 rows of 456 bytes, sector 251 first
    void RemappedToRgb(std::uint8_t* pRgb) override;  // height rows, bottom row first
    // The same two pictures as files and scripts want them, in one pass: rows top-down
    // (sector 0 first), red first. streamed: pRgb is not read soon (a batch larger than the
    // caches), so where StreamsRemappedPicture says so the picture is made in a scratch of
    // the processor's own and copied past the caches line by line as it is made.
    void RawToTopDownRgb(std::uint8_t* pRgb);
    void RemappedToTopDownRgb(std::uint8_t* pRgb, bool streamed = false);
    bool StreamsRemappedPicture() const;
    void Histogram(HistogramCounts& counts) override;
    void Configure(int median, int offset, int aux1, int aux2, int gain, int width,
                   int height) override;
    void Remap() override;

    // Stretches the processed frame in place and fills all 114912 bytes of the ColorFrame:
    // 64 rings at a time in AVX-512 whole-number words, or 32 in AVX2 ones, where the
    // processor runs them (vectors true), one at a time otherwise; all forms give the same
    // bytes.
    static void ReconstructColor(std::uint8_t* pFrame, std::uint8_t* pColorFrame,
                                 bool vectors = true);
    static bool ReconstructsInVectors();
    void BuildChannelMap();

    // Read-only views of the blocks; null while the processor is unconfigured. The
    // remapped image is the one the last Remap asked for.
    const std::uint8_t* ProcessedFrame() const { return m_pProcessedFrame.get(); }
    const std::uint8_t* ColorFrame() const { return m_pColorFrames[m_nColorFrame].get(); }
    const std::uint8_t* RemappedImage();
    const std::int32_t* ChannelMap() const { return m_pChannelMap.get(); }

  protected:
    void ProcessRawFrame() override;
    FileResult WriteBitmap(int columns, int rows, const char* path) override;

  private:
    bool AllocateBlocks(int width, int height);
    void ReleaseBlocks();
    // Remaps into m_pRemapped what a Remap asked for and only a display buffer got.
    void CatchUpRemap();

    std::unique_ptr<std::uint8_t[]> m_pProcessedFrame;
    // Two, so that a frame a Remap still owes its picture to survives the next Acquire:
    // the remapped view goes straight into the display buffer, and the remapped image is
    // made only when something reads it.
    std::unique_ptr<std::uint8_t[]> m_pColorFrames[2];
    int m_nColorFrame = 0;
    std::unique_ptr<std::uint8_t[]> m_pRemapped;
    // Where a streamed picture is made; allocated on its first use.
    std::unique_ptr<std::uint8_t[]> m_pStreamScratch;
    std::unique_ptr<std::int32_t[]> m_pChannelMap;
    // The map sector by sector as the histogram walks it: within a sector the fovea rings
    // counted are the last ones, all in one channel, and the periphery's even and odd rings
    // take one channel each, so no sample's code is read.
    struct SectorChannels {
        std::uint8_t firstCountedRing;
        std::uint8_t fovea;
        std::uint8_t evenRings;
        std::uint8_t oddRings;
    };
    std::array<SectorChannels, kSectors> m_sectorChannels{};
    // The colour frame the last Remap asked for while m_pRemapped does not show it yet;
    // null when it does. The acquisition thread's; the window saves only after it ended.
    const std::uint8_t* m_pPendingRemap = nullptr;
};
