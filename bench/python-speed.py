#!/usr/bin/python3
"""Per-frame CPU time of pandry.Processor.process (median of runs), to set beside
bench_export's BM_ViewerFrame and BM_RenderFrame. Usage: PYTHONPATH=BUILD/python
bench/python-speed.py"""
import statistics
import time

import numpy as np

import pandry

FRAMES = 2000
frame = ((np.arange(252 * 152) * 7 + 3) % 256).astype(np.uint8)
for sensor in ("mono", "color"):
    processor = pandry.Processor(sensor=sensor, size=256, calibration=None)
    runs = []
    for _ in range(5):
        start = time.process_time()
        for _ in range(FRAMES):
            processor.process(frame)
        runs.append((time.process_time() - start) / FRAMES * 1e6)
    print(f"Processor.process {sensor} 256: {statistics.median(runs):.0f} us CPU per frame "
          f"(median of {len(runs)} runs of {FRAMES})")
