#!/usr/bin/python3
"""pandry.dask.pictures on a 2-worker LocalCluster beside the serial Processor loop doing the
same work on the pictures of 4 recordings of 2,000 frames: every picture kept (persisted on
the workers; kept in a list), and each picture's middle row kept (the serial loop reusing
its batch's memory, which a dask array cannot),
and pandry.to_ome_zarr on one core beside `pandry-cli export --jobs 1` to a TIFF stack of the
same pictures. Wall times, medians of runs interleaved so a drifting load weighs on both.
Usage: PYTHONPATH=BUILD/python PANDRY_CLI=BUILD/tools/pandry-cli bench/dask-pictures.py
[FOLDER] (a scratch folder on the disk under test; default a new one under /tmp)"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

import dask
from dask.distributed import Client, LocalCluster, wait

import pandry
import pandry.dask

RECORDINGS, FRAMES, SIZE, BATCH, RUNS = 4, 2000, 256, 64, 7


def record(folder):
    cli = pandry.dask._cli()
    paths = []
    for k in range(RECORDINGS):
        path = os.path.join(folder, f"r{k}.raw")
        subprocess.run([cli, "record", "--camera", "sim,fps=0", "--frames",
                        str(FRAMES), path], check=True, capture_output=True)
        paths.append(path)
    return paths


def serial(paths, keep):
    kept = []
    for path in paths:
        processor = pandry.Processor.for_recording(path, size=SIZE)
        with pandry.open(path) as recording:
            for start in range(0, len(recording), BATCH):
                batch = processor.process(recording[start:start + BATCH])
                kept.append(batch if keep else batch[:, SIZE // 2].copy())
    return kept


def clustered(paths, keep):
    pictures = pandry.dask.pictures(paths, size=SIZE)
    if keep:
        kept = pictures.persist()
        wait(kept)
        return kept
    return pictures[:, SIZE // 2].compute()


def fresh_store(paths, store):
    shutil.rmtree(store, ignore_errors=True)
    pandry.to_ome_zarr(paths, store, size=SIZE)


def timed(work, *arguments, **options):
    start = time.perf_counter()
    result = work(*arguments, **options)
    elapsed = time.perf_counter() - start
    del result  # the pictures kept are let go before the next run
    return elapsed


def median_text(runs):
    return f"{statistics.median(runs):.2f} s (runs {min(runs):.2f}-{max(runs):.2f})"


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else tempfile.mkdtemp(prefix="pandry-dask-")
    paths = record(folder)
    chunk = pandry.dask.pictures(paths[0], size=SIZE).chunks[0][0]
    print(f"load {os.getloadavg()[0]:.1f}; {RECORDINGS} recordings of {FRAMES} frames, "
          f"{SIZE} x {SIZE} shown pictures; the cluster's chunks of {chunk} frames, the serial "
          f"loop's batches of {BATCH}")
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                      dashboard_address=None) as cluster, Client(cluster):
        clustered(paths, keep=False)  # the workers' first recordings and processors
        for keep, what in ((True, "every picture kept"), (False, "each middle row kept")):
            alone, together = [], []
            for _ in range(RUNS):
                alone.append(timed(serial, paths, keep))
                together.append(timed(clustered, paths, keep))
            print(f"{what}: serial Processor loop {median_text(alone)}; 2-worker LocalCluster "
                  f"{median_text(together)}; "
                  f"{statistics.median(alone) / statistics.median(together):.2f}x")
        store = os.path.join(folder, "lab.ome.zarr")
        alone, together = [], []
        for _ in range(RUNS):
            with dask.config.set(scheduler="synchronous"):
                alone.append(timed(fresh_store, paths, store))
            together.append(timed(fresh_store, paths, store))
        print(f"OME-Zarr of the four: in this process {median_text(alone)}; 2-worker "
              f"LocalCluster {median_text(together)}; "
              f"{statistics.median(alone) / statistics.median(together):.2f}x")

    stack = os.path.join(folder, "stack.tif")
    zarr_runs, tiff_runs = [], []
    os.sched_setaffinity(0, {min(os.sched_getaffinity(0))})  # one core, the export's too
    with dask.config.set(scheduler="synchronous"):
        for _ in range(RUNS):
            zarr_runs.append(timed(fresh_store, paths[:1], store))
            if os.path.exists(stack):
                os.remove(stack)
            tiff_runs.append(timed(subprocess.run, [pandry.dask._cli(), "export", "--jobs",
                                                    "1", "--size", str(SIZE), paths[0],
                                                    stack], check=True))
    print(f"OME-Zarr of one recording, one core: {median_text(zarr_runs)}")
    print(f"export to a TIFF stack, --jobs 1: {median_text(tiff_runs)}; "
          f"{statistics.median(tiff_runs) / statistics.median(zarr_runs):.2f}x the OME-Zarr's")
    if len(sys.argv) <= 1:
        shutil.rmtree(folder)


if __name__ == "__main__":
    main()
