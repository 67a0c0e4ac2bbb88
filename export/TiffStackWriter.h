#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "export/Picture.h"
#include "export/RecordedTiming.h"
#include "export/RecordingHistory.h"
#include "export/TiffMessages.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/FileResult.h"

// What a single-file stack says besides its pictures.
struct StackDescription {
    bool ome = false;  // OME-TIFF; otherwise ImageJ's own TIFF (a time series)
    int width = 0;
    int height = 0;
    bool grey = true;
    bool bigTiff = false;               // 64-bit offsets: see NeedsBigTiff
    NamedValues settings;               // names and values
    NamedValues history;                // RunHistory
    std::string startTime;              // ISO 8601; empty: unknown
    std::vector<RecordedTiming> pages;  // one per page, in order: the page count
};

// Writes a recording's pictures as one multi-page TIFF: every page carries its recorded index
// and time (PageName "index=N time_us=T"), the first the ImageJ or OME-XML description and
// ImageJ's own metadata tags (the settings and history as Info and properties, each page's
// time since the recording's start as its slice label), which ImageJ reads in both.
// The file is written aside (CAtomicFile: the output-name rules, mode and link kept) and
// renamed into place by Finish; anything else leaves nothing. libtiff's messages come back
// in the result, never on stderr.
class CTiffStackWriter {
  public:
    // *writer is the new writer, or null when the file cannot be created.
    static FileResult Open(const std::string& path, const StackDescription& description,
                           std::unique_ptr<CTiffStackWriter>* writer);
    ~CTiffStackWriter();

    // The next page.
    FileResult Add(const Picture& picture);
    // Closes, flushes and renames the file into place.
    FileResult Finish();

    // The frame interval: the mean step of the known times, else 1/25 s.
    static double FrameIntervalSeconds(const std::vector<RecordedTiming>& pages);
    // Whether pages of pageBytes each, count of them, need BigTIFF's 64-bit offsets.
    static bool NeedsBigTiff(std::uint64_t pageBytes, std::uint64_t count);

  private:
    CTiffStackWriter(const std::string& path, const StackDescription& description);
    std::string FirstPageDescription(std::string* error) const;
    struct ImageJExtras ImageJExtrasOf() const;

    std::string m_strPath;
    StackDescription m_description;
    CAtomicFile m_file;
    CTiffMessages m_messages;  // before m_pTiff, whose handlers point here
    TIFF* m_pTiff = nullptr;
    std::size_t m_nPage = 0;
};
