# SPDX-License-Identifier: MIT
"""The Python package against the tool and the library: VEXLITH_TOOL names the
vexlith program, VEXLITH_CORPUS_DIR the drawings of other producers."""
import gc
import io
import json
import os
import subprocess
import sys
import threading

import numpy
import pytest

import vexlith

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
EXAMPLE = os.path.join(ROOT, "examples", "house.dxf")
TOOL = os.environ.get("VEXLITH_TOOL")
CORPUS = os.environ.get("VEXLITH_CORPUS_DIR", os.path.join(ROOT, "..", "shared", "corpus"))
STRICT = dict(modern=False, world=False, utf8=False)


def corpus():
    try:
        with open(os.path.join(CORPUS, "MANIFEST.tsv"), encoding="utf-8") as manifest:
            return [line.split("\t")[0] for line in manifest.read().splitlines()[1:]]
    except OSError:
        return [pytest.param(None, marks=pytest.mark.skip(reason="no corpus at " + CORPUS))]


def tool_knows_strict():
    return TOOL and "--strict" in subprocess.run([TOOL, "dump", "--help"], capture_output=True,
                                                 text=True).stdout


@pytest.mark.skipif(not TOOL, reason="VEXLITH_TOOL names no vexlith program")
@pytest.mark.parametrize("name", corpus())
def test_the_tools_document_and_the_entities_one_by_one(name):
    path = os.path.join(CORPUS, name)
    # Until the tool reads with every option by default, its plain read is the strict one.
    reads = [(STRICT, ["--strict"] if tool_knows_strict() else [])]
    if tool_knows_strict():
        reads.append(({}, []))
    for options, strict in reads:
        tool = subprocess.run([TOOL, "dump", "--json", path] + strict, capture_output=True)
        data = open(path, "rb").read()
        try:
            drawing = vexlith.read(path, **options)
        except vexlith.ReadError as error:
            # The same chain as the tool's, which prints "function: message" a level.
            assert tool.returncode == 1
            shown = [line for line in tool.stderr.decode("utf-8", "replace").splitlines()
                     if not line.startswith("vexlith: ")][-len(error.chain):]  # not its hint
            assert [line.split(": ", 1)[1] for line in shown] == error.chain
            with pytest.raises(vexlith.ReadError):
                list(vexlith.iter_entities(path, **options))
            # The same bytes in memory, named as the file, fail with the same chain.
            with pytest.raises(vexlith.ReadError) as again:
                vexlith.read(data, name=path, **options)
            assert again.value.chain == error.chain
            continue
        assert tool.returncode == 0, tool.stderr
        assert drawing.to_dict() == json.loads(tool.stdout)
        # repr: NaN is unequal to itself.
        assert repr(list(vexlith.iter_entities(path, **options))) == repr(drawing.entities)
        assert repr(vexlith.read(data, **options).to_dict()) == repr(drawing.to_dict())
        # Every member of a kind's data is also the entity's own attribute.
        for entity in drawing.entities:
            members = {k: v for k, v in vars(entity.data).items() if k not in ("type", "elevation")}
            assert repr({k: getattr(entity, k) for k in members}) == repr(members)


@pytest.mark.parametrize("binary", [False, True])
@pytest.mark.parametrize("complete", [False, True])
def test_write_and_read_back(tmp_path, binary, complete):
    drawing = vexlith.read(EXAMPLE)
    drawing.write(tmp_path / "out.dxf", binary=binary, complete=complete)
    again = vexlith.read(tmp_path / "out.dxf")
    if complete:
        if not again.tables.layers:
            pytest.skip("this library accepts QDXF_WRITE_COMPLETE but writes no table entries yet")
        assert again.to_dict() == drawing.to_dict()
    # The plain write keeps the geometry of every kind but 3DFACE.
    for kind in ("LINE", "POINT", "CIRCLE", "ARC", "TRACE", "SOLID", "TEXT", "INSERT"):
        assert numpy.array_equal(again.points(kind), drawing.points(kind)), kind
    assert all(map(numpy.array_equal, again.polylines(), drawing.polylines()))
    with pytest.raises(vexlith.WriteError) as failed:
        drawing.write(tmp_path / "no" / "such" / "folder.dxf")
    assert failed.value.chain and str(failed.value) == ": ".join(failed.value.chain)


def test_a_bad_file_and_a_missing_one(tmp_path):
    cut = tmp_path / "cut.dxf"
    whole = open(EXAMPLE, "rb").read()
    cut.write_bytes(whole[:whole.index(b"\nLINE\n", whole.index(b"ENTITIES")) + 12])
    with pytest.raises(vexlith.ReadError) as failed:
        vexlith.read(cut)
    assert len(failed.value.chain) > 2 and str(failed.value) == ": ".join(failed.value.chain)
    assert "cut.dxf" in failed.value.chain[-1] and failed.value.filename == cut
    entities = vexlith.iter_entities(cut)
    assert next(entities).kind == "POLYLINE"
    with pytest.raises(vexlith.ReadError):
        list(entities)
    with pytest.raises(FileNotFoundError) as missing:
        vexlith.read(tmp_path / "missing.dxf")
    assert isinstance(missing.value, vexlith.ReadError) and missing.value.errno == 2


def test_a_cut_file_recovered(tmp_path):
    cut = tmp_path / "cut.dxf"
    whole = open(EXAMPLE, "rb").read()
    cut.write_bytes(whole[:whole.index(b"\nLINE\n", whole.index(b"ENTITIES")) + 12])
    drawing = vexlith.read(cut, recover=True)
    (repair,) = drawing.repairs
    assert (repair.action, repair.loss, repair.count, repair.found) == ("dropped", 2, 1, "LINE")
    assert whole.split(b"\n")[repair.line - 1:repair.line + 1] == [b"  0", b"LINE"]
    assert whole[repair.offset:].startswith(b"  0\nLINE\n") and "LINE" in repair.message
    repairs = []
    kinds = [e.kind for e in vexlith.iter_entities(cut, recover=True, repairs=repairs, **STRICT)]
    assert repairs == drawing.repairs and kinds == ["POLYLINE"] == [e.kind for e in drawing.entities]
    assert vexlith.read(EXAMPLE, recover=True).repairs == [] == vexlith.read(EXAMPLE).repairs


def test_the_arrays_hold_the_entities_points():
    drawing = vexlith.read(EXAMPLE)
    points_of = {"LINE": lambda d: [d.start, d.end], "POINT": lambda d: [d.location],
                 "CIRCLE": lambda d: [d.center], "ARC": lambda d: [d.center],
                 "TRACE": lambda d: d.corner, "SOLID": lambda d: d.corner,
                 "TEXT": lambda d: [d.insertionPoint], "INSERT": lambda d: [d.insertionPoint],
                 "3DFACE": lambda d: [vertex.location for vertex in d.vertices]}
    for kind, points in points_of.items():
        expected = [points(e.data) for e in drawing.entities if e.kind == kind]
        assert drawing.points(kind).tolist() == expected, kind
    vertices, starts = drawing.polylines()
    polylines = [e.data.vertices for e in drawing.entities if e.kind == "POLYLINE"]
    assert vertices.shape == (sum(map(len, polylines)), 3) and len(starts) == len(polylines) + 1
    for i, polyline in enumerate(polylines):
        assert vertices[starts[i]:starts[i + 1]].tolist() == [v.location for v in polyline]


def test_progress_and_what_it_raises():
    shown = []
    vexlith.read(EXAMPLE, progress=shown.append)
    assert shown == sorted(shown) and 0 <= shown[0] and 99 <= shown[-1] <= 100
    assert len({int(percent) for percent in shown}) == len(shown)

    def stop(percent):
        raise KeyboardInterrupt
    for reader in (vexlith.read, lambda path, **kw: list(vexlith.iter_entities(path, **kw))):
        with pytest.raises(KeyboardInterrupt):
            reader(EXAMPLE, progress=stop)


@pytest.fixture(scope="module")
def big(tmp_path_factory):
    """60,000 LINEs."""
    big = tmp_path_factory.mktemp("big") / "big.dxf"
    lines = "".join("0\nLINE\n8\n0\n10\n%d\n20\n0\n11\n1\n21\n%d\n" % (i, i) for i in range(60000))
    big.write_text("0\nSECTION\n2\nENTITIES\n%s0\nENDSEC\n0\nEOF\n" % lines)
    return big


def test_two_threads_read_at_once(big, tmp_path):
    drawings = []
    threads = [threading.Thread(target=lambda: drawings.append(vexlith.read(big).points("LINE")))
               for _ in range(2)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert drawings[0].shape == (60000, 2, 3) and numpy.array_equal(*drawings)
    # A read waiting for its file's bytes lets the thread that writes them run.
    fifo = tmp_path / "fifo.dxf"
    os.mkfifo(fifo)
    code = ("import sys, threading, vexlith\n"
            "reader = threading.Thread(target=vexlith.read, args=[sys.argv[1]])\n"
            "reader.start()\n"
            "with open(sys.argv[1], 'wb') as fifo: fifo.write(open(sys.argv[2], 'rb').read())\n"
            "reader.join()\n")
    assert subprocess.run([sys.executable, "-c", code, fifo, EXAMPLE], timeout=60).returncode == 0


def test_a_generator_left_early_stops_the_read(big):
    entities = vexlith.iter_entities(big)
    assert next(entities).kind == "LINE"
    entities.close()
    # Entities kept past their step, from batches long handed over, keep their records.
    kept = list(vexlith.iter_entities(big))
    assert kept[::997] == vexlith.read(big).entities[::997]
    # One left open at exit, its worker waiting to hand over more, is closed
    # before the interpreter finalizes.
    code = "import sys, vexlith; entities = vexlith.iter_entities(sys.argv[1]); next(entities)"
    assert subprocess.run([sys.executable, "-c", code, big]).returncode == 0


def test_the_version_is_the_librarys():
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as cmake:
        assert "VERSION %s\n" % vexlith.__version__ in cmake.read()


def test_views_outlive_the_drawing_and_slice_as_lists():
    entities = vexlith.read(EXAMPLE).entities
    door = vexlith.read(EXAMPLE).blocks[0].entities
    gc.collect()
    as_list = list(entities)
    assert len(entities) == len(as_list) == 10 and entities == as_list
    for index in (slice(None), slice(2, 8), slice(None, None, -3), slice(-4, 100, 2), slice(5, 2)):
        assert entities[index] == as_list[index] and entities[index][:] == as_list[index]
    assert entities[-1] == as_list[-1] and entities.index(as_list[4]) == 4
    assert as_list[4] in entities and entities.count(as_list[4]) == 1
    with pytest.raises(IndexError):
        entities[10]
    kept = entities[1]
    del entities, as_list
    gc.collect()
    assert kept.kind == "LINE" and kept.start == [-5.0, 60.0, 0.0] and kept.layer == "ROOF"
    assert [e.kind for e in door] == ["POLYLINE", "ARC", "POINT"]
    with pytest.raises(TypeError):
        hash(kept)
    # copy() and dict() hold what the entity held, without its drawing.
    assert kept.copy() == kept and dict(kept.copy()) == dict(kept)
    assert dict(kept)["data"] == {"start": [-5.0, 60.0, 0.0], "end": [50.0, 90.0, 0.0]}


@pytest.mark.parametrize("kind, layer", [("LINE", None), (None, "ROOF"), (["TEXT", "LINE"], "0"),
                                         ("3DFACE", ["GARDEN", "WALLS"]), ("INVALID", None),
                                         (None, "no such layer")])
def test_query_against_a_filter(kind, layer):
    entities = vexlith.read(EXAMPLE).entities
    kinds = [kind] if isinstance(kind, str) else kind
    layers = [layer] if isinstance(layer, str) else layer
    expected = [e for e in entities if (kinds is None or e.kind in kinds)
                and (layers is None or e.layer in layers)]
    assert entities.query(kind=kind, layer=layer) == expected
    with pytest.raises(ValueError):
        entities.query(kind="SPLINE")


@pytest.mark.parametrize("part", ["entities", "block"])
def test_the_columns_hold_the_records(part):
    drawing = vexlith.read(EXAMPLE)
    view = drawing.entities if part == "entities" else drawing.blocks[0].entities
    assert [vexlith.KINDS[code] for code in view.kinds()] == [e.kind for e in view]
    names, positions = view.layers()
    assert [names[i] for i in positions] == [e.layer for e in view] and len(set(names)) == len(names)
    columns = [("LINE", view.lines, lambda e: [[e.start, e.end]]),
               ("CIRCLE", view.circles, lambda e: [e.center, e.radius]),
               ("ARC", view.arcs, lambda e: [e.center, e.radius, e.startAngle, e.endAngle]),
               ("TEXT", view.texts, lambda e: [e.insertionPoint, e.height, e.angle, e.text])]
    for kind, column, members in columns:
        *arrays, index = column()
        rows = [[array[row].tolist() if hasattr(array, "tolist") else array[row]
                 for array in arrays] for row in range(len(index))]
        assert rows == [members(view[i]) for i in index]
        assert list(index) == [i for i, e in enumerate(view) if e.kind == kind]
        # A column's index (or a mask of the view's length) selects its entities.
        assert view[index] == view[view.kinds() == vexlith.KINDS.index(kind)] == [
            view[i] for i in index]
    vertices, starts, index = view.polylines()
    assert [vertices[starts[k]:starts[k + 1]].tolist() for k in range(len(index))] == [
        [v.location for v in view[i].vertices] for i in index]


@pytest.mark.parametrize("binary", [False, True])
def test_bytes_in_and_out(tmp_path, binary):
    drawing = vexlith.read(EXAMPLE)
    data = drawing.to_bytes(binary=binary)
    drawing.write(tmp_path / "out.dxf", binary=binary)
    assert (tmp_path / "out.dxf").read_bytes() == data
    with open(tmp_path / "file.dxf", "wb") as out:
        drawing.write(out, binary=binary)
    assert (tmp_path / "file.dxf").read_bytes() == data
    for source in (data, bytearray(data), memoryview(data), io.BytesIO(data)):
        assert vexlith.read(source).to_dict() == vexlith.read(tmp_path / "out.dxf").to_dict()
    assert list(vexlith.iter_entities(data)) == list(vexlith.read(data).entities)
    for name, shown in ((None, "<bytes>"), ("upload.dxf", "upload.dxf")):
        with pytest.raises(vexlith.ReadError) as failed:
            vexlith.read(data[:len(data) // 2], name=name)
        # (A binary file's chain names a byte offset, not the file.)
        assert failed.value.filename == shown and (binary or shown in failed.value.chain[-1])
    # Bytes without a line end are a file's name, as before reads from memory.
    assert vexlith.read(os.fsencode(EXAMPLE)).to_dict() == drawing.to_dict()
    with pytest.raises(TypeError):
        vexlith.read(io.StringIO(data.decode("latin-1")))


def test_a_path_holding_a_nul_is_refused(tmp_path):
    keep = tmp_path / "keep.txt"
    keep.write_text("kept")
    drawing = vexlith.read(EXAMPLE)
    for call in (lambda: vexlith.read(EXAMPLE + "\0.txt"),
                 lambda: list(vexlith.iter_entities(EXAMPLE + "\0.txt")),
                 lambda: drawing.write(str(keep) + "\0.dxf"),
                 lambda: drawing.write(os.fsencode(keep) + b"\0.dxf", binary=True),
                 lambda: drawing.to_bytes(name="a\0b"),
                 lambda: vexlith.read(open(EXAMPLE, "rb").read(), name="a\0b")):
        with pytest.raises(ValueError):
            call()
    assert keep.read_text() == "kept"
