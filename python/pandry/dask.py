"""Pictures and statistics of many recordings as lazy dask arrays, made on the workers.

Nothing is computed here: the arrays are computed by the dask.distributed Client that is
current (on a LocalCluster or on a scheduler's address, the same code), or by dask's threads
without one. Each worker opens the recordings by their paths, so on a real cluster they must
lie where every worker sees them (a shared folder), and makes its pictures with a Processor
of its own for each of its threads, set as each recording's sidecar says under the overrides
given."""
import csv
import functools
import os
import shutil
import subprocess
import sys
import threading

import dask
import dask.array as da
import numpy as np

from ._pandry import Processor
from ._recording import Recording

VIEWS = ("remapped", "unmapped")
SETTINGS = ("sensor", "size", "offset", "gain", "calibration")

# One row of pandry-cli stats --csv, the recording's position in the list first.
STATS_DTYPE = np.dtype([("recording", np.int32), ("index", np.uint64), ("time_us", np.int64),
                        ("channel", "U5"), ("mean", np.float64), ("min", np.int16),
                        ("max", np.int16), ("std", np.float64), ("at0", np.float64),
                        ("at255", np.float64)])

CACHED_PER_THREAD = 4
_thread = threading.local()  # each worker thread's open recordings and processors


class Pictures(da.Array):
    """A lazy dask array of pictures that knows what it was made from: `recordings` (the
    paths, in order), `counts` (frames of each), `values`, `view` and `settings`."""


def pictures(recordings, values="shown", view="remapped", size=None, chunks="auto",
             **settings):
    """One lazy dask array of the pictures of one recording or of several.

    recordings: a path, a pandry.Recording, or a list of them. The frames of all of them lie
    one after another along the first axis, recording by recording in the order given (the
    result's `counts` says how many frames each gave). values and view are those of
    Processor.process ("shown", "corrected", "raw"; "remapped" or "unmapped"); size and the
    other settings (sensor=, offset=, gain=, calibration=) override each recording's own.
    Each chunk holds up to `chunks` frames of one recording; "auto" fits as many as dask's
    array.chunk-size (128 MiB unless configured): a task costs the scheduler milliseconds,
    so a cluster gains only on chunks that take longer than that to make. Shapes are those of
    Processor.process: (N, size, size, 3) for shown pictures, (N, size, size) for values.
    Recordings whose pictures differ in shape raise ValueError: give sensor= or size=."""
    if view not in VIEWS:
        raise ValueError(f"view must be one of {VIEWS}, not {view!r}")
    unknown = set(settings) - set(SETTINGS)
    if unknown:
        raise TypeError(f"unknown settings {sorted(unknown)}; known: {SETTINGS}")
    if size is not None:
        settings["size"] = size
    paths = _paths(recordings)
    counts, shapes = [], set()
    for path in paths:
        counts.append(_frame_count(path))
        # One frame made here: a bad setting or calibration is told now, with the shape.
        shapes.add(_render(path, 0, 1, settings, values, view).shape[1:])
    if len(shapes) > 1:
        raise ValueError(f"the recordings give pictures of shapes {sorted(shapes)}: give "
                         "sensor= or size= to make them alike")
    [shape] = shapes
    if chunks == "auto":
        chunks = max(1, dask.utils.parse_bytes(dask.config.get("array.chunk-size"))
                     // int(np.prod(shape)))
    if not isinstance(chunks, int) or chunks < 1:
        raise ValueError(f"chunks must be a number of frames or \"auto\", not {chunks!r}")
    blocks = [(path, start, min(start + chunks, count)) for path, count in zip(paths, counts)
              for start in range(0, count, chunks)]
    # One blockwise task per chunk: what follows block by block (map_blocks, arithmetic, a
    # reduction's first step) is fused into it rather than costing a task of its own.
    frames = tuple(stop - start for _, start, stop in blocks)
    made = da.map_blocks(functools.partial(_block, blocks, shape, settings, values, view),
                         chunks=(frames, *((side,) for side in shape)), dtype=np.uint8,
                         meta=np.empty((0,) * (1 + len(shape)), np.uint8),
                         name="pandry-pictures-" + dask.base.tokenize(paths, counts, settings,
                                                                     values, view, chunks))
    result = Pictures(made.dask, made.name, made.chunks, meta=made._meta)
    result.recordings, result.counts = paths, counts
    result.values, result.view, result.settings = values, view, dict(settings)
    return result


def stats(recordings, values="raw", **settings):
    """The per-frame statistics pandry-cli stats prints, as a lazy dask array of records.

    One row per frame and channel (grey; or red, green, blue), recording after recording,
    with the fields of STATS_DTYPE: the recording's position in the list, the recorded index
    and time (-1 without a sidecar), then mean, min, max, std, at0 and at255 over the
    sensor's physical pixels. Computed by pandry-cli itself on the workers, one task per
    recording, so the figures are the program's own. .compute() gives a numpy record array;
    pandas.DataFrame(...) of it is the table, where pandas is installed."""
    options = ["--values", values, *_cli_settings(settings)]
    parts = []
    for position, path in enumerate(_paths(recordings)):
        channels = 3 if Processor.for_recording(path, **settings).sensor == "color" else 1
        block = dask.delayed(_stats_of, pure=True)(position, path, options)
        parts.append(da.from_delayed(block, (_frame_count(path) * channels,), STATS_DTYPE))
    return da.concatenate(parts)


def _paths(recordings):
    if isinstance(recordings, (str, os.PathLike, Recording)):
        recordings = [recordings]
    paths = [item.path if isinstance(item, Recording) else os.fspath(item) for item in recordings]
    if not paths:
        raise ValueError("no recording given")
    return paths


def _frame_count(path):
    with Recording(path) as recording:
        return len(recording)


def _cached(name, key, make):
    # A thread keeps the few recordings it works on: a long list's processors and maps
    # would otherwise pile up on every worker.
    cache = _thread.__dict__.setdefault(name, {})
    if key not in cache:
        if len(cache) >= CACHED_PER_THREAD:
            del cache[next(iter(cache))]
        cache[key] = make()
    return cache[key]


def _frames(path, start, stop):
    return _cached("recordings", path, lambda: Recording(path))[start:stop]


def _processor(path, settings):
    return _cached("processors", dask.base.tokenize(path, settings),
                   lambda: Processor.for_recording(path, **settings))


def _block(blocks, shape, settings, values, view, block_id):
    path, start, stop = blocks[block_id[0]]
    out = _reusable((stop - start, *shape))
    return _render(path, start, stop, settings, values, view, out=out)


def _reusable(shape):
    """An array of that shape that nothing else holds any more, or a new one. Fresh memory
    costs a worker as much again as the pictures made in it: dask.distributed has its
    workers hand large blocks back to the system at once, so each new one is faulted in."""
    kept = getattr(_thread, "reusable", None)
    # Held by the thread and getrefcount alone: no task, result or view has it.
    if kept is not None and kept.shape == shape and sys.getrefcount(kept) == 3:
        return kept
    _thread.reusable = np.empty(shape, np.uint8)
    return _thread.reusable


def _render(path, start, stop, settings, values, view, **options):
    """Frames start..stop of the recording as Processor.process(..., **options) gives them."""
    processor = _processor(path, settings)
    render = processor.process if view == "remapped" else processor.process_unmapped
    return render(_frames(path, start, stop), values, **options)


def _cli_settings(settings):
    options = []
    for name, value in settings.items():
        if name not in SETTINGS:
            raise TypeError(f"unknown setting {name!r}; known: {SETTINGS}")
        if name == "calibration" and not isinstance(value, (str, os.PathLike, type(None))):
            raise ValueError("stats takes a calibration path or None, not an array")
        options += [f"--{name}", "none" if value is None else str(value)]
    return options


def _cli():
    beside = os.path.join(os.path.dirname(__file__), "..", "..", "tools", "pandry-cli")
    for candidate in (os.environ.get("PANDRY_CLI"), beside, shutil.which("pandry-cli")):
        if candidate and os.access(candidate, os.X_OK):
            return candidate
    raise RuntimeError("pandry-cli not found (neither PANDRY_CLI, the build's, nor on PATH)")


def _stats_of(position, path, options):
    done = subprocess.run([_cli(), "stats", "--csv", *options, path], capture_output=True,
                          text=True)
    if done.returncode != 0:
        raise RuntimeError(done.stderr.strip() or f"pandry-cli stats failed on {path}")
    rows = list(csv.DictReader(done.stdout.splitlines()))
    table = np.empty(len(rows), STATS_DTYPE)
    for i, row in enumerate(rows):
        table[i] = (position, int(row["index"]), int(row["time_us"] or -1), row["channel"],
                    float(row["mean"]), int(row["min"]), int(row["max"]), float(row["std"]),
                    float(row["at0"]), float(row["at255"]))
    return table
