import os
from typing import Literal, Optional, Union

import numpy as np
import numpy.typing as npt

__version__: str
SECTORS: int
RINGS: int
FRAME_BYTES: int
NO_SOURCE: int
NO_FOVEA_SECTOR: int

Frames = Union[bytes, npt.NDArray[np.uint8]]
Path = Union[str, os.PathLike[str]]
Values = Literal["shown", "corrected", "raw", "flat"]

class Processor:
    def __init__(
        self,
        sensor: Literal["mono", "color"] = ...,
        size: Literal[256, 512] = ...,
        offset: int = ...,
        gain: int = ...,
        calibration: Union[None, Path, npt.ArrayLike] = ...,
        flat: Optional[Path] = ...,
    ) -> None: ...
    @staticmethod
    def for_recording(
        path: Path,
        sensor: Optional[Literal["mono", "color"]] = ...,
        size: Optional[Literal[256, 512]] = ...,
        offset: Optional[int] = ...,
        gain: Optional[int] = ...,
        calibration: Union[None, Path, npt.ArrayLike] = ...,
        ignore_sidecar: bool = ...,
        flat: Optional[Path] = ...,
    ) -> Processor: ...
    def process(
        self,
        frame: Frames,
        values: Values = ...,
        *,
        out: Optional[npt.NDArray[np.uint8]] = ...,
        grey: bool = ...,
    ) -> npt.NDArray[np.uint8]: ...
    def process_unmapped(
        self,
        frame: Frames,
        values: Values = ...,
        *,
        out: Optional[npt.NDArray[np.uint8]] = ...,
        grey: bool = ...,
    ) -> npt.NDArray[np.uint8]: ...
    def corrected(self, frame: Frames) -> npt.NDArray[np.uint8]: ...
    @property
    def sensor(self) -> str: ...
    @property
    def size(self) -> int: ...
    @property
    def offset(self) -> int: ...
    @property
    def gain(self) -> int: ...
    @property
    def calibration(self) -> Union[None, Path, npt.ArrayLike]: ...
    @property
    def flat(self) -> Optional[str]: ...
    @property
    def settings(self) -> str: ...

def read_recording(path: Path) -> tuple[npt.NDArray[np.uint8], Optional[dict]]: ...
def read_sidecar(recording: Path) -> Optional[dict]: ...
def remap_table() -> npt.NDArray[np.uint16]: ...
def fovea_table() -> npt.NDArray[np.int32]: ...

class Geometry:
    radius: npt.NDArray[np.float32]
    angle: npt.NDArray[np.float32]
    area: npt.NDArray[np.uint32]
    physical: npt.NDArray[np.bool_]

def geometry() -> Geometry: ...

class CameraCore:
    """The compiled half of pandry.Camera (see _camera.pyi); scripts use pandry.Camera."""
    def __init__(
        self,
        source: str,
        sensor: Optional[str],
        size: Optional[int],
        offset: Optional[int],
        gain: Optional[int],
        calibration: object,
        timeout: float,
    ) -> None: ...
