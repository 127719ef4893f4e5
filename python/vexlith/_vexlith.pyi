# SPDX-License-Identifier: MIT
"""The vexlith library's reads and writes; use the package vexlith."""
from typing import Any, Callable, Optional

import numpy

__version__: str
HEADER: int
TABLES: int
BLOCKS: int
ENTITIES: int
DOCUMENT: int
READ_MODERN_KINDS: int
READ_WORLD: int
READ_UTF8: int
WRITE_COMPLETE: int
WRITE_R12_NAMES: int

class Drawing:
    def document(self, parts: int, exact: bool) -> dict[str, Any]: ...
    def points(self, kind: str) -> numpy.ndarray: ...
    def polylines(self) -> tuple[numpy.ndarray, numpy.ndarray]: ...
    def write(self, path: bytes, binary: bool, flags: int) -> list[str]: ...

def read(path: bytes, flags: int, tolerance: float,
         progress: Optional[Callable[[float], Any]]) -> tuple[Optional[Drawing], list[str]]: ...

class EntityReader:
    def __init__(self, path: bytes, flags: int, tolerance: float,
                 progress: Optional[Callable[[float], Any]]) -> None: ...
    def next(self) -> Optional[dict[str, Any]]: ...
    def chain(self) -> list[str]: ...
    def close(self) -> None: ...
