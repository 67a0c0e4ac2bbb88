"""Pictures of recordings as an OME-Zarr image (NGFF 0.4) that carries their times and settings."""
import os

import dask
import dask.array as da
import numpy as np
import zarr

from . import dask as pandry_dask
from ._pandry import Processor, __version__
from ._recording import Recording

NGFF_VERSION = "0.4"
# What each recording's store entry keeps of its sidecar: where it came from and how it ended.
SIDECAR_KEYS = ("start_time", "sensor", "source", "view", "configuration", "calibration",
                "auto_levels", "end", "dropped_frames", "failed_reads", "software")
CHANNELS = [("red", "FF0000"), ("green", "00FF00"), ("blue", "0000FF")]


def to_ome_zarr(source, store, values="shown", view="remapped", size=None, chunks=64,
                overwrite=False, compressor=None, **settings):
    """Writes the pictures of recordings into a new OME-Zarr image at `store` (a folder path
    or a zarr store) and gives back its zarr group.

    source: pictures made by pandry.dask.pictures (the other arguments are then theirs), or what
    that function takes: a path, a Recording or a list of them, whose frames then lie one after
    another along t. The image "0" has the axes t, c (shown pictures of a colour sensor only:
    red, green, blue), y, x; t is scaled by the mean frame interval in seconds, y and x are
    picture pixels. The group's "pandry" attribute holds each frame's recording, recorded index
    and time (microseconds from its recording's start), each recording's start time, settings as
    applied, sensor, source and provenance (how it ended, drops, failed reads, the recording
    software), and the writing software's version. The image is stored in chunks of `chunks`
    frames, each made and written whole by one task of the current dask Client (a task writes
    as many as fill dask's array.chunk-size), so `store` must be a folder its workers all
    see. compressor: None stores the pictures as they are, as the TIFF stack does; a numcodecs
    codec (numcodecs.Blosc() is zarr's usual) trades writing time for room. An existing store
    raises FileExistsError unless overwrite=True.
    """
    if isinstance(source, pandry_dask.Pictures):
        pictures = source
    elif isinstance(source, (da.Array, np.ndarray)):
        raise TypeError("to_ome_zarr takes recordings or pandry.dask.pictures(...), whose "
                        "recordings it describes; not a bare array")
    else:
        pictures = pandry_dask.pictures(source, values, view, size, chunks, **settings)
    processors = [Processor.for_recording(path, **pictures.settings)
                  for path in pictures.recordings]
    # A black-and-white sensor's shown pictures are grey, the same in all three channels.
    colour = pictures.ndim == 4 and any(p.sensor == "color" for p in processors)
    height, width = pictures.shape[1:3]
    shape = (pictures.shape[0], 3, height, width) if colour else (pictures.shape[0], height,
                                                                   width)
    frames = max(pictures.chunks[0])

    described = _describe(pictures, processors)
    if isinstance(store, os.PathLike):
        store = os.fspath(store)  # zarr takes only a str for a folder
    try:
        group = zarr.open_group(store, mode="w" if overwrite else "w-")
    except (zarr.errors.ContainsGroupError, zarr.errors.ContainsArrayError):
        raise FileExistsError(f"{store} already holds a zarr store; overwrite=True replaces "
                              "it") from None
    group.attrs.update(_ngff(len(shape), described["frames"]["time_us"], colour, pictures))
    group.attrs["pandry"] = described
    array = group.create_dataset("0", shape=shape, chunks=(frames, *shape[1:]), dtype=np.uint8,
                                 compressor=compressor, dimension_separator="/")
    # Each task writes whole stored chunks, so no two write into the same one and none needs a
    # lock; as many as fill dask's chunk size, as a task costs the scheduler milliseconds.
    per_task = max(1, dask.utils.parse_bytes(dask.config.get("array.chunk-size"))
                   // (frames * int(np.prod(shape[1:]))))
    stored = _chunk_pieces(pictures.recordings, pictures.counts, frames)
    tasks = [dask.delayed(_write_chunks, pure=False)(array, stored[k:k + per_task],
                                                     pictures.settings, pictures.values,
                                                     pictures.view, colour)
             for k in range(0, len(stored), per_task)]
    dask.compute(*tasks)
    return group


def _chunk_pieces(paths, counts, frames):
    """(first frame, [(path, start, stop), ...]) of each stored chunk of `frames` frames: the
    frames of the recordings lie one after another, so a chunk may take from several."""
    ends = [int(end) for end in np.cumsum(counts)]
    begins = [0] + ends[:-1]
    chunks = []
    for first in range(0, ends[-1], frames):
        last = min(first + frames, ends[-1])
        chunks.append((first, [(path, max(first, begin) - begin, min(last, end) - begin)
                               for path, begin, end in zip(paths, begins, ends)
                               if begin < last and end > first]))
    return chunks


def _write_chunks(array, stored, settings, values, view, colour):
    for first, pieces in stored:
        # Made in the thread's last chunk's memory: a fresh one would be faulted in again.
        block = pandry_dask._reusable((sum(stop - start for _, start, stop in pieces),
                                       *array.shape[1:]))
        at = 0
        for path, start, stop in pieces:
            into = block[at:at + stop - start]
            if colour:  # channels first, as the axes t, c, y, x want
                into[...] = np.moveaxis(pandry_dask._render(path, start, stop, settings, values,
                                                            view), 3, 1)
            else:
                grey = values == "shown"
                pandry_dask._render(path, start, stop, settings, values, view, out=into,
                                    grey=grey)
            at += stop - start
        array[first:first + len(block)] = block
        del block, into  # so the next chunk finds the memory free


def _ngff(ndim, times_us, colour, pictures):
    axes = [{"name": "t", "type": "time", "unit": "second"}]
    if colour:
        axes.append({"name": "c", "type": "channel"})
    axes += [{"name": "y", "type": "space"}, {"name": "x", "type": "space"}]
    scale = [_frame_interval_s(times_us, pictures.counts)] + [1.0] * (ndim - 1)
    attributes = {"multiscales": [{
        "version": NGFF_VERSION, "name": "pictures", "axes": axes,
        "datasets": [{"path": "0", "coordinateTransformations": [{"type": "scale",
                                                                   "scale": scale}]}],
        "metadata": {"values": pictures.values, "view": pictures.view}}]}
    if colour:
        attributes["omero"] = {"version": NGFF_VERSION, "channels": [
            {"label": label, "color": rgb, "active": True,
             "window": {"min": 0, "max": 255, "start": 0, "end": 255}}
            for label, rgb in CHANNELS]}
    return attributes


def _frame_interval_s(times_us, counts):
    """The mean step between frames of one recording; 1 s where no recording tells it."""
    steps, first = [], 0
    for count in counts:
        times = np.asarray(times_us[first:first + count], np.int64)
        first += count
        if count > 1 and times.min() >= 0:
            steps.append(np.diff(times))
    if not steps:
        return 1.0
    return float(np.concatenate(steps).mean()) / 1e6


def _describe(pictures, processors):
    recordings, positions, indices, times, after_drop = [], [], [], [], []
    first = 0
    for position, (path, count) in enumerate(zip(pictures.recordings, pictures.counts)):
        with Recording(path) as recording:
            metadata = recording.metadata or {}
            recorded = metadata.get("frames") or []
            positions += [position] * count
            indices += recording.indices.tolist()
            times += recording.times_us.tolist()
            after_drop += [first + k for k, frame in enumerate(recorded[:count])
                           if frame.get("after_drop")]
        entry = {"path": os.path.abspath(path), "first": first, "frames": count,
                 "settings": processors[position].settings}
        entry.update({key: metadata[key] for key in SIDECAR_KEYS if key in metadata})
        recordings.append(entry)
        first += count
    return {"software": {"name": "pandry", "version": __version__},
            "values": pictures.values, "view": pictures.view, "recordings": recordings,
            "frames": {"recording": positions, "index": indices, "time_us": times,
                       "after_drop": after_drop}}
