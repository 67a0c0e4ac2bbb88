import os
from typing import Any, Literal, Optional, Union

import zarr

from .dask import Pictures, Recordings

NGFF_VERSION: str

def to_ome_zarr(
    source: Union[Pictures, Recordings],
    store: Union[str, os.PathLike[str], Any],
    values: Literal["shown", "corrected", "raw"] = ...,
    view: Literal["remapped", "unmapped"] = ...,
    size: Optional[Literal[256, 512]] = ...,
    chunks: int = ...,
    overwrite: bool = ...,
    compressor: Optional[Any] = ...,
    **settings: Any,
) -> zarr.hierarchy.Group: ...
