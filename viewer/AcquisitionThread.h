#pragma once

class CAcquisitionHost;

// The worker: pass after pass until the host asks it to stop, then the timing report; on a
// failed read it leaves the window Idle and writes no report.
void AcquisitionThread(CAcquisitionHost* pHost);
