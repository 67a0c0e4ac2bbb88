#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "processing/FrameProcessor.h"
#include "processing/RemapChunks.h"
#include "processing/YuvToRgb.h"

// The frame processor for the black-and-white sensor. Pictures are held as a luma plane
// and two chroma planes fixed at 128, so every RGB output is grey.
class CMonoProcessor : public CFrameProcessor {
  public:
    CMonoProcessor();
    ~CMonoProcessor() override;

    void RawToRgb(std::uint8_t* pRgb) override;       // 152 wide, 252 high
    void RemappedToRgb(std::uint8_t* pRgb) override;  // width x height
    void Histogram(HistogramCounts& counts) override;
    void Configure(int median, int offset, int aux1, int aux2, int gain, int width,
                   int height) override;
    void Remap() override;

    // Read-only views of the planes (0 luma, 1 and 2 chroma); null while unconfigured. The
    // frame's luma is shown as the unmapped view shows it, its fovea filled; the output luma
    // is the picture the last Remap asked for.
    const std::uint8_t* FramePlane(int plane);
    const std::uint8_t* OutputPlane(int plane);
    // The remapped picture top-down, in one pass from the frame's luma (streamed past the
    // caches, for a batch nothing reads soon); false, with nothing written, where this
    // machine or this size has no such pass, or no Remap is owed.
    bool RemappedToTopDownRgb(std::uint8_t* pRgb, bool streamed);
    bool HasOnePassRemap() const;

  protected:
    void ProcessRawFrame() override;
    FileResult WriteBitmap(int columns, int rows, const char* path) override;

  private:
    static constexpr int kPlanes = 3;

    // The remapped view folds the fovea fill into its remap; the unmapped view and the
    // saves fill the frame's fovea on first need.
    void FillFoveaOnce();
    // A Remap only names the frame luma its picture comes from: the remapped view remaps
    // it straight into the display's bytes, and the output plane is remapped only when
    // something reads it.
    void CatchUpRemap();
    bool RemapIntoRgb(std::uint8_t* pRgb, GreyLayout layout);
    bool OwedLumaFilled() const;
    bool AllocatePlanes();
    void ReleasePlanes();

    std::unique_ptr<CYuvToRgb> m_pConverter;
    std::array<std::uint8_t, 256> m_greyLevels{};  // the converter's, for the remapped view
    std::array<std::unique_ptr<std::uint8_t[]>, kPlanes> m_pFramePlane;
    std::array<std::unique_ptr<std::uint8_t[]>, kPlanes> m_pOutputPlane;
    // Whether the frame plane's fovea is filled. The acquisition thread's; the window
    // saves only after that thread has ended.
    bool m_bFoveaFilled = true;
    // The frame luma whose picture the output plane still owes a Remap, or null; a frame
    // coming meanwhile goes into the spare luma, so the owed one survives it. Whether its
    // fovea was filled, once it is no longer the frame plane. The acquisition thread's, as
    // m_bFoveaFilled.
    std::uint8_t* m_pOwedLuma = nullptr;
    bool m_bOwedFilled = false;
    std::unique_ptr<std::uint8_t[]> m_pSpareLuma;
    // The raw frame's counts, taken in the remap's pass while the last frame's histogram
    // was asked for, and whether they are this frame's. The acquisition thread's, as
    // m_bFoveaFilled.
    std::array<std::int32_t, 256> m_rawCounts{};
    bool m_bRawCounted = false;
    bool m_bHistogramAsked = false;
    bool m_bCountWithRemap = false;
};
