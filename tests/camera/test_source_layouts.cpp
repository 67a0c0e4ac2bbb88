// The layouts media pictures are sampled in as they come (packed RGB in each byte order, planar,
// semi-planar and packed YUV, grey), against the same pictures converted whole to BGR first,
// which is how every video was sampled before.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "TempDirectory.h"
#include "camera/GazeScene.h"
#include "camera/GstPipeline.h"
#include "camera/GstSource.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const Gaze kGazes[] = {Gaze{}, Gaze{0.3, 0.6, 4.0}, Gaze{0.7, 0.4, 0.3}};

// What the sensor's scene holds for one picture at one gaze.
struct Sampled {
    Bytes mono;
    Bytes color;
    Bytes copy;  // the Gaze window's copy of the picture
};

Sampled Sample(const SourcePicture& picture, const Gaze& gaze) {
    Sampled sampled;
    for (const bool color : {false, true}) {
        auto shared = std::make_shared<CSourceGaze>(gaze);
        shared->AskForPicture(true);
        CGazeScene scene(shared, {.color = color});
        scene.SetPicture(picture);
        const SceneCanvas canvas = scene.Render(0);
        Bytes& planes = color ? sampled.color : sampled.mono;
        for (int plane = 0; plane < (color ? 3 : 1); ++plane) {
            planes.insert(planes.end(), canvas.plane[plane], canvas.plane[plane] + kCanvasPixels);
        }
        sampled.copy = shared->LatestPicture()->bgr;
    }
    return sampled;
}

bool IsWholeBgr(const SourcePicture& picture) {
    const auto& channel = picture.channel;
    return picture.encoding == SourcePicture::Encoding::kBgr && picture.PixelStep() == 3 &&
           channel[1].origin == channel[0].origin + 1 && channel[2].origin == channel[0].origin + 2;
}

// The first picture of a pipeline sampled at every gaze; *asCame (when asked) tells whether it
// arrived in a layout of its own rather than converted to BGR.
std::vector<Sampled> SampleFirst(const CGstPipeline::Settings& settings, bool* asCame = nullptr) {
    std::string error;
    const ReadLimit limit = ReadLimit::Within(std::chrono::seconds(30));
    std::unique_ptr<CGstPipeline> pipeline = CGstPipeline::Start(settings, limit, &error);
    SourcePicture picture;
    if (!pipeline || pipeline->Pull(limit, &picture, &error) != CGstPipeline::Pulled::kFrame) {
        ADD_FAILURE() << settings.description << ": " << error;
        return {};
    }
    if (asCame != nullptr) {
        *asCame = !IsWholeBgr(picture);
    }
    std::vector<Sampled> sampled;
    for (const Gaze& gaze : kGazes) {
        sampled.push_back(Sample(picture, gaze));
    }
    return sampled;
}

// A picture sampled as it came against the same converted whole to BGR first.
void ExpectSameBytes(const CGstPipeline::Settings& asItComes,
                     const CGstPipeline::Settings& convertedWhole) {
    bool asCame = false;
    const std::vector<Sampled> direct = SampleFirst(asItComes, &asCame);
    const std::vector<Sampled> whole = SampleFirst(convertedWhole);
    ASSERT_EQ(direct.size(), std::size(kGazes));
    ASSERT_EQ(whole.size(), std::size(kGazes));
    EXPECT_TRUE(asCame) << "converted to BGR before sampling";
    for (std::size_t g = 0; g < direct.size(); ++g) {
        EXPECT_EQ(direct[g].mono, whole[g].mono) << "gaze " << g;
        EXPECT_EQ(direct[g].color, whole[g].color) << "gaze " << g;
        EXPECT_EQ(direct[g].copy, whole[g].copy) << "gaze " << g;
    }
}

constexpr const char* kToBgr = " ! videoconvert ! video/x-raw,format=BGR";

struct RawLayout {
    const char* format;       // as rawvideoparse names it
    const char* colorimetry;  // empty: the format's default
    const char* chromaSite;   // empty: centred (without a colorimetry GStreamer uses its own)
};

class LayoutSampledAsCome : public ::testing::TestWithParam<RawLayout> {};

// Catches a byte order, plane, stride or chroma position read wrongly, a matrix, range or
// chroma siting not the stream's, or arithmetic that rounds, saturates or spreads chroma other
// than the whole-frame conversion: seeded noise covers every luma and chroma combination,
// out-of-gamut ones included, and an odd size gives padded rows and a last chroma sample
// shared by one pixel.
TEST_P(LayoutSampledAsCome, GivesTheBytesOfThePictureConvertedWhole) {
    CTempDirectory dir;
    const std::string noise = dir.File("noise.raw");
    std::mt19937 random(29);
    std::ofstream(noise, std::ios::binary) << [&] {
        std::string bytes(641 * 481 * 4 + 4096, '\0');
        for (char& byte : bytes) {
            byte = char(random() >> 24);
        }
        return bytes;
    }();
    const RawLayout layout = GetParam();
    std::string source = "filesrc location=" + noise + " ! rawvideoparse format=" + layout.format +
                         " width=641 height=481";
    if (*layout.colorimetry != '\0') {
        source += std::string(" colorimetry=") + layout.colorimetry;
    }
    if (*layout.chromaSite != '\0') {
        source +=
            std::string(" ! capssetter caps=\"video/x-raw,chroma-site=") + layout.chromaSite + "\"";
    }
    ExpectSameBytes(UserPipeline(source, false), UserPipeline(source + kToBgr, false));
}

INSTANTIATE_TEST_SUITE_P(
    YuvGreyAndEveryByteOrder, LayoutSampledAsCome,
    ::testing::Values(RawLayout{"i420", "bt601", ""}, RawLayout{"i420", "bt709", ""},
                      RawLayout{"i420", "1:4:0:0", ""},  // full range
                      RawLayout{"yv12", "bt709", ""}, RawLayout{"y444", "bt2020", ""},
                      RawLayout{"y444", "1:3:0:0", ""}, RawLayout{"nv12", "", ""},
                      RawLayout{"nv12", "bt709", "mpeg2"}, RawLayout{"nv12", "bt601", "cosited"},
                      RawLayout{"nv21", "bt709", ""}, RawLayout{"y42b", "bt601", "mpeg2"},
                      RawLayout{"yuy2", "", ""}, RawLayout{"yuy2", "bt709", "mpeg2"},
                      RawLayout{"uyvy", "bt709", ""}, RawLayout{"yvyu", "bt601", "mpeg2"},
                      RawLayout{"gray8", "", ""}, RawLayout{"rgb", "", ""},
                      RawLayout{"bgrx", "", ""}, RawLayout{"rgbx", "", ""},
                      RawLayout{"xrgb", "", ""}, RawLayout{"xbgr", "", ""},
                      RawLayout{"bgra", "", ""}, RawLayout{"rgba", "", ""},
                      RawLayout{"argb", "", ""}, RawLayout{"abgr", "", ""}));

// Catches a decoder's pictures converted whole again: a video file is sampled from the planes
// its decoder gives (I420 for H.264, its chroma sited as MPEG-2's), to the same bytes.
TEST(VideoSampledAsCome, AnH264FileGivesTheBytesOfItsFramesConvertedWhole) {
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    CTempDirectory dir;
    const std::string clip = dir.File("clip.mkv");
    ASSERT_EQ(std::system(("ffmpeg -loglevel error -f lavfi -i testsrc2=size=1280x720:rate=30 "
                           "-frames:v 1 -c:v libx264 -preset ultrafast -pix_fmt yuv420p " +
                           clip)
                              .c_str()),
              0);
    ExpectSameBytes(VideoFilePipeline(clip, false),
                    UserPipeline("filesrc location=" + clip + " ! decodebin" + kToBgr, false));
}

}  // namespace

namespace {

std::uint64_t Fnv1a(const std::uint8_t* bytes, std::size_t count, std::uint64_t hash) {
    for (std::size_t i = 0; i < count; ++i) {
        hash = (hash ^ bytes[i]) * 1099511628211ull;
    }
    return hash;
}

// Catches the BGR sampling (picture files, and videos converted before) changing a byte now
// that it reads other layouts too: the hashes are those of the sampler before that, on a
// seeded picture with padded rows, at gazes with one to several pixels under a canvas pixel,
// with and without drift.
TEST(BgrSampledAsBefore, SeededPictureGivesThePreviousCanvases) {
    const int width = 1283;
    const int height = 721;
    const std::size_t stride = std::size_t(width) * 3 + 5;
    Bytes bgr(stride * height);
    std::mt19937 random(7);
    for (std::uint8_t& byte : bgr) {
        byte = std::uint8_t(random() >> 24);
    }
    const Gaze gazes[] = {Gaze{}, Gaze{0.4, 0.6, 1.0}, Gaze{0.3, 0.7, 4.0}, Gaze{0.6, 0.4, 0.2}};
    // By drift, colour, then gaze.
    const std::uint64_t previous[] = {
        0x15c18b9a104b5c62, 0x3b2077e1419a6afa, 0x8068cebaa2d375ea, 0x48e8f13ac6c3b671,
        0xc26c2404c64f38d3, 0x84f983cfada30e71, 0x2a067fe6ea6b841c, 0x70cd511f5781c807,
        0x10f06ff7d7384c4c, 0xa46ca3dd1f76f0bb, 0x44ffb93a11348bb8, 0xd9d4245e99fd8f33,
        0xaa8fac282e909d5e, 0xb56a78e86518d590, 0xe34cfbb5181acabf, 0x4221ec2139b46c00};
    std::size_t k = 0;
    for (const bool drift : {false, true}) {
        for (const bool color : {false, true}) {
            for (const Gaze& gaze : gazes) {
                CGazeScene scene(std::make_shared<CSourceGaze>(gaze),
                                 {.color = color, .drift = drift});
                scene.SetPicture(SourcePicture::Bgr(bgr.data(), width, height, stride));
                const SceneCanvas canvas = scene.Render(17);
                std::uint64_t hash = 1469598103934665603ull;
                for (const std::uint8_t* plane : canvas.plane) {
                    hash = Fnv1a(plane, kCanvasPixels, hash);
                }
                EXPECT_EQ(hash, previous[k++])
                    << "drift " << drift << " colour " << color << " field " << gaze.field;
            }
        }
    }
}

}  // namespace
