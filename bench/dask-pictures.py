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


def timed(work):
    start = time.perf_counter()
    result = work()
    elapsed = time.perf_counter() - start
    del result  # the pictures kept are let go before the next run
    return elapsed


def median_text(runs):
    return f"{statistics.median(runs):.2f} s (runs {min(runs):.2f}-{max(runs):.2f})"


def compare(what, first, second):
    """Runs the two (name, work) pairs by turns and prints their medians and the first's
    time over the second's."""
    (first_name, first_work), (second_name, second_work) = first, second
    first_runs, second_runs = [], []
    for _ in range(RUNS):
        first_runs.append(timed(first_work))
        second_runs.append(timed(second_work))
    print(f"{what}: {first_name} {median_text(first_runs)}; {second_name} "
          f"{median_text(second_runs)}; "
          f"{statistics.median(first_runs) / statistics.median(second_runs):.2f}x")


def synchronously(work):
    with dask.config.set(scheduler="synchronous"):
        return work()


def export_stack(path, stack):
    if os.path.exists(stack):
        os.remove(stack)
    subprocess.run([pandry.dask._cli(), "export", "--jobs", "1", "--size", str(SIZE), path,
                    stack], check=True)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else tempfile.mkdtemp(prefix="pandry-dask-")
    paths = record(folder)
    chunk = pandry.dask.pictures(paths[0], size=SIZE).chunks[0][0]
    print(f"load {os.getloadavg()[0]:.1f}; {RECORDINGS} recordings of {FRAMES} frames, "
          f"{SIZE} x {SIZE} shown pictures; the cluster's chunks of {chunk} frames, the serial "
          f"loop's batches of {BATCH}")
    store, stack = os.path.join(folder, "lab.ome.zarr"), os.path.join(folder, "stack.tif")
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                      dashboard_address=None) as cluster, Client(cluster):
        clustered(paths, keep=False)  # the workers' first recordings and processors
        for keep, what in ((True, "every picture kept"), (False, "each middle row kept")):
            compare(what, ("serial Processor loop", lambda: serial(paths, keep)),
                    ("2-worker LocalCluster", lambda: clustered(paths, keep)))
        compare("OME-Zarr of the four",
                ("in this process", lambda: synchronously(lambda: fresh_store(paths, store))),
                ("2-worker LocalCluster", lambda: fresh_store(paths, store)))

    os.sched_setaffinity(0, {min(os.sched_getaffinity(0))})  # one core, the export's too
    compare("one recording on one core",
            ("export to a TIFF stack, --jobs 1", lambda: export_stack(paths[0], stack)),
            ("OME-Zarr", lambda: synchronously(lambda: fresh_store(paths[:1], store))))
    if len(sys.argv) <= 1:
        shutil.rmtree(folder)


if __name__ == "__main__":
    main()
