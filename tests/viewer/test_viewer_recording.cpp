#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ViewerFakes.h"
#include "ViewerTestSupport.h"
#include "resources/Resource.h"
#include "sidecar/RecordingMetadata.h"
#include "viewer/CommandTable.h"
#include "viewer/ToolsCommands.h"

namespace {

class ViewerRecordingTest : public ::testing::Test {
  protected:
    std::string Recording() const { return folder.Path() + "/run.raw"; }
    RecordingMetadata Sidecar() const {
        RecordingMetadata metadata;
        const FileResult sidecar = ReadSidecarOf(Recording(), &metadata);
        EXPECT_TRUE(sidecar) << sidecar.Error();
        return metadata;
    }
    bool Run(unsigned id) { return ExecuteViewerCommand(v.core, id); }

    TempFolder folder;
    FakeViewer v{folder.Path()};
};

// Catches Record pressed twice not giving a closed recording whose sidecar counts exactly
// the frames in the file, or a pane that does not show the recording.
TEST_F(ViewerRecordingTest, RecordTwiceRecordsTheFramesBetween) {
    v.window.recordPath = Recording();
    v.core.OnStart();
    ASSERT_TRUE(Run(ID_TOOLS_RECORD));
    EXPECT_TRUE(v.core.IsRecording());
    EXPECT_TRUE(FindViewerCommand(ID_TOOLS_RECORD)->IsChecked(v.core));
    ASSERT_TRUE(WaitUntil([&] { return v.core.Recorder().FramesWritten() >= 5; }));
    v.core.RefreshFrameRate();
    // Short enough for the 256 window: "● REC 123", and " · N dropped" only after drops.
    EXPECT_EQ(v.window.statusPane1.rfind("\u25CF REC ", 0), 0u) << v.window.statusPane1;
    EXPECT_EQ(v.window.statusPane1.find("MB"), std::string::npos) << v.window.statusPane1;
    ASSERT_TRUE(Run(ID_TOOLS_RECORD));
    EXPECT_FALSE(v.core.IsRecording());
    v.core.OnStart();
    const RecordingMetadata metadata = Sidecar();
    EXPECT_GE(metadata.frames.size(), 5u);
    EXPECT_EQ(std::filesystem::file_size(Recording()), metadata.frames.size() * kFrameBytes);
    EXPECT_EQ(metadata.offset, 80);
    EXPECT_EQ(metadata.sensor, "mono");
    EXPECT_TRUE(v.window.messages.empty());
}

// Catches the Record dialog's plan not reaching the recording: frames stored as read, or a
// sidecar that does not say they are averages.
TEST_F(ViewerRecordingTest, DialogsPlanAveragesTheFramesRecorded) {
    v.window.recordPath = Recording();
    v.window.recordPlan.average = 3;
    v.core.OnStart();
    ASSERT_TRUE(Run(ID_TOOLS_RECORD));
    ASSERT_TRUE(WaitUntil([&] { return v.core.Recorder().FramesWritten() >= 2; }));
    ASSERT_TRUE(Run(ID_TOOLS_RECORD));
    v.core.OnStart();
    const RecordingMetadata metadata = Sidecar();
    EXPECT_EQ(metadata.averagedFrames, 3u);
    EXPECT_EQ(metadata.everySeconds, 0);
    EXPECT_GE(metadata.frames.size(), 2u);
}

// Catches a recording that outlives acquisition: pausing ends it at the next refresh.
TEST_F(ViewerRecordingTest, StoppingAcquisitionEndsTheRecording) {
    v.window.recordPath = Recording();
    v.core.OnStart();
    ASSERT_TRUE(Run(ID_TOOLS_RECORD));
    ASSERT_TRUE(WaitUntil([&] { return v.core.Recorder().FramesWritten() >= 1; }));
    v.core.OnStart();
    v.core.RefreshFrameRate();
    EXPECT_FALSE(v.core.IsRecording());
    const RecordingMetadata metadata = Sidecar();
    EXPECT_EQ(metadata.frames.size() * kFrameBytes, std::filesystem::file_size(Recording()));
    // What was recorded stays in the pane past later refreshes, until the next Start.
    const std::string summary = "Recorded " + std::to_string(metadata.frames.size()) +
                                " frames to run.raw (" + std::to_string(metadata.droppedFrames) +
                                " dropped)";
    EXPECT_EQ(v.window.statusPane1, summary);
    v.core.RefreshFrameRate();
    EXPECT_EQ(v.window.statusPane1, summary);
    EXPECT_EQ(metadata.end, "complete");
    v.core.OnStart();
    EXPECT_EQ(v.window.statusPane1, "");
    v.core.OnStart();
}

// Catches a recording ended by a lost camera not saying why in its sidecar.
TEST_F(ViewerRecordingTest, LostCameraEndsTheRecordingWithTheReason) {
    std::atomic<bool> lost{false};
    v.Processor().acquireHook = [&lost](int, CFakeProcessor&) { return lost.load() ? 0 : 1; };
    v.window.recordPath = Recording();
    v.core.OnStart();
    ASSERT_TRUE(Run(ID_TOOLS_RECORD));
    ASSERT_TRUE(WaitUntil([&] { return v.core.Recorder().FramesWritten() >= 2; }));
    lost = true;
    ASSERT_TRUE(WaitUntil([&] { return v.core.IsRunning() == 0; }));
    v.core.RefreshFrameRate();
    EXPECT_FALSE(v.core.IsRecording());
    const std::string end = Sidecar().end;
    EXPECT_EQ(end.rfind("camera failed after ", 0), 0u) << end;
    EXPECT_NE(end.find(" frames: no whole frame came"), std::string::npos) << end;
}

// Catches a replay that opens at the default size and view instead of the recorded ones.
TEST_F(ViewerRecordingTest, RecordedSizeAndViewAreRestored) {
    RecordingMetadata metadata;
    metadata.width = metadata.height = 512;
    metadata.view = "unmapped";
    v.core.UseRecordedSettings(metadata);
    EXPECT_EQ(v.core.Width(), 512);
    EXPECT_EQ(v.core.IsZoomed(), 1);
    EXPECT_EQ(v.core.IsRemap(), 0);
}

// Catches Record starting while idle (nothing would arrive), a cancelled dialog starting a
// recording, or an uncreatable file failing silently.
TEST_F(ViewerRecordingTest, RecordNeedsFramesAFileAndAWritablePlace) {
    EXPECT_FALSE(Run(ID_TOOLS_RECORD));
    v.core.OnStart();
    EXPECT_TRUE(Run(ID_TOOLS_RECORD));  // cancelled
    EXPECT_FALSE(v.core.IsRecording());
    v.window.recordPath = folder.Path() + "/no/such/dir/run.raw";
    EXPECT_TRUE(Run(ID_TOOLS_RECORD));
    EXPECT_FALSE(v.core.IsRecording());
    ASSERT_EQ(v.window.messages.size(), 1u);
    EXPECT_NE(v.window.messages[0].find("no/such/dir/run.raw"), std::string::npos);
    v.core.OnStart();
}

}  // namespace

namespace {

// Catches the PNG filter's choice being saved as BMP bytes (or through the BMP writer): a
// ".png" name gets a PNG file of the picture's size, and BMP names still go to SaveBitmap.
TEST(ViewerSaveTest, PngNameSavesAPngOfThePicture) {
    TempFolder folder;
    FakeViewer v{folder.Path()};
    v.core.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return v.core.FramesDone() > 0; }));
    v.core.OnGrab();
    v.window.savePath = folder.File("picture.png");
    v.core.OnSave();
    std::ifstream in(v.window.savePath, std::ios::binary);
    std::vector<unsigned char> bytes(std::istreambuf_iterator<char>(in), {});
    ASSERT_GE(bytes.size(), 24u);
    EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 4), "PNG");
    EXPECT_EQ(bytes[16 + 2], 1);  // width 256, big-endian
    EXPECT_EQ(bytes[20 + 2], 1);  // height 256
    for (const std::string& call : v.Processor().Calls()) {
        EXPECT_EQ(call.find("SaveBitmap"), std::string::npos);
    }
    EXPECT_TRUE(v.window.messages.empty());
    EXPECT_EQ(v.core.IsGrabbed(), 0);
}

}  // namespace
