#include "export/MatroskaRawStream.h"

namespace {

// Element ids, as the Matroska format numbers them.
constexpr std::uint32_t kEbml = 0x1A45DFA3;
constexpr std::uint32_t kEbmlVersion = 0x4286;
constexpr std::uint32_t kEbmlReadVersion = 0x42F7;
constexpr std::uint32_t kEbmlMaxIdLength = 0x42F2;
constexpr std::uint32_t kEbmlMaxSizeLength = 0x42F3;
constexpr std::uint32_t kDocType = 0x4282;
constexpr std::uint32_t kDocTypeVersion = 0x4287;
constexpr std::uint32_t kDocTypeReadVersion = 0x4285;
constexpr std::uint32_t kSegment = 0x18538067;
constexpr std::uint32_t kInfo = 0x1549A966;
constexpr std::uint32_t kTimestampScale = 0x2AD7B1;
constexpr std::uint32_t kMuxingApp = 0x4D80;
constexpr std::uint32_t kWritingApp = 0x5741;
constexpr std::uint32_t kTracks = 0x1654AE6B;
constexpr std::uint32_t kTrackEntry = 0xAE;
constexpr std::uint32_t kTrackNumber = 0xD7;
constexpr std::uint32_t kTrackUid = 0x73C5;
constexpr std::uint32_t kTrackType = 0x83;
constexpr std::uint32_t kCodecId = 0x86;
constexpr std::uint32_t kVideo = 0xE0;
constexpr std::uint32_t kPixelWidth = 0xB0;
constexpr std::uint32_t kPixelHeight = 0xBA;
constexpr std::uint32_t kColourSpace = 0x2EB524;
constexpr std::uint32_t kCluster = 0x1F43B675;
constexpr std::uint32_t kTimestamp = 0xE7;
constexpr std::uint32_t kSimpleBlock = 0xA3;

constexpr std::uint64_t kNanosecondsPerTick = 1000;  // timestamps count microseconds
constexpr int kSizeBytes = 8;                        // every size written in full width
constexpr std::uint8_t kUnknownSize[kSizeBytes] = {0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

void AppendId(std::string* out, std::uint32_t id) {
    bool started = false;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto byte = static_cast<char>((id >> shift) & 0xFF);
        started = started || byte != 0;
        if (started) {
            out->push_back(byte);
        }
    }
}

void AppendSize(std::string* out, std::uint64_t size) {
    out->push_back(0x01);  // an 8-byte size
    for (int shift = 48; shift >= 0; shift -= 8) {
        out->push_back(static_cast<char>((size >> shift) & 0xFF));
    }
}

std::string Element(std::uint32_t id, const std::string& data) {
    std::string out;
    AppendId(&out, id);
    AppendSize(&out, data.size());
    return out + data;
}

std::string Unsigned(std::uint32_t id, std::uint64_t value) {
    std::string data;
    for (int shift = 56; shift >= 0; shift -= 8) {
        data.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
    return Element(id, data);
}

}  // namespace

std::string CMatroskaRawStream::Header(int width, int height, bool grey) const {
    const std::string ebml =
        Element(kEbml, Unsigned(kEbmlVersion, 1) + Unsigned(kEbmlReadVersion, 1) +
                           Unsigned(kEbmlMaxIdLength, 4) + Unsigned(kEbmlMaxSizeLength, 8) +
                           Element(kDocType, "matroska") + Unsigned(kDocTypeVersion, 4) +
                           Unsigned(kDocTypeReadVersion, 2));
    const std::string info =
        Element(kInfo, Unsigned(kTimestampScale, kNanosecondsPerTick) +
                           Element(kMuxingApp, "pandry") + Element(kWritingApp, "pandry"));
    const std::string video = Element(
        kVideo, Unsigned(kPixelWidth, std::uint64_t(width)) +
                    Unsigned(kPixelHeight, std::uint64_t(height)) +
                    Element(kColourSpace, grey ? std::string("Y800") : std::string("RGB\x18", 4)));
    const std::string track =
        Element(kTracks, Element(kTrackEntry, Unsigned(kTrackNumber, 1) + Unsigned(kTrackUid, 1) +
                                                  Unsigned(kTrackType, 1) +
                                                  Element(kCodecId, "V_UNCOMPRESSED") + video));
    std::string segment;
    AppendId(&segment, kSegment);
    segment.append(reinterpret_cast<const char*>(kUnknownSize), kSizeBytes);
    return ebml + segment + info + track;
}

const std::vector<std::uint8_t>& CMatroskaRawStream::Frame(const Picture& picture,
                                                           std::int64_t timeUs) {
    const std::size_t pixels = std::size_t(picture.width) * std::size_t(picture.height);
    const std::size_t planeBytes = picture.grey ? pixels : pixels * 3;
    // Track 1, no offset from the cluster's time, a key frame.
    const std::string blockHead("\x81\x00\x00\x80", 4);
    std::string block;
    AppendId(&block, kSimpleBlock);
    AppendSize(&block, blockHead.size() + planeBytes);
    block += blockHead;
    const std::string time = Unsigned(kTimestamp, std::uint64_t(timeUs < 0 ? 0 : timeUs));
    std::string head;
    AppendId(&head, kCluster);
    AppendSize(&head, time.size() + block.size() + planeBytes);
    head += time + block;
    m_cluster.assign(head.begin(), head.end());
    if (picture.grey) {
        for (std::size_t i = 0; i < pixels; ++i) {
            m_cluster.push_back(picture.rgb[i * 3]);
        }
    } else {
        m_cluster.insert(m_cluster.end(), picture.rgb.begin(), picture.rgb.begin() + planeBytes);
    }
    return m_cluster;
}
