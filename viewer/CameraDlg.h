#pragma once

#include <QPointer>
#include <QTimer>
#include <memory>

#include "shell/ModelessMain.h"
#include "shell/SettingsDlg.h"
#include "viewer/FrameView.h"
#include "viewer/GazeDrag.h"
#include "viewer/GazeWindow.h"
#include "viewer/MeasureTools.h"
#include "viewer/PixelProbe.h"
#include "viewer/StatisticsWindow.h"
#include "viewer/TimeSeriesWindow.h"
#include "viewer/ViewerCore.h"
#include "viewer/WindowServices.h"

class QCommandLineParser;

// The program's main window: the dialog-based window with menu, toolbar and status bar,
// whose commands, layout and acquisition live in CViewerCore. This class wires the message
// map to the core and lends the core its window: geometry, dialogs, bars and the drawing
// surface.
class CCameraDlg : public CModelessMain, private CWindowServices {
  public:
    CCameraDlg();
    ~CCameraDlg() override;

    // --camera SOURCE and the initial values (--offset, --gain, --sensor, --zoom,
    // --histogram, --view, --auto-levels, --start); read by Create.
    static void AddCommandLineOptions(QCommandLineParser& parser);

    // Installs the camera source the command line (or PANDRY_CAMERA) names, builds the
    // viewer and creates the window from template 102. An unusable source is reported on
    // stderr and ends the program before any window opens.
    bool Create();
    // As Create, with whatever camera source is installed already.
    bool CreateWithCurrentSource();

    bool OnInitDialog() override;
    void OnDestroy() override;

    CViewerCore* Core() const { return m_pCore.get(); }
    CFrameView* View() const { return m_pView.data(); }
    CStatisticsWindow* Statistics() const { return m_pStatistics.data(); }
    CTimeSeriesWindow* TimeSeries() const { return m_pTimeSeries.data(); }
    // The tool window a Tools command shows and hides; null for any other command.
    CToolWindow* ToolWindowFor(unsigned id) const;
    CPixelInspector* Inspector() const { return m_pInspector.data(); }
    CMeasureTools* Measure() const { return m_pMeasure.get(); }
    const CSettingsDlg& Settings() const { return m_settings; }
    // The Save dialog's filter: the formats the format table offers to the viewer's Save.
    static std::string SaveFilter();
    // The values Create applies before the window opens (a test may set them itself).
    void SetStartup(const ViewerStartup& startup, bool bStart, std::string sourceName);

  private:
    template <unsigned ID>
    void OnViewerCommand();
    template <unsigned ID>
    void OnUpdateViewerCommand(CCmdUI* pCmdUI);
    template <unsigned... IDs>
    void MapViewerCommands();
    template <unsigned ID>
    void OnToolWindow();
    template <unsigned ID>
    void OnUpdateToolWindow(CCmdUI* pCmdUI);
    template <unsigned... IDs>
    void MapToolWindows();

    void PlaceWindow(int x, int y, int cx, int cy) override;
    void PlaceStatusBar(int x, int y, int cx, int cy) override;
    int StatusBarTextHeight() override;
    int ScreenWidth() override;
    int ScreenHeight() override;
    ViewerRect ClientRect() override;
    void InvalidateRect(const ViewerRect& rect) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;
    bool RunSettingsDialog(SettingsValues* pValues) override;
    bool RunSaveDialog(std::string* pPath) override;
    bool RunRecordDialog(std::string* pPath, RecordingPlan* pPlan) override;
    void LoadToolbarPicture(unsigned bitmapId) override;
    void SetStatusText(int pane, const std::string& text) override;
    void SetStatusTip(int pane, const std::string& tip) override;
    void WidenRecordingPane(bool wide) override;

    void ShowLevels(int offset, int gain) override;

    void FitViewToClient();
    void OnToolsShowClipping();
    void OnUpdateToolsShowClipping(CCmdUI* pCmdUI);
    void OnToolsRunningAverage();
    void OnUpdateToolsRunningAverage(CCmdUI* pCmdUI);
    void OnToolsCalibrateFlat();
    void OnUpdateToolsCalibrateFlat(CCmdUI* pCmdUI);

    CSettingsDlg m_settings;
    QPointer<CFrameView> m_pView;  // owned by the client area once the window exists
    std::unique_ptr<CViewerCore> m_pCore;
    QTimer m_rateTimer;
    QTimer m_pollTimer;
    QPointer<CPixelInspector> m_pInspector;
    std::unique_ptr<CMeasureTools> m_pMeasure;
    QPointer<CStatisticsWindow> m_pStatistics;
    QPointer<CTimeSeriesWindow> m_pTimeSeries;
    QPointer<CGazeWindow> m_pGazeWindow;
    ViewerStartup m_startup;
    bool m_bStartAtOnce = false;
    std::string m_strSourceName;
    int m_cxNormalMessagePane = 0;  // while the recording pane is widened; 0 otherwise
};
