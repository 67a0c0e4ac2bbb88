#pragma once

#include <cstddef>
#include <cstdint>

class CSampleTally;

// The remap of one picture size cut into chunks of 64 consecutive output pixels, for a
// gather done with byte and word permutes. Each chunk lists its pixels' runs (neighbours
// showing the same frame sample) from firstRun on; a few chunks at a time are remapped in
// two passes: one load per run into a scratch row of run values, and one permute per
// chunk that spreads them over its pixels. Chunks without a pixel to write are left out;
// pixels outside the sensor disc are masked and never written.
//
// The folded form maps the fovea through the fill's table, so a frame whose fovea has not
// been filled remaps to the picture its filled copy gives. Pixels showing a fovea cell the
// fill leaves empty are masked like those outside the disc: the grey planes hold 128
// there, the value the fill gives such a cell, and no remap ever writes anything else.
inline constexpr int kChunkPixels = 64;

struct RemapChunk {
    std::uint32_t firstPixel;  // output index of the chunk's pixel 0
    std::uint32_t firstRun;    // index into the run arrays of the run holding pixel 0
    std::uint64_t written;     // bit j set: pixel j is gathered from its run
    // Bit j set: pixel j shows the sample of the pixel above it, so it is copied from the
    // row already written instead (never set with written).
    std::uint64_t copied;
};

// Pixels no chunk writes: within one row, or whole rows.
struct BlankSpan {
    std::uint32_t firstPixel;
    std::uint32_t pixels;
};

// A colour chunk's 192 bytes as three stores of 64: for each, the bytes gathered and the
// bytes copied from the row above, and the run of the first pixel it touches (pixel 0, 21
// or 42; counted from the chunk's firstRun), from which its 22 pixels' runs are reached.
// A chunk of at most kOneWindowRuns runs has all its run values within the 128 bytes one
// two-table permute reads, so its three stores share one window from its first run; of at
// most kOneTableRuns, within the 64 bytes of a one-table permute.
inline constexpr int kOneWindowRuns = 42;
inline constexpr int kOneTableRuns = 21;
struct ColorChunkStores {
    std::uint64_t gathered[3];
    std::uint64_t copied[3];
    std::uint8_t firstRun[3];
    std::uint8_t runs;  // counted to the last pixel's, gathered or not
};

inline constexpr std::uint8_t kRunNumberBits = 0x3F;
inline constexpr std::uint8_t kNotGatheredPixel = 0x80;  // showing no sample
inline constexpr std::uint8_t kCopiedPixel = 0xC0;       // copied from the row above

struct RemapChunkList {
    const RemapChunk* pChunks = nullptr;
    // Per chunk, 64 run numbers counted from its firstRun; they never decrease along a
    // chunk, and grow by at most one a pixel, so 16 pixels always fall within 16 runs. In
    // colour lists, the two top bits of a pixel without a run say how it is made.
    const std::uint8_t* pRunIndex = nullptr;
    int chunkCount = 0;
    const std::uint16_t* pRunSources = nullptr;  // frame index of each run's sample
    int runCount = 0;
    int size = 0;  // the picture's side
    // Chunks with no pixel to write, joined into spans.
    const BlankSpan* pBlankSpans = nullptr;
    int blankCount = 0;
    const ColorChunkStores* pStores = nullptr;  // per chunk, in colour lists only
};

// The chunks for a 256 x 256 or 512 x 512 picture (by pixel count), plain or with the fovea
// folded in; empty for any other size. Built on first use (thread-safe), read-only after.
// A pixel showing the sample of the one above it is copied from the row above, as in the
// colour list.
RemapChunkList RemapChunksFor(std::uint32_t pixelCount, bool foldFovea);
// The same picture for three-byte pixels, where a pixel showing the sample of the one above
// it is copied from the row above (two thirds of them at 512 x 512): only the others have
// runs to gather.
RemapChunkList RemapColorChunksFor(std::uint32_t pixelCount);

// Whether this processor runs the permutes (AVX-512 VBMI).
bool RemapByChunksAvailable();
// Whether it runs RemapGreyToBgrByChunks and RemapRgbByChunks: by the permutes, or by
// in-lane shuffles with AVX2.
bool RemapGreyToBgrByChunksAvailable();
bool RemapRgbByChunksAvailable();
// Where three-byte pixels go: the remapped image (rows top-down, blue first, pixels
// without a sample left as they were), a display buffer (rows bottom-up, picture row 0
// last, blue first) or a picture for files and scripts (top-down, red first); into either
// of the last two every byte is written, pixels without a sample black.
enum class RgbLayout { kTopDownBgr, kBottomUpBgrOnBlack, kTopDownRgbOnBlack };
// Grey and three bytes per pixel (from RemapColorChunksFor's list); nothing where the
// processor cannot run them.
void RemapGreyByChunks(const RemapChunkList& list, const std::uint8_t* pSource,
                       std::uint8_t* pDestination);
// The picture RemapGreyByChunks gives on the grey planes' background of kGreyBackground,
// each pixel three bytes of pLevels[grey] (256 levels), every byte written: rows bottom-up
// as the display shows it, or top-down as files and scripts take it; streamed past the
// caches for a picture nothing reads soon (a large batch). A tally given counts all its
// samples in the same pass, beside the gathers of the run values.
inline constexpr std::uint8_t kGreyBackground = 128;
enum class GreyLayout { kBottomUp, kTopDown, kTopDownStreamed };
void RemapGreyToBgrByChunks(const RemapChunkList& list, const std::uint8_t* pSource,
                            const std::uint8_t* pLevels, std::uint8_t* pBgr,
                            GreyLayout layout = GreyLayout::kBottomUp,
                            CSampleTally* pTally = nullptr);
void RemapRgbByChunks(const RemapChunkList& list, const std::uint8_t* pColorFrame,
                      std::uint8_t* pDestination, RgbLayout layout = RgbLayout::kTopDownBgr);
// The top-down, red-first picture on black made in pPicture (which the caches hold) and
// copied past the caches into pStreamTo, each line as soon as it is made: memory takes the
// lines while the rest is made. Pixels copied from the row above read it from pPicture.
// Only where RemapRgbStreamedPays, nothing written elsewhere: where that beats copying the
// whole picture once made, on Intel's processors with AVX-512 VBMI (on AMD's, copies
// interleaved with the colour remap measured slower).
void RemapRgbByChunksStreamed(const RemapChunkList& list, const std::uint8_t* pColorFrame,
                              std::uint8_t* pPicture, std::uint8_t* pStreamTo);
bool RemapRgbStreamedPays();
