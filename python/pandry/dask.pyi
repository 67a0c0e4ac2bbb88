import os
from typing import Any, Literal, Optional, Sequence, Union

import dask.array as da
import numpy as np

from ._recording import Recording

RecordingLike = Union[str, os.PathLike[str], Recording]
Recordings = Union[RecordingLike, Sequence[RecordingLike]]

VIEWS: tuple[str, ...]
SETTINGS: tuple[str, ...]
STATS_DTYPE: np.dtype[Any]

class Pictures(da.Array):
    recordings: list[str]
    counts: list[int]
    values: str
    view: str
    settings: dict[str, Any]

def pictures(
    recordings: Recordings,
    values: Literal["shown", "corrected", "raw"] = ...,
    view: Literal["remapped", "unmapped"] = ...,
    size: Optional[Literal[256, 512]] = ...,
    chunks: Union[int, Literal["auto"]] = ...,
    **settings: Any,
) -> Pictures: ...
def stats(
    recordings: Recordings, values: Literal["raw", "corrected", "shown"] = ..., **settings: Any
) -> da.Array: ...
