#pragma once

class CViewerCore;

// The worker: pass after pass until m_bStop, then the timing report; on a failed read it
// leaves the window Idle and writes no report.
void AcquisitionThread(CViewerCore* pCore);
