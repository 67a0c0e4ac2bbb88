#pragma once

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "processing/FrameProcessor.h"
#include "viewer/FrameSurface.h"
#include "viewer/ViewerCore.h"
#include "viewer/WindowServices.h"

// A processor whose every step is recorded; Acquire can be scripted per call (1-based).
class CFakeProcessor : public CFrameProcessor {
  public:
    explicit CFakeProcessor(bool bColor) : m_bColor(bColor) {}

    void RawToRgb(std::uint8_t* pRgb) override {
        Log("RawToRgb");
        std::memset(pRgb, m_nAcquired & 0xFF, kColorFrameBytes);
    }
    void RemappedToRgb(std::uint8_t* pRgb) override {
        Log("RemappedToRgb");
        std::memset(pRgb, m_nAcquired & 0xFF, std::size_t(Width()) * Height() * 3);
    }
    void Histogram(HistogramCounts& counts) override {
        Log("Histogram");
        counts[0][7] += 500;
    }
    int Acquire() override {
        const int call = ++m_nAcquired;
        Log("Acquire");
        return acquireHook ? acquireHook(call, *this) : 1;
    }
    void Configure(int median, int offset, int, int, int gain, int width, int height) override {
        Log("Configure");
        m_nMedian = median;
        StoreSettings(offset, gain);
        if (NeedsAllocation(width, height)) {
            MarkConfigured(AllocateBaseBuffers(width, height));
            LoadCalibration();
        }
        PublishGainTable();
    }
    void Remap() override { Log("Remap"); }
    FileResult WriteBitmap(int columns, int rows, const char* path) override {
        Log("SaveBitmap " + std::to_string(columns) + "x" + std::to_string(rows) + " " + path);
        return saveResult ? FileResult() : NothingToSave(path);
    }

    std::vector<std::string> Calls() const {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    int AcquireCount() const { return m_nAcquired; }
    bool IsColor() const { return m_bColor; }

    std::function<int(int call, CFakeProcessor& self)> acquireHook;  // set before Start
    int saveResult = 1;

  private:
    void Log(const std::string& call) {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(call);
    }

    bool m_bColor;
    std::atomic<int> m_nAcquired{0};
    mutable std::mutex m_mutex;  // guards m_calls
    std::vector<std::string> m_calls;
};

// Keeps what it was last asked to show; hooks let a test hold the worker at a step.
class CRecordingSurface : public CFrameSurface {
  public:
    void LoadBackground(int width, int height, int top) override {
        std::lock_guard lock(m_mutex);
        background = {0, top, width, top + height};
        ++backgroundLoads;
    }
    bool WantsFrame() const override { return bWantsFrames.load(); }
    void DrawFrame(const std::uint8_t* pPixels, const BitmapHeader& header,
                   const ViewerRect& destination) override {
        std::lock_guard lock(m_mutex);
        frame.assign(pPixels, pPixels + header.biSizeImage);
        frameHeader = header;
        frameRect = destination;
        bFrameShown = true;
        ++framesDrawn;
    }
    void EndFrames() override {
        std::lock_guard lock(m_mutex);
        bFrameShown = false;
    }
    std::uint64_t HistogramGeneration() const override {
        std::lock_guard lock(m_mutex);
        return histogramGeneration;
    }
    void DrawHistogram(const std::uint8_t* pPixels, int x, int y,
                       std::uint64_t generation) override {
        if (drawHistogramHook) {
            drawHistogramHook();
        }
        std::lock_guard lock(m_mutex);
        if (generation != histogramGeneration) {
            ++histogramsDropped;
            return;
        }
        histogram.assign(pPixels, pPixels + 76800);
        histogramAt = {x, y, x + 256, y + 100};
        ++histogramsDrawn;
    }
    void EndHistogram() override {
        std::lock_guard lock(m_mutex);
        histogram.clear();
        ++histogramGeneration;
    }

    template <typename F>
    auto Read(F f) const {
        std::lock_guard lock(m_mutex);
        return f(*this);
    }

    std::function<void()> drawHistogramHook;  // runs on the worker; set before Start
    std::atomic<bool> bWantsFrames{true};     // false: a screen that shows none for now
    ViewerRect background;
    int backgroundLoads = 0;
    BitmapHeader frameHeader;
    std::vector<std::uint8_t> frame;
    ViewerRect frameRect;
    bool bFrameShown = false;
    int framesDrawn = 0;
    std::vector<std::uint8_t> histogram;
    ViewerRect histogramAt;
    int histogramsDrawn = 0;
    int histogramsDropped = 0;
    std::uint64_t histogramGeneration = 0;

  private:
    mutable std::mutex m_mutex;  // guards every field above
};

// The window services, scripted: dialog answers are set by the test, requests are recorded.
class CFakeWindow : public CWindowServices {
  public:
    void PlaceWindow(int x, int y, int cx, int cy) override { window = {x, y, x + cx, y + cy}; }
    void PlaceStatusBar(int x, int y, int cx, int cy) override {
        statusBar = {x, y, x + cx, y + cy};
    }
    int StatusBarTextHeight() override { return statusBarTextHeight; }
    int ScreenWidth() override { return 1280; }
    int ScreenHeight() override { return 1024; }
    ViewerRect ClientRect() override { return {0, 0, window.Width() - 8, window.Height() - 44}; }
    void InvalidateRect(const ViewerRect& rect) override { invalidated.push_back(rect); }
    void ShowMessage(const std::string& text, const std::string& caption) override {
        messages.push_back(caption + ": " + text);
    }
    bool RunSettingsDialog(SettingsValues* pValues) override {
        *pValues = settings;
        return bSettingsConfirmed;
    }
    bool RunSaveDialog(std::string* pPath) override {
        ++saveDialogs;
        *pPath = savePath;
        return bSaveConfirmed;
    }
    bool RunRecordDialog(std::string* pPath, RecordingPlan* pPlan) override {
        *pPath = recordPath;
        *pPlan = recordPlan;
        return !recordPath.empty();
    }
    void LoadToolbarPicture(unsigned bitmapId) override { toolbarPicture = bitmapId; }
    void SetStatusText(int pane, const std::string& text) override {
        if (pane == 1) {
            statusPane1 = text;
        } else {
            statusPane0 = text;
        }
    }
    void ShowLevels(int offset, int gain) override { levelsShown = {offset, gain}; }

    int statusBarTextHeight = 19;
    ViewerRect window;
    ViewerRect statusBar;
    std::vector<ViewerRect> invalidated;
    std::vector<std::string> messages;
    SettingsValues settings;
    bool bSettingsConfirmed = true;
    std::string savePath = "/tmp/picture.bmp";
    bool bSaveConfirmed = true;
    int saveDialogs = 0;
    std::string recordPath;  // empty: the record dialog is cancelled
    RecordingPlan recordPlan;
    unsigned toolbarPicture = 0;
    std::string statusPane1;
    std::string statusPane0;
    std::pair<int, int> levelsShown{80, 3};
};

// A core wired to fakes; the processors it makes are kept so tests can inspect them.
struct FakeViewer {
    explicit FakeViewer(std::string directory = "")
        : core(surface, window, MakeFactory(), nullptr) {
        if (!directory.empty()) {
            core.SetTimingPath(directory + "/time.inf");
        }
        core.OnInitDialog();
    }

    CFakeProcessor& Processor() { return *processors.back(); }

    ProcessorFactory MakeFactory() {
        return [this](bool bColor) {
            auto p = std::make_unique<CFakeProcessor>(bColor);
            if (nextAcquireHook) {
                p->acquireHook = nextAcquireHook;
            }
            processors.push_back(p.get());
            return p;
        };
    }

    CRecordingSurface surface;
    CFakeWindow window;
    std::function<int(int, CFakeProcessor&)> nextAcquireHook;
    std::vector<CFakeProcessor*> processors;  // borrowed; only the last is alive
    CViewerCore core;
};
