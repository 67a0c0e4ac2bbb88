#!/usr/bin/python3
"""Per-frame CPU time of pandry.Processor.process, mono 512, beside an OpenCV-Python
composition of the same steps (dark subtraction and offset, gain table, fovea fill and remap
in one nearest-neighbour cv2.remap, display stretch, grey to RGB); medians of runs. Set it
beside bench_export's BM_ViewerFrame/recording:0/size:512. Needs python3-opencv.
Usage: PYTHONPATH=BUILD/python bench/python-vs-opencv.py"""
import statistics
import time

import cv2
import numpy as np

import pandry

FRAMES = 1000
RUNS = 5
SIZE = 512
OFFSET = 80
GAIN = 3


def opencv_steps():
    """The lookups and maps the OpenCV version needs, built once as a user would."""
    dark = np.zeros((pandry.SECTORS, pandry.RINGS), np.uint8)
    levels = np.arange(256, dtype=np.float64)
    gain_lut = np.clip(levels * (1 + GAIN / 10), 0, 255).astype(np.uint8)
    stretch_lut = np.clip(1.164 * (levels - 16), 0, 255).astype(np.uint8)
    table = pandry.remap_table()[::512 // SIZE, ::512 // SIZE].astype(np.int64)
    outside = table == pandry.NO_SOURCE
    table[outside] = 0
    sector, ring = table // pandry.RINGS, table % pandry.RINGS
    fovea = pandry.fovea_table()
    in_fovea = ring < fovea.shape[1]
    gathered = fovea[sector[in_fovea], ring[in_fovea]]
    sector[in_fovea] = np.where(gathered == pandry.NO_FOVEA_SECTOR, sector[in_fovea], gathered)
    map_x = np.where(outside, -1, ring).astype(np.float32)
    map_y = np.where(outside, -1, sector).astype(np.float32)

    def process(frame):
        corrected = cv2.add(cv2.subtract(frame, dark), OFFSET)
        corrected = cv2.LUT(corrected, gain_lut)
        picture = cv2.remap(corrected, map_x, map_y, cv2.INTER_NEAREST,
                            borderMode=cv2.BORDER_CONSTANT, borderValue=0)
        return cv2.cvtColor(cv2.LUT(picture, stretch_lut), cv2.COLOR_GRAY2RGB)

    return process


def per_frame_us(process, frame):
    runs = []
    for _ in range(RUNS):
        start = time.process_time()
        for _ in range(FRAMES):
            process(frame)
        runs.append((time.process_time() - start) / FRAMES * 1e6)
    return statistics.median(runs)


frame = ((np.arange(252 * 152) * 7 + 3) % 256).astype(np.uint8).reshape(252, 152)
cv2.setNumThreads(1)  # one core each, as Processor.process runs
ours = per_frame_us(pandry.Processor(sensor="mono", size=SIZE, calibration=None).process, frame)
theirs = per_frame_us(opencv_steps(), frame)
print(f"pandry Processor.process mono {SIZE}: {ours:.0f} us CPU per frame")
print(f"OpenCV-Python, same steps:        {theirs:.0f} us CPU per frame")
print(f"ratio: {theirs / ours:.1f}x (median of {RUNS} runs of {FRAMES} frames each)")
