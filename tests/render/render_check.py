"""vexlith render run as a user runs it.

corpus TOOL CORPUS OUT
    Renders every drawing of CORPUS/MANIFEST.tsv to OUT/NAME.svg. A drawing
    listed in expected-failures.tsv must fail to read (status 1); every other
    must render (status 0) within the time and memory limits below, to an SVG
    document that Python's XML parser reads. Skipped (77) without a corpus.

png TOOL DRAWING OUT
    Renders DRAWING to PNG on both backgrounds and checks each file's
    signature and size against what the tool reports. Skipped (77) where
    rsvg-convert is not installed.
"""
import os
import re
import resource
import shutil
import subprocess
import sys
import time
import xml.etree.ElementTree as ElementTree

SECONDS_PER_DRAWING = 60  # generous: the suite also runs under the sanitizers
MEMORY_KIB = 1024 * 1024
SKIPPED = 77


def rows(path):
    with open(path, encoding="utf-8") as table:
        lines = table.read().splitlines()[1:]
    return [line.split("\t") for line in lines if line]


def check_corpus(tool, corpus, out):
    if not os.path.exists(os.path.join(corpus, "MANIFEST.tsv")):
        print(f"no corpus at {corpus}")
        return SKIPPED
    failing = {row[0] for row in rows(os.path.join(corpus, "expected-failures.tsv"))}
    os.makedirs(out, exist_ok=True)
    passed, failed = 0, []
    for row in rows(os.path.join(corpus, "MANIFEST.tsv")):
        name = row[0]
        svg = os.path.join(out, name.replace("/", "_") + ".svg")
        started = time.monotonic()
        try:
            run = subprocess.run([tool, "render", os.path.join(corpus, name), svg],
                                 capture_output=True, text=True, errors="replace",
                                 timeout=SECONDS_PER_DRAWING)
        except subprocess.TimeoutExpired:
            failed.append(f"{name}: not done in {SECONDS_PER_DRAWING} s")
            continue
        seconds = time.monotonic() - started
        memory = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
        problem = None
        if name in failing:
            if run.returncode != 1:
                problem = f"status {run.returncode}, expected the read to fail"
        elif run.returncode != 0:
            problem = f"status {run.returncode}: {run.stderr.strip()}"
        elif memory > MEMORY_KIB:
            problem = f"{memory} KiB resident"
        else:
            try:
                root = ElementTree.parse(svg).getroot()
                if root.tag != "{http://www.w3.org/2000/svg}svg":
                    problem = f"root element {root.tag}"
            except ElementTree.ParseError as error:
                problem = f"SVG does not parse: {error}"
        if problem:
            failed.append(f"{name}: {problem} ({seconds:.1f} s)")
        else:
            passed += 1
    for line in failed:
        print(line)
    print(f"{passed} passed, {len(failed)} failed")
    return 1 if failed else 0


def png_size(path):
    with open(path, "rb") as png:
        head = png.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")


def check_png(tool, drawing, out):
    if not shutil.which("rsvg-convert"):
        print("rsvg-convert is not installed")
        return SKIPPED
    temporary = os.path.join(out, "tmp")
    os.makedirs(temporary, exist_ok=True)
    environment = dict(os.environ, TMPDIR=temporary)
    failed = []
    for width, background in ((320, "black"), (640, "white")):
        png = os.path.join(out, f"picture-{width}.png")
        run = subprocess.run([tool, "render", drawing, png, "--width", str(width),
                              "--background", background],
                             capture_output=True, text=True, env=environment, timeout=120)
        told = re.search(r"(\d+) x (\d+) pixels", run.stdout)
        if run.returncode != 0 or not told:
            failed.append(f"width {width}: status {run.returncode}: {run.stderr.strip()}")
            continue
        expected = (int(told.group(1)), int(told.group(2)))
        size = png_size(png)
        if expected[0] != width or size != expected:
            failed.append(f"width {width}: PNG {size}, the tool says {expected}")
    if os.listdir(temporary):
        failed.append(f"temporary files left behind: {os.listdir(temporary)}")
    for line in failed:
        print(line)
    print(f"{2 - len(failed)} passed, {len(failed)} failed")
    return 1 if failed else 0


def main():
    mode, tool, source, out = sys.argv[1:5]
    return check_corpus(tool, source, out) if mode == "corpus" else check_png(tool, source, out)


if __name__ == "__main__":
    sys.exit(main())
