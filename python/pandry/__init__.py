"""Pandry's frame processing for scripts.

A raw frame is 38304 bytes: 252 sectors of 152 rings, sector-major (index = sector * 152 +
ring). Frames may be bytes or any contiguous uint8 array of shape (252, 152) or 38304 flat
elements; batches are (N, 252, 152)."""
from ._pandry import (FRAME_BYTES, NO_FOVEA_SECTOR, NO_SOURCE, RINGS, SECTORS, Processor,
                      __version__, fovea_table, geometry, read_recording, remap_table)
from ._recording import Recording, open

__all__ = ["FRAME_BYTES", "NO_FOVEA_SECTOR", "NO_SOURCE", "RINGS", "SECTORS", "Processor",
           "Recording", "__version__", "fovea_table", "geometry", "open", "read_recording", "remap_table"]
