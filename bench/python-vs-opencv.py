#!/usr/bin/python3
"""Per-frame CPU time of pandry.Processor.process at 512, beside an OpenCV-Python composition
of comparable steps; medians of runs. Black-and-white: dark subtraction and offset, gain
table, fovea fill and remap in one nearest-neighbour cv2.remap, display stretch, grey to RGB.
Colour: the same correction, the stretch (cv2.normalize), each missing colour estimated by
normalised 3 x 3 box filtering of its channel's samples (a mosaic of the same density
stands in for the sensor's), the planes merged in RGB order and remapped. Then a batch of 64
frames into one array reused (out=), per frame. Set it beside bench_export's BM_RenderInto
and BM_RenderBatch.
Needs python3-opencv. Usage: PYTHONPATH=BUILD/python bench/python-vs-opencv.py"""
import statistics
import time

import cv2
import numpy as np

import pandry

FRAMES = 1024
RUNS = 5
SIZE = 512
OFFSET = 80
GAIN = 3
BATCH = 64


def remap_maps():
    """Nearest-neighbour maps of the remap table with the fovea fill folded in."""
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
    return map_x, map_y


def opencv_steps(sensor):
    """The lookups and maps the OpenCV version needs, built once as a user would."""
    dark = np.zeros((pandry.SECTORS, pandry.RINGS), np.uint8)
    levels = np.arange(256, dtype=np.float64)
    gain_lut = np.clip(levels * (1 + GAIN / 10), 0, 255).astype(np.uint8)
    stretch_lut = np.clip(1.164 * (levels - 16), 0, 255).astype(np.uint8)
    map_x, map_y = remap_maps()

    def correct(frame):
        return cv2.LUT(cv2.add(cv2.subtract(frame, dark), OFFSET), gain_lut)

    def process_mono(frame):
        picture = cv2.remap(correct(frame), map_x, map_y, cv2.INTER_NEAREST,
                            borderMode=cv2.BORDER_CONSTANT, borderValue=0)
        return cv2.cvtColor(cv2.LUT(picture, stretch_lut), cv2.COLOR_GRAY2RGB)

    sectors, rings = np.indices((pandry.SECTORS, pandry.RINGS))
    masks = [((sectors + rings) % 3 == c).astype(np.float32) for c in range(3)]
    weights = [cv2.boxFilter(m, -1, (3, 3), normalize=False) for m in masks]

    def process_color(frame):
        stretched = cv2.normalize(correct(frame), None, 0, 255, cv2.NORM_MINMAX).astype(np.float32)
        planes = [cv2.divide(cv2.boxFilter(cv2.multiply(stretched, m), -1, (3, 3),
                                           normalize=False), w).astype(np.uint8)
                  for m, w in zip(masks, weights)]
        return cv2.remap(cv2.merge(planes[::-1]), map_x, map_y, cv2.INTER_NEAREST,
                         borderMode=cv2.BORDER_CONSTANT, borderValue=0)

    return process_mono if sensor == "mono" else process_color


def per_frame_us(process, frame):
    runs = []
    for _ in range(RUNS):
        start = time.process_time()
        for _ in range(FRAMES):
            process(frame)
        runs.append((time.process_time() - start) / FRAMES * 1e6)
    return statistics.median(runs)


def batch_per_frame_us(processor, clip):
    out = processor.process(clip)
    runs = []
    for _ in range(RUNS):
        start = time.process_time()
        for _ in range(FRAMES // len(clip)):
            processor.process(clip, out=out)
        runs.append((time.process_time() - start) / (FRAMES // len(clip) * len(clip)) * 1e6)
    return statistics.median(runs)


frame = ((np.arange(252 * 152) * 7 + 3) % 256).astype(np.uint8).reshape(252, 152)
clip = np.stack([np.roll(frame, k) for k in range(BATCH)])
cv2.setNumThreads(1)  # one core each, as Processor.process runs
for sensor in ("mono", "color"):
    processor = pandry.Processor(sensor=sensor, size=SIZE, calibration=None)
    ours = per_frame_us(processor.process, frame)
    theirs = per_frame_us(opencv_steps(sensor), frame)
    batched = batch_per_frame_us(processor, clip)
    print(f"pandry Processor.process {sensor} {SIZE}: {ours:.0f} us CPU per frame; "
          f"OpenCV-Python, comparable steps: {theirs:.0f} us; ratio {theirs / ours:.1f}x; "
          f"a batch of {BATCH} into out=: {batched:.0f} us per frame "
          f"(medians of {RUNS} runs of {FRAMES} frames)")
