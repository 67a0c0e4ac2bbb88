"""Pandry's frame processing for scripts.

A raw frame is 38304 bytes: 252 sectors of 152 rings, sector-major (index = sector * 152 +
ring). Frames may be bytes or any contiguous uint8 array of shape (252, 152) or 38304 flat
elements; batches are (N, 252, 152). pandry.dask makes pictures and statistics of many
recordings on a dask cluster; pandry.to_ome_zarr writes them into an OME-Zarr image.
pandry.Camera reads frames from a camera source, steers its gaze and records."""
from ._pandry import (FRAME_BYTES, NO_FOVEA_SECTOR, NO_SOURCE, RINGS, SECTORS, Processor,
                      __version__, fovea_table, geometry, read_recording, read_sidecar,
                      remap_table)
from ._camera import Camera, Frame, RecordingRun
from ._recording import Recording, open

__all__ = ["Camera", "FRAME_BYTES", "Frame", "NO_FOVEA_SECTOR", "NO_SOURCE", "RINGS", "SECTORS",
           "Processor", "Recording", "RecordingRun", "__version__", "fovea_table", "geometry", "open", "read_recording",
           "read_sidecar", "remap_table", "to_ome_zarr"]


def __getattr__(name):
    # The writer needs dask and zarr, which plain frame work does without: loaded on first use.
    if name == "to_ome_zarr":
        from .ome_zarr import to_ome_zarr
        return to_ome_zarr
    raise AttributeError(f"module 'pandry' has no attribute {name!r}")
