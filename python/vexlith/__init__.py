# SPDX-License-Identifier: MIT
"""DXF drawings, ASCII and binary, read and written by the vexlith library.

    import vexlith
    drawing = vexlith.read("house.dxf")            # or bytes, or a binary file object
    for entity in drawing.entities:
        print(entity.kind, entity.layer, entity.handle)
    walls = drawing.entities.query(kind="LINE", layer="WALLS")   # a view, no objects made
    points, index = walls.lines()                  # numpy (n, 2, 3) and each row's entity

A read gives a Drawing: its ``header`` (a dict), ``tables``, ``blocks`` and
``entities``. ``entities`` is an EntityView, a sequence that makes an Entity
only for the entity reached; an Entity reads the members of its record
(vexlith.h), named as there, when they are asked for. A view's columns
(kinds(), layers(), lines(), circles(), arcs(), texts(), polylines()) are
numpy arrays made in one pass. ``to_dict()`` is the document that ``vexlith
dump --json`` prints (docs/json.md); ``to_bytes()`` the file write() would
write. ``iter_entities()`` hands out the entities of a file of any size one
at a time. A failure raises ReadError or WriteError, with the library's
report chain. ``recover=True`` reads what a damaged file holds, and
``drawing.repairs`` lists what was repaired.
"""
from __future__ import annotations

import errno
import os

from . import _vexlith
from ._vexlith import KINDS, Arcs, Circles, Entity, EntityView, Lines, Polylines, Texts

TYPE_CHECKING = False
if TYPE_CHECKING:  # typing is not imported at run time: a script that reads starts sooner
    from typing import Any, Callable, Iterator, Optional, Union

    Path = Union[str, os.PathLike[str], os.PathLike[bytes]]
    Source = Union[Path, bytes, bytearray, memoryview, Any]
    Progress = Callable[[float], Any]

__version__: str = _vexlith.__version__
__all__ = ["read", "iter_entities", "Drawing", "Record", "Repair", "Entity", "EntityView", "Block",
           "KINDS",
           "Lines", "Circles", "Arcs", "Texts", "Polylines", "Error", "ReadError",
           "MissingFileError", "WriteError", "__version__"]

Entity.__doc__ = """An entity of a drawing, read from its record when a member is asked for.

``kind`` (also ``type``) is "LINE", "POINT", "CIRCLE", "ARC", "TRACE",
"SOLID", "TEXT", "INSERT", "POLYLINE", "3DFACE", or "INVALID" for a kind kept
without its data; the common members are layerName (also ``layer``),
handle, ltypeName, elevation, thickness, color (256 by layer, 0 by block)
and space (0 model, 1 paper); ``data`` is a Record of the members of its
kind (docs/json.md lists them), which are also the entity's own attributes
where no common member has the name: ``e.start``, ``e.radius``,
``e.vertices`` (Records too). Coordinates are lists [x, y, z]; angles are in
radians. An entity keeps its drawing alive. ``dict(e)`` gives the members
as plain values, ``e.copy()`` an entity that holds a copy of its record
alone."""

EntityView.__doc__ = """Entities of a drawing in file order, as a read-only sequence: len(),
indexing, slicing, selection by an array of positions or a mask of bools (a
view again) and iteration, which makes an Entity for each entity reached. ``query(kind=..., layer=...)`` is the view of the
entities of those kinds and layers (a name or a list of names). The columns
are numpy arrays, each with ``index``, the position in this view of the
entity each row comes from: ``kinds()`` (codes, KINDS[code] the name),
``layers()`` (the names, and each entity's position among them), ``lines()``,
``circles()``, ``arcs()``, ``texts()``, ``polylines()``."""


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


class Block(Record):
    """A block definition: name, basePoint, ... and its ``entities``, an
    EntityView."""


_vexlith.use_record(Record)


class Repair(Record):
    """A repair a recovering read made: ``line`` (of the group's code line;
    0 in a binary file) and ``offset`` (its byte) where the damage is,
    ``action`` ("skipped", "replaced", "inserted", "renamed" or "dropped"),
    ``loss`` (0 the form only, 1 a value changed or made up, 2 data dropped),
    ``count`` (the same repair at that many places), ``found`` (what the file
    held there, or None) and ``message`` (what was done)."""

    _FIELDS = ("line", "offset", "action", "loss", "count", "found", "message")

    @classmethod
    def _all(cls, rows: list[tuple[Any, ...]]) -> list[Repair]:
        return [cls(dict(zip(cls._FIELDS, row))) for row in rows]


class Block(Record):
    """A block definition: name, basePoint, ... and its ``entities``, an
    EntityView."""


class Drawing:
    """A drawing read by read(). The header, tables and blocks are made on
    first use; to_dict(), the views and their columns read the library's
    drawing directly."""

    def __init__(self, drawing: _vexlith.Drawing, repairs: Optional[list[Repair]] = None) -> None:
        self._drawing = drawing
        self._parts: dict[str, Any] = {}
        self.repairs: list[Repair] = repairs or []
        """What a read with recover=True repaired, in file order; empty otherwise."""

    def _part(self, name: str, make: Callable[[], Any]) -> Any:
        if name not in self._parts:
            self._parts[name] = make()
        return self._parts[name]

    def _document(self, part: int, name: str) -> Any:
        return self._drawing.document(part, False)[name]

    @property
    def header(self) -> Optional[dict[str, Any]]:
        """The header variables, named as the record's members (the variable's
        name without "$" in lower case); None when the file has no HEADER."""
        return self._part("header", lambda: self._document(_vexlith.HEADER, "header"))

    @property
    def tables(self) -> Optional[Record]:
        """``ltypes``, ``layers`` and ``styles``, lists of Records; None when
        the file has no TABLES section."""
        def make() -> Optional[Record]:
            tables = self._document(_vexlith.TABLES, "tables")
            return None if tables is None else Record(
                {name: list(map(Record, rows)) for name, rows in tables.items()})
        return self._part("tables", make)

    @property
    def blocks(self) -> list[Block]:
        """The block definitions, in file order."""
        return self._part("blocks", lambda: [Block(dict(members, entities=entities))
                                             for members, entities in self._drawing.blocks()])

    @property
    def entities(self) -> EntityView:
        """The entities of the ENTITIES section, in file order."""
        return self._part("entities", self._drawing.entities)

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
        vertices, starts, _ = self.entities.polylines()
        return vertices, starts

    def write(self, path: Any, *, binary: bool = False, complete: bool = True,
              r12_names: bool = False) -> None:
        """Writes the drawing as a DXF file, ASCII or binary, to a path or a
        binary file object (anything with write()). ``complete`` writes the
        tables, the header variables and every member, so that it reads back
        the same; ``r12_names`` writes names R12 programs accept. Both False:
        the library's plain write. Raises WriteError."""
        if hasattr(path, "write") and not isinstance(path, (str, bytes, os.PathLike)):
            path.write(self.to_bytes(binary=binary, complete=complete, r12=r12_names))
            return
        chain = self._drawing.write(os.fsencode(path), binary, _write_flags(complete, r12_names))
        if chain:
            raise WriteError(chain, path)

    def to_bytes(self, *, binary: bool = False, complete: bool = True, r12: bool = False,
                 name: str = "<bytes>") -> bytes:
        """The file write() would write, as bytes; ``name`` names it in the
        report chain of a failure. Raises WriteError."""
        data, chain = self._drawing.to_bytes(os.fsencode(name), binary,
                                             _write_flags(complete, r12))
        if data is None:
            raise WriteError(chain, name)
        return data


def _write_flags(complete: bool, r12_names: bool) -> int:
    return (_vexlith.WRITE_COMPLETE if complete else 0) | (
        _vexlith.WRITE_R12_NAMES if r12_names else 0)


def _read_flags(modern: bool, world: bool, utf8: bool, recover: bool) -> int:
    return ((_vexlith.READ_MODERN_KINDS if modern else 0) | (_vexlith.READ_WORLD if world else 0)
            | (_vexlith.READ_UTF8 if utf8 else 0) | (_vexlith.READ_RECOVER if recover else 0))


def _source(source: Source, name: Optional[str]) -> tuple[bytes, Any]:
    """(the file's name, None), or (the name the bytes go by, the bytes). A
    DXF drawing holds line ends: bytes without one are a file's name, as
    they were before reads from memory."""
    if isinstance(source, (bytearray, memoryview)) or (
            isinstance(source, bytes) and (b"\n" in source or b"\r" in source)):
        data = source
    elif hasattr(source, "read") and not isinstance(source, (str, bytes, os.PathLike)):
        data = source.read()
        if not isinstance(data, (bytes, bytearray, memoryview)):
            raise TypeError("the file object gave %s, not bytes: open it in binary mode"
                            % type(data).__name__)
        if name is None and isinstance(getattr(source, "name", None), str):
            name = source.name
    else:
        return os.fsencode(source), None
    return os.fsencode("<bytes>" if name is None else name), data


def _read_error(chain: list[str], path: Any, data: Any) -> ReadError:
    if data is not None or os.path.exists(path):
        return ReadError(chain, path)
    error = MissingFileError(chain, path)
    error.errno = errno.ENOENT
    return error


def read(source: Source, *, modern: bool = True, world: bool = True, utf8: bool = True,
         tolerance: float = 0.0, progress: Optional[Progress] = None,
         name: Optional[str] = None, recover: bool = False) -> Drawing:
    """Reads a DXF drawing, ASCII or binary: a file by its path, or bytes in
    memory (bytes, bytearray, memoryview, or a binary file object, anything
    with read()), which ``name`` names in reports ("<bytes>" unless given; a
    file object's own name).

    modern:    kinds outside the ten records (MTEXT, LWPOLYLINE, ELLIPSE,
               HATCH, ...) become records of the ten;
    world:     entities with an extrusion direction placed in world coordinates;
    utf8:      every text in UTF-8 (otherwise texts that are not UTF-8 are taken
               as Windows-1252);
    tolerance: the largest distance between a curve and the polyline standing
               for it, in drawing units; 0: the library's default.
    All three False: the library's plain read.
    progress:  called with the percentage read, once for each whole percent.
    recover:   read what a damaged file holds; ``drawing.repairs`` lists each
               repair (a file with no DXF groups at all still fails).

    Other threads run while the drawing is read. Raises ReadError with the
    report chain (MissingFileError for a file that is not there), ValueError
    for a path or name holding a NUL."""
    path, data = _source(source, name)
    drawing, chain, repairs = _vexlith.read(path, data, _read_flags(modern, world, utf8, recover),
                                            tolerance, progress)
    if drawing is None:
        raise _read_error(chain, os.fsdecode(path) if data is not None else source, data)
    return Drawing(drawing, Repair._all(repairs))


def iter_entities(source: Source, *, modern: bool = True, world: bool = True, utf8: bool = True,
                  tolerance: float = 0.0, progress: Optional[Progress] = None,
                  name: Optional[str] = None, recover: bool = False,
                  repairs: Optional[list[Repair]] = None) -> Iterator[Entity]:
    """The entities of the ENTITIES section one at a time, in file order, as
    read() would give them, without keeping the drawing: for drawings of any
    size (a path or bytes, as read() takes them). The drawing is read on
    another thread, a few batches of a few hundred entities ahead; closing
    the generator (or leaving it) stops the read. An entity is handed over
    without its members being made; one kept past its step keeps the batch
    it came in (a few hundred entities) in memory: keep ``e.copy()`` or
    ``dict(e)`` instead. A failure raises ReadError after the entities read
    before it. With ``recover``, the repairs are appended to ``repairs`` (a
    list) once the read has ended."""
    path, data = _source(source, name)
    reader = _vexlith.EntityReader(path, data, _read_flags(modern, world, utf8, recover),
                                   tolerance, progress)
    try:
        yield from reader
        if repairs is not None:
            repairs.extend(Repair._all(reader.repairs()))
        chain = reader.chain()
        if chain:
            raise _read_error(chain, os.fsdecode(path) if data is not None else source, data)
    finally:
        reader.close()
