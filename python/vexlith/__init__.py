# SPDX-License-Identifier: MIT
"""DXF drawings, ASCII and binary, read and written by the vexlith library.

    import vexlith
    drawing = vexlith.read("house.dxf")
    for entity in drawing.entities:
        print(entity.kind, entity.layerName)
    lines = drawing.points("LINE")   # numpy array (n, 2, 3): every LINE's start and end

A read gives a Drawing: its ``header`` (a dict), ``tables``, ``blocks`` and
``entities``, records whose attributes are the members of the library's
records (vexlith.h), named as there. ``to_dict()`` is the document that
``vexlith dump --json`` prints (docs/json.md). ``iter_entities()`` hands out
the entities of a file of any size one at a time. A failure raises ReadError
or WriteError, with the library's report chain.
"""
from __future__ import annotations

import errno
import os

from . import _vexlith

TYPE_CHECKING = False
if TYPE_CHECKING:  # typing is not imported at run time: a script that reads starts sooner
    from typing import Any, Callable, Iterator, Optional, Union

    Path = Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]
    Progress = Callable[[float], Any]

__version__: str = _vexlith.__version__
__all__ = ["read", "iter_entities", "Drawing", "Record", "Entity", "Block", "Error", "ReadError",
           "MissingFileError", "WriteError", "__version__"]


class Error(OSError):
    """A read or write that failed. ``chain`` is the library's report chain,
    outermost first; the message joins it with ": "."""

    def __init__(self, chain: list[str], filename: Optional[Path] = None) -> None:
        super().__init__(": ".join(chain))
        self.chain = chain
        self.filename = filename

    def __str__(self) -> str:
        return ": ".join(self.chain)


class ReadError(Error):
    """A file that could not be read."""


class MissingFileError(ReadError, FileNotFoundError):
    """A file that is not there: a ReadError and a FileNotFoundError."""


class WriteError(Error):
    """A drawing that could not be written."""


class Record:
    """A record of the drawing: its attributes are the record's members,
    named as in vexlith.h (a text the file lacks is None)."""

    def __init__(self, members: dict[str, Any]) -> None:
        self.__dict__ = members

    def __eq__(self, other: object) -> bool:
        return type(other) is type(self) and vars(other) == vars(self)

    def __repr__(self) -> str:
        return "%s(%s)" % (type(self).__name__,
                           ", ".join("%s=%r" % item for item in vars(self).items()))


class Entity(Record):
    """An entity: ``kind`` (also ``type``) "LINE", "POINT", "CIRCLE", "ARC",
    "TRACE", "SOLID", "TEXT", "INSERT", "POLYLINE", "3DFACE", or "INVALID" for a
    kind kept without its data; the common members layerName, handle,
    ltypeName, elevation, thickness, color (256 by layer, 0 by block) and space
    (0 model, 1 paper); and ``data``, a Record of the members of its kind
    (docs/json.md lists them: a LINE's data.start and data.end, a
    POLYLINE's data.vertices, Records too, ...).
    Coordinates are lists [x, y, z]; angles are in radians."""

    def __init__(self, members: dict[str, Any]) -> None:
        data = members["data"]
        if "vertices" in data:
            data["vertices"] = [Record(vertex) for vertex in data["vertices"]]
        members["data"] = Record(data)
        self.__dict__ = members

    @property
    def kind(self) -> str:
        return self.type


class Block(Record):
    """A block definition: name, basePoint, ... and its ``entities``."""

    def __init__(self, members: dict[str, Any]) -> None:
        members["entities"] = [Entity(entity) for entity in members["entities"]]
        self.__dict__ = members


class Drawing:
    """A drawing read by read(). The records are made on first use of each
    attribute; to_dict(), points() and polylines() read the library's drawing
    directly."""

    def __init__(self, drawing: _vexlith.Drawing) -> None:
        self._drawing = drawing
        self._parts: dict[str, Any] = {}

    def _part(self, name: str, part: int, make: Callable[[Any], Any]) -> Any:
        if name not in self._parts:
            self._parts[name] = make(self._drawing.document(part, False)[name])
        return self._parts[name]

    @property
    def header(self) -> Optional[dict[str, Any]]:
        """The header variables, named as the record's members (the variable's
        name without "$" in lower case); None when the file has no HEADER."""
        return self._part("header", _vexlith.HEADER, lambda header: header)

    @property
    def tables(self) -> Optional[Record]:
        """``ltypes``, ``layers`` and ``styles``, lists of Records; None when
        the file has no TABLES section."""
        return self._part("tables", _vexlith.TABLES, lambda tables: None if tables is None else
                          Record({name: list(map(Record, rows)) for name, rows in tables.items()}))

    @property
    def blocks(self) -> list[Block]:
        """The block definitions, in file order."""
        return self._part("blocks", _vexlith.BLOCKS, lambda blocks: list(map(Block, blocks)))

    @property
    def entities(self) -> list[Entity]:
        """The entities of the ENTITIES section, in file order."""
        return self._part("entities", _vexlith.ENTITIES,
                          lambda entities: list(map(Entity, entities)))

    def to_dict(self) -> dict[str, Any]:
        """The document ``vexlith dump --json`` prints for the same read
        (docs/json.md): texts as str, a real that is not finite as "nan",
        "inf" or "-inf"."""
        return self._drawing.document(_vexlith.DOCUMENT, True)

    def points(self, kind: str) -> Any:
        """A numpy array (n, k, 3) of the points of each entity of the ENTITIES
        section of that kind, in file order: a LINE's start and end (k = 2);
        the four corners of a TRACE, SOLID or 3DFACE (NaN for corners a face
        lacks); the location of a POINT, the center of a CIRCLE or ARC, the
        insertion point of a TEXT or INSERT (k = 1)."""
        return self._drawing.points(kind)

    def polylines(self) -> tuple[Any, Any]:
        """Every POLYLINE of the ENTITIES section as two numpy arrays:
        ``vertices`` (m, 3), one polyline's after the other's, and ``starts``
        (n + 1): polyline i is vertices[starts[i]:starts[i + 1]]."""
        return self._drawing.polylines()

    def write(self, path: Path, *, binary: bool = False, complete: bool = True,
              r12_names: bool = False) -> None:
        """Writes the drawing as a DXF file, ASCII or binary. ``complete``
        writes the tables, the header variables and every member, so that it
        reads back the same; ``r12_names`` writes names R12 programs accept.
        Both False: the library's plain write. Raises WriteError."""
        flags = (_vexlith.WRITE_COMPLETE if complete else 0) | (
            _vexlith.WRITE_R12_NAMES if r12_names else 0)
        chain = self._drawing.write(os.fsencode(path), binary, flags)
        if chain:
            raise WriteError(chain, path)


def _flags(modern: bool, world: bool, utf8: bool) -> int:
    return ((_vexlith.READ_MODERN_KINDS if modern else 0) | (_vexlith.READ_WORLD if world else 0)
            | (_vexlith.READ_UTF8 if utf8 else 0))


def _read_error(chain: list[str], path: Path) -> ReadError:
    if os.path.exists(path):
        return ReadError(chain, path)
    error = MissingFileError(chain, path)
    error.errno = errno.ENOENT
    return error


def read(path: Path, *, modern: bool = True, world: bool = True, utf8: bool = True,
         tolerance: float = 0.0, progress: Optional[Progress] = None) -> Drawing:
    """Reads a DXF file, ASCII or binary.

    modern:    kinds outside the ten records (MTEXT, LWPOLYLINE, ELLIPSE,
               HATCH, ...) become records of the ten;
    world:     entities with an extrusion direction placed in world coordinates;
    utf8:      every text in UTF-8 (otherwise texts that are not UTF-8 are taken
               as Windows-1252);
    tolerance: the largest distance between a curve and the polyline standing
               for it, in drawing units; 0: the library's default.
    All three False: the library's plain read.
    progress:  called with the percentage read, once for each whole percent.

    Other threads run while the file is read. Raises ReadError with the report
    chain (MissingFileError for a file that is not there)."""
    drawing, chain = _vexlith.read(os.fsencode(path), _flags(modern, world, utf8), tolerance,
                                   progress)
    if drawing is None:
        raise _read_error(chain, path)
    return Drawing(drawing)


def iter_entities(path: Path, *, modern: bool = True, world: bool = True, utf8: bool = True,
                  tolerance: float = 0.0,
                  progress: Optional[Progress] = None) -> Iterator[Entity]:
    """The entities of the ENTITIES section one at a time, in file order, as
    read() would give them, without keeping the drawing: for files of any
    size. The file is read on another thread a few hundred entities ahead;
    closing the generator (or leaving it) stops the read. A failure raises
    ReadError after the entities read before it."""
    reader = _vexlith.EntityReader(os.fsencode(path), _flags(modern, world, utf8), tolerance,
                                   progress)
    try:
        while (members := reader.next()) is not None:
            yield Entity(members)
        chain = reader.chain()
        if chain:
            raise _read_error(chain, path)
    finally:
        reader.close()
