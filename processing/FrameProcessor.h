#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/files/FileResult.h"
#include "processing/GainTable.h"
#include "processing/RemapChunks.h"
#include "processing/VectorLookup.h"
#include "sensor/Defaults.h"
#include "sensor/LogPolarFrame.h"

class CPortCamera;

// Histogram counts handed to Histogram(): one row of 256 counts per channel.
using HistogramCounts = std::int32_t[3][256];

// The one interface through which the viewer and the acquisition thread drive frame
// processing. The virtual operations keep their documented order; the base gives
// do-nothing defaults and holds the state and steps both sensor variants share.
//
// Threads: the acquisition thread calls Calibrate, Acquire (or TakeFrame), Remap, the
// conversions and Histogram; the user-interface thread calls Configure, SaveBitmap and the
// destructor. Only ConfigureKeepingSize may overlap acquisition; it touches nothing but
// the atomics below and publishes a gain table built aside.
class CFrameProcessor {
  public:
    CFrameProcessor();
    CFrameProcessor(const CFrameProcessor&) = delete;
    CFrameProcessor& operator=(const CFrameProcessor&) = delete;

    virtual void RawToRgb(std::uint8_t* pRgb);       // 152 x 252 x 3 bytes
    virtual void RemappedToRgb(std::uint8_t* pRgb);  // width x height x 3 bytes
    virtual void Histogram(HistogramCounts& counts);
    virtual int Acquire();
    virtual void Configure(int median, int offset, int aux1, int aux2, int gain, int width,
                           int height);
    // Configure at the size in force: the only form that may overlap acquisition, since it
    // never reallocates. Does nothing before the first Configure.
    void ConfigureKeepingSize(int median, int offset, int aux1, int aux2, int gain);
    virtual void Remap();
    // 1 when the picture of columns x rows was saved whole, else 0: SaveBitmapFile's result.
    virtual int SaveBitmap(int columns, int rows, const char* path);
    virtual ~CFrameProcessor();

    // Saves the remapped picture (columns x rows = the picture's pixels) or the unmapped one
    // (= kFrameBytes) as a 24-bit BMP, always whole (a temporary file renamed into place).
    FileResult SaveBitmapFile(int columns, int rows, const std::string& path);

    bool SetCamera(CPortCamera* pCamera);
    int Calibrate();
    // Processes a frame the caller hands in (kFrameBytes, copied) exactly as Acquire
    // processes one read from the camera link: the road for frames already in memory
    // (recordings, scripts). False, doing nothing, while unconfigured.
    bool TakeFrame(const std::uint8_t* pRaw);

    // Where the calibration image is loaded from and stored; "calimage.data" by default.
    void SetCalibrationPath(std::string path);
    const std::string& CalibrationPath() const { return m_strCalibrationPath; }
    // Whether the last load took the calibration file: a failure says why it was refused
    // (the dark image then stays all zero); success too when there was none. Set by
    // Configure.
    const FileResult& CalibrationLoaded() const { return m_calibrationLoaded; }
    // Whether the last successful Calibrate stored the file: a failure leaves the new dark
    // image in memory only. Read on the thread that calibrates.
    const FileResult& CalibrationStored() const { return m_calibrationStored; }

    // The flat field's factors (FlatFactors, processing/FlatField.h) that every correction
    // applies from the next frame, or none (null, the default). Set on the thread that
    // processes frames, or before any is.
    void SetFlatFactors(std::shared_ptr<const std::vector<std::int32_t>> pFactors);
    const std::int32_t* FlatFactorsInUse() const;

    bool IsConfigured() const { return m_bConfigured; }
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    std::uint32_t PixelCount() const { return m_nPixelCount; }
    int Offset() const { return m_nOffset.load(std::memory_order_relaxed); }
    int Median() const { return m_nMedian.load(std::memory_order_relaxed); }
    float Gain() const { return m_fGain.load(std::memory_order_relaxed); }
    const std::uint8_t* RawFrame() const { return m_pRawFrame.get(); }
    const std::int32_t* CalibrationImage() const { return m_pCalibration.get(); }
    // The table in force; never changes while a frame is being corrected with it.
    std::shared_ptr<const GainTable> CurrentGainTable() const;

    static void Correct(const GainTable& table, std::uint8_t* pDestination,
                        const std::uint8_t* pRaw, const std::int32_t* pCalibration, int offset);
    // Correct in two steps giving the same bytes: the shift (offset minus calibration,
    // clamped to -256..256) is prepared once per offset and calibration, then each frame
    // is one look-up of sample plus shift, many samples at a time.
    static void PrepareCorrectionShift(const std::int32_t* pCalibration, int offset,
                                       std::int16_t* pShift);
    static void CorrectPrepared(const GainTable& table, std::uint8_t* pDestination,
                                const std::uint8_t* pRaw, const std::int16_t* pShift);
    static void BuildGainTable(GainTable& table, double gain);
    static void FillFovea(std::uint8_t* pFrame);
    // Gathers the output picture through the remap table; a pixel count other than the
    // two square sizes is refused (nothing is written). Every level gives the same bytes;
    // a level the processor cannot run falls back to the plain walk.
    void RemapGrey(const std::uint8_t* pSource, std::uint8_t* pDestination,
                   VectorLevel level = SupportedVectorLevel()) const;
    void RemapRgb(const std::uint8_t* pColorFrame, std::uint8_t* pDestination,
                  VectorLevel level = SupportedVectorLevel()) const;
    // The picture RemapRgb gives over a black background, into a buffer of any content:
    // rows bottom-up (the display's) or top-down with red first (files' and scripts'), as
    // the layout says. False, writing nothing, where the processor cannot run it.
    bool RemapRgbOnBlack(const std::uint8_t* pColorFrame, std::uint8_t* pDestination,
                         RgbLayout layout) const;
    // The picture RemapGrey gives from the same frame after FillFovea, from the frame as
    // corrected, the fill folded into the remap. False, writing nothing, where the
    // processor cannot run it. Pixels showing an empty fovea cell are not written: the
    // grey planes hold the fill's 128 there from the start.
    bool RemapGreyFoldingFovea(const std::uint8_t* pUnfilled, std::uint8_t* pDestination) const;
    // The whole file written and closed, or why not (no partial file is kept).
    static FileResult WriteBmp(const std::uint8_t* pPixels, int width, int height,
                               const char* path);
    // The bytes WriteBmp writes (empty for no picture).
    static std::vector<std::uint8_t> BmpFileBytes(const std::uint8_t* pPixels, int width,
                                                  int height);

  protected:
    // The part of Configure both variants share: stores the scalar values, decides
    // whether the buffers must be (re)allocated, publishes a new gain table.
    void StoreSettings(int offset, int gain);
    bool NeedsAllocation(int width, int height) const;
    // Allocates the raw frame and the calibration image (zeroed) for a new size;
    // false when the heap is exhausted (the processor then stays unconfigured).
    bool AllocateBaseBuffers(int width, int height);
    void ReleaseBaseBuffers();
    void LoadCalibration();
    void PublishGainTable();
    // What each variant makes of the raw frame now in m_pRawFrame (Acquire and TakeFrame
    // share it); called only while configured.
    virtual void ProcessRawFrame() {}
    // What each variant saves for SaveBitmapFile, and the reasons it may refuse.
    virtual FileResult WriteBitmap(int columns, int rows, const char* path);
    static FileResult NothingToSave(const char* path);
    static FileResult WrongSize(const char* path, int columns, int rows);
    static FileResult OutOfMemory(const char* path);
    // Acquisition thread: corrects the raw frame into pDestination with the settings in
    // force, first re-preparing the shift if the offset or the calibration changed.
    void CorrectRawFrame(std::uint8_t* pDestination);
    void MarkConfigured(bool configured) { m_bConfigured = configured; }

    CPortCamera* m_pCamera = nullptr;
    std::atomic<int> m_nMedian{0};
    std::atomic<int> m_nOffset{0};
    int m_nWidth = 0;
    int m_nHeight = 0;
    std::uint32_t m_nPixelCount = 0;
    std::atomic<float> m_fGain{0.0f};
    bool m_bConfigured = false;
    std::unique_ptr<std::uint8_t[]> m_pRawFrame;
    std::unique_ptr<std::int32_t[]> m_pCalibration;
    // Prepared from m_pCalibration and m_nShiftOffset by the thread that corrects frames,
    // the one that also changes the calibration while acquisition runs; Configure only
    // stores the offset, so the two threads never share the calibration image.
    std::unique_ptr<std::int16_t[]> m_pCorrectionShift;
    int m_nShiftOffset = 0;
    std::atomic<bool> m_bShiftStale{true};  // the calibration changed since the shift was made
    std::shared_ptr<const std::vector<std::int32_t>> m_pFlatFactors;

  private:
    // The lock is held only to copy or swap the pointer: tables are built and freed
    // outside it, so a frame never waits for a table being built.
    mutable std::mutex m_gainTableMutex;  // guards m_pGainTable
    std::shared_ptr<const GainTable> m_pGainTable;
    std::string m_strCalibrationPath = kDefaultCalibrationFile;
    FileResult m_calibrationLoaded;
    FileResult m_calibrationStored;
};
