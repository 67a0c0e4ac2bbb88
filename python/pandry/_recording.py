"""A recording read through a read-only memory map: frames are views of the file."""
import builtins
import mmap
import os
import warnings

import numpy as np

from ._pandry import FRAME_BYTES, RINGS, SECTORS, read_sidecar


class Recording:
    """The whole frames of a raw recording, (N, 252, 152) uint8, and its sidecar.

    Indexing and slicing give views of the file without copying; numpy.asarray(rec) is a
    view of the whole map. Pickling keeps only the path, so a recording travels to other
    processes (dask workers) and is opened again there.

    The map is the file itself: a program that cuts the file short while it is open makes
    a later read of the part cut off fault (SIGBUS ends the process). Pandry's own writers
    never do (they write a new file aside and rename it over the old one, which the map
    keeps), and indexing checks the file's size first and raises OSError when it shrank;
    views taken before stay unchecked, so copy (numpy.array) what must outlive a change."""

    def __init__(self, path, ignore_sidecar=False):
        self.path = os.fspath(path)
        self.ignore_sidecar = ignore_sidecar
        size = os.path.getsize(self.path)
        count = size // FRAME_BYTES
        if count == 0:
            raise ValueError(f"{self.path} holds no whole frame ({size} bytes; a frame is "
                             f"{FRAME_BYTES})")
        if size % FRAME_BYTES:
            warnings.warn(f"{self.path} is cut off mid-frame: {size % FRAME_BYTES} bytes after "
                          f"its {count} whole frames are left out", stacklevel=3)
        self._file = builtins.open(self.path, "rb")  # kept to check its size on each access
        self._map = mmap.mmap(self._file.fileno(), count * FRAME_BYTES, access=mmap.ACCESS_READ)
        self._frames = np.frombuffer(self._map, np.uint8).reshape(count, SECTORS, RINGS)
        self._metadata = None
        self._sidecar_read = False  # read on first use: a long sidecar costs time and memory

    # The array protocol dask and numpy look for.
    shape = property(lambda self: self._frames.shape)
    dtype = property(lambda self: self._frames.dtype)
    ndim = property(lambda self: 3)

    def __len__(self):
        return self._frames.shape[0]

    def __getitem__(self, key):
        self._check_size()
        return self._frames[key]

    def _check_size(self):
        if self._file.closed:
            return
        size = os.fstat(self._file.fileno()).st_size
        if size < self._frames.nbytes:
            raise OSError(f"{self.path} was cut to {size} bytes while open ({self._frames.nbytes} "
                          f"mapped); reading the part cut off would fault: open it again")

    def __iter__(self):
        return iter(self._frames)

    def __array__(self, dtype=None, copy=None):
        self._check_size()
        if copy:
            return np.array(self._frames, dtype=dtype)
        return self._frames if dtype is None else self._frames.astype(dtype)

    def __enter__(self):
        return self

    def __exit__(self, *exc_info):
        self.close()

    def close(self):
        """Drops this recording's hold on the map; views already taken keep it alive."""
        self._frames = np.empty((0, SECTORS, RINGS), np.uint8)
        self._file.close()
        try:
            self._map.close()
        except BufferError:
            pass  # views taken from it still use it; it goes with the last of them

    def __reduce__(self):
        return (Recording, (self.path, self.ignore_sidecar))

    def __repr__(self):
        try:
            sensor = repr(self.sensor)
        except ValueError:
            sensor = "unknown (its sidecar cannot be read)"
        return f"pandry.Recording({self.path!r}, frames={len(self)}, sensor={sensor})"

    @property
    def metadata(self):
        """The sidecar as a dict, or None when there is none (or ignore_sidecar was given).
        Read and checked on first use as pandry-cli reads it: one that is there but cannot be
        read raises ValueError naming it, as its defaults would misdescribe the frames."""
        if not self._sidecar_read:
            self._metadata = None if self.ignore_sidecar else read_sidecar(self.path)
            self._sidecar_read = True
        return self._metadata

    @property
    def sensor(self):
        """'mono' or 'color' as the sidecar says; None without one."""
        return self.metadata.get("sensor") if self.metadata else None

    @property
    def indices(self):
        """Each frame's recorded index (uint64); the position where the sidecar says none."""
        recorded = self._recorded_frames()
        if recorded is None:
            return np.arange(len(self), dtype=np.uint64)
        return np.array([frame["index"] for frame in recorded], np.uint64)

    @property
    def times_us(self):
        """Each frame's time since the recording started in microseconds (int64); -1 where
        the sidecar says none."""
        recorded = self._recorded_frames()
        if recorded is None:
            return np.full(len(self), -1, np.int64)
        return np.array([frame["time_us"] if "time_us" in frame else frame["time_ms"] * 1000
                         for frame in recorded], np.int64)

    def _recorded_frames(self):
        frames = (self.metadata or {}).get("frames")
        if not frames or len(frames) < len(self):
            return None
        return frames[:len(self)]


def open(path, ignore_sidecar=False):  # noqa: A001 - the name the module offers, as io.open
    """Opens a raw recording (str or os.PathLike) as a memory-mapped Recording.

    Its sidecar is read on first use of metadata, sensor, indices or times_us; one that
    cannot be read raises ValueError then, unless ignore_sidecar=True (no metadata, each
    frame at its position, times unknown).

    The file must not be cut short while it is open: indexing checks its size and raises
    OSError, but a view taken before faults (SIGBUS) on the part cut off. Pandry's recorder
    and exports replace files by renaming, which leaves an open map as it was."""
    return Recording(path, ignore_sidecar)
