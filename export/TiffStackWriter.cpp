#include "export/TiffStackWriter.h"

#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "export/ImageJMetadata.h"
#include "export/MetadataText.h"
#include "export/OmeXml.h"
#include "export/TiffPictureTags.h"
#include "sensor/LogPolarFrame.h"

namespace {

constexpr double kDefaultFrameInterval = 1.0 / 25;
// Room kept below 4 GB for the directories and descriptions of classic TIFF.
constexpr std::uint64_t kClassicTiffLimit = (std::uint64_t{1} << 32) - (std::uint64_t{64} << 20);
constexpr std::uint64_t kDirectoryBytesPerPage = 512;
constexpr std::size_t kFramesListedInInfo = 10000;

std::string PageName(const RecordedTiming& timing) {
    return "index=" + std::to_string(timing.index) + " time_us=" + std::to_string(timing.timeUs);
}

// "index=7 t=0.800000 s", the slice label ImageJ shows: the time since the recording's start.
std::string SliceLabel(const RecordedTiming& timing) {
    std::string label = "index=" + std::to_string(timing.index);
    if (timing.timeUs >= 0) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, " t=%.6f s", double(timing.timeUs) / 1e6);
        label += seconds;
    }
    return label + (timing.afterDrop ? " after_drop" : "") +
           (timing.afterFailedRead ? " after_failed_read" : "");
}

bool AllTimesKnown(const std::vector<RecordedTiming>& pages) {
    for (const RecordedTiming& page : pages) {
        if (page.timeUs < 0) {
            return false;
        }
    }
    return !pages.empty();
}

}  // namespace

double CTiffStackWriter::FrameIntervalSeconds(const std::vector<RecordedTiming>& pages) {
    if (pages.size() < 2 || !AllTimesKnown(pages) || pages.back().timeUs <= pages.front().timeUs) {
        return kDefaultFrameInterval;
    }
    return double(pages.back().timeUs - pages.front().timeUs) / 1e6 / double(pages.size() - 1);
}

bool CTiffStackWriter::NeedsBigTiff(std::uint64_t pageBytes, std::uint64_t count) {
    return count != 0 && (pageBytes + kDirectoryBytesPerPage) > kClassicTiffLimit / count;
}

CTiffStackWriter::CTiffStackWriter(const std::string& path, const StackDescription& description)
    : m_strPath(path), m_description(description) {}

FileResult CTiffStackWriter::Open(const std::string& path, const StackDescription& description,
                                  std::unique_ptr<CTiffStackWriter>* writer) {
    std::unique_ptr<CTiffStackWriter> stack(new CTiffStackWriter(path, description));
    if (FileResult opened = stack->m_file.Open(path); !opened) {
        return opened;
    }
    // libtiff closes the descriptor it is given; ours stays for the flush before the rename.
    const int fd = ::fcntl(stack->m_file.Descriptor(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        return FileResult::FromErrno("write", path, errno);
    }
    // Little-endian, as ImageJ's metadata tags are laid out.
    stack->m_pTiff = TIFFFdOpenExt(fd, path.c_str(), description.bigTiff ? "w8l" : "wl",
                                   stack->m_messages.Options());
    if (stack->m_pTiff == nullptr) {
        ::close(fd);
        return FileResult::Failure("cannot write " + path + ": " +
                                   stack->m_messages.Reason("libtiff refused it"));
    }
    *writer = std::move(stack);
    return {};
}

CTiffStackWriter::~CTiffStackWriter() {
    if (m_pTiff != nullptr) {
        TIFFClose(m_pTiff);
    }
}

std::string CTiffStackWriter::FirstPageDescription(std::string* error) const {
    const std::vector<RecordedTiming>& pages = m_description.pages;
    if (!m_description.ome) {
        char interval[32];
        std::snprintf(interval, sizeof interval, "%.6f", FrameIntervalSeconds(pages));
        // ImageJ reads its own keys only (the pandry_* lines are for tifffile and the like;
        // ImageJ shows the settings from its metadata tags). No "images=": with it ImageJ
        // reads only the first page's directory and takes the pictures to lie back to back,
        // which libtiff's directories between them break; without it, every page's
        // directory is read.
        std::string text = "ImageJ=1.11a\nframes=" + std::to_string(pages.size()) +
                           "\nfinterval=" + interval + "\nunit=pixel\nloop=false\n";
        for (const auto& [key, value] : m_description.settings) {
            text += "pandry_" + ImageJKey(key) + "=" + ImageJValue(value) + "\n";
        }
        for (const auto& [key, value] : m_description.history) {
            text += "pandry_" + ImageJKey(key) + "=" + ImageJValue(value) + "\n";
        }
        if (!m_description.startTime.empty()) {
            text += "pandry_start_time=" + ImageJValue(m_description.startTime) + "\n";
        }
        return text;
    }
    OmeSeries series;
    series.name = std::filesystem::path(m_strPath).filename().string();
    series.width = m_description.width;
    series.height = m_description.height;
    series.grey = m_description.grey;
    series.startTime = m_description.startTime;
    series.deltaTKnown = AllTimesKnown(pages);
    // Since the recording's start, as AcquisitionDate is: a part of a recording keeps its
    // frames' true times.
    for (const RecordedTiming& page : pages) {
        series.deltaT.push_back(series.deltaTKnown ? double(page.timeUs) / 1e6 : 0.0);
    }
    series.annotations = m_description.settings;
    series.annotations.insert(series.annotations.end(), m_description.history.begin(),
                              m_description.history.end());
    series.annotations.emplace_back("sensor_sectors", std::to_string(kSectors));
    series.annotations.emplace_back("sensor_rings", std::to_string(kRings));
    series.annotations.emplace_back("sensor_fovea_rings", std::to_string(kFoveaRings));
    if (!pages.empty()) {
        series.annotations.emplace_back("first_index", std::to_string(pages.front().index));
    }
    return OmeXmlFor(series, error);
}

ImageJExtras CTiffStackWriter::ImageJExtrasOf() const {
    ImageJExtras extras;
    extras.properties = m_description.settings;
    extras.properties.insert(extras.properties.end(), m_description.history.begin(),
                             m_description.history.end());
    extras.info = "Pandry recording export\n";
    for (auto& [key, value] : extras.properties) {
        value = OneLine(value);
        extras.info += key + " = " + value + "\n";
    }
    // ImageJ gives the slices of a stack it reads page by page no labels, so Show Info lists
    // the times too, up to a length it shows at ease; the labels serve other readers.
    const std::size_t listed = std::min(m_description.pages.size(), kFramesListedInInfo);
    extras.info += "frame times since the recording's start:\n";
    for (std::size_t page = 0; page < listed; ++page) {
        extras.info += SliceLabel(m_description.pages[page]) + "\n";
    }
    if (listed < m_description.pages.size()) {
        extras.info += "... " + std::to_string(m_description.pages.size() - listed) +
                       " more: each page's PageName holds its time\n";
    }
    for (const RecordedTiming& page : m_description.pages) {
        extras.labels.push_back(SliceLabel(page));
    }
    return extras;
}

FileResult CTiffStackWriter::Add(const Picture& picture) {
    if (m_nPage >= m_description.pages.size() || picture.width != m_description.width ||
        picture.height != m_description.height || picture.grey != m_description.grey) {
        return FileResult::Failure("cannot add page " + std::to_string(m_nPage) + " to " +
                                   m_strPath + ": not the stack's size or kind");
    }
    TIFF* tiff = m_pTiff;
    const int channels = picture.grey ? 1 : 3;
    SetPictureTags(tiff, picture);
    TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(tiff, TIFFTAG_PAGENUMBER, std::uint16_t(m_nPage),
                 std::uint16_t(m_description.pages.size()));
    TIFFSetField(tiff, TIFFTAG_PAGENAME, PageName(m_description.pages[m_nPage]).c_str());
    if (m_nPage == 0) {
        std::string problem;
        const std::string text = FirstPageDescription(&problem);
        if (text.empty()) {
            return FileResult::Failure(problem);
        }
        TIFFSetField(tiff, TIFFTAG_IMAGEDESCRIPTION, text.c_str());
        if (!SetImageJExtras(tiff, ImageJExtrasOf())) {
            return FileResult::Failure("cannot write " + m_strPath + ": " +
                                       m_messages.Reason("libtiff refused ImageJ's tags"));
        }
    }
    const std::vector<std::uint8_t> grey =
        picture.grey ? picture.GreyPlane() : std::vector<std::uint8_t>{};
    const std::uint8_t* pPixels = picture.grey ? grey.data() : picture.rgb.data();
    const tmsize_t size = tmsize_t(picture.width) * picture.height * channels;
    if (TIFFWriteEncodedStrip(tiff, 0, const_cast<std::uint8_t*>(pPixels), size) != size ||
        !TIFFWriteDirectory(tiff)) {
        return FileResult::Failure("cannot write page " + std::to_string(m_nPage) + " of " +
                                   m_strPath + ": " + m_messages.Reason(std::strerror(errno)));
    }
    ++m_nPage;
    return {};
}

FileResult CTiffStackWriter::Finish() {
    if (m_nPage != m_description.pages.size()) {
        return FileResult::Failure(m_strPath + " holds " + std::to_string(m_nPage) + " of " +
                                   std::to_string(m_description.pages.size()) + " pages");
    }
    const bool flushed = TIFFFlush(m_pTiff) == 1;
    TIFFClose(m_pTiff);
    m_pTiff = nullptr;
    if (!flushed) {
        return FileResult::Failure("cannot write " + m_strPath + ": " +
                                   m_messages.Reason(std::strerror(EIO)));
    }
    return m_file.Commit();
}
