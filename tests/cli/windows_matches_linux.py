"""The Windows tool (under Wine) against the Linux tool on every corpus drawing.

Usage: windows_matches_linux.py WINDOWS_TOOL LINUX_TOOL CORPUS OUT

Runs info, dump, convert to both forms and render to SVG with each tool and
compares the exit status, standard output and error (line ends aside, and
the read time masked) and the bytes of every file written. Converted files
whose bytes differ are compared as drawings: the Linux tool dumps both as
JSON, and reals need only agree to 1e-13 (relative). The curves
the read options flatten are computed with the platform's sin, cos and pow,
which are not correctly rounded and differ between glibc and the Windows
runtime in the last bit of some results; the files then spell those reals
differently. A command whose status differs is run once more with both
tools: under load, a Windows convert's status once differed and did not
again. Skipped (77) without the Linux tool or the corpus.
"""
import concurrent.futures
import json
import math
import os
import re
import subprocess
import sys

SKIPPED = 77
TIME = re.compile(rb"read in: +[0-9.]+ ms")


def run(command):
    done = subprocess.run(command, capture_output=True, timeout=300)
    clean = lambda text: TIME.sub(b"read in: (time)", text.replace(b"\r\n", b"\n"))
    return done.returncode, clean(done.stdout), clean(done.stderr)


def written(path):
    if not os.path.exists(path):
        return None
    with open(path, "rb") as file:
        return file.read()


def same_numbers(a, b):
    """JSON values equal, reals to 1e-13 (relative)."""
    if isinstance(a, float) or isinstance(b, float):
        return (isinstance(a, (int, float)) and isinstance(b, (int, float))
                and math.isclose(a, b, rel_tol=1e-13, abs_tol=1e-300))
    if isinstance(a, dict) and isinstance(b, dict):
        return a.keys() == b.keys() and all(same_numbers(a[key], b[key]) for key in a)
    if isinstance(a, list) and isinstance(b, list):
        return len(a) == len(b) and all(same_numbers(x, y) for x, y in zip(a, b))
    return a == b


def same_drawing(linux, first, second):
    """Whether two written DXF files hold the same drawing, as read by the Linux tool."""
    dumps = [subprocess.run([linux, "dump", "--json", "--strict", path], capture_output=True)
             for path in (first, second)]
    if any(done.returncode != 0 for done in dumps):
        return False
    return same_numbers(*(json.loads(done.stdout) for done in dumps))


def compare(tools, drawing, out):
    """The differences of one drawing, each a line of text."""
    stem = os.path.join(out, drawing.replace("/", "_"))
    commands = [("dump", ["dump", "{in}"], None),
                ("convert --ascii", ["convert", "{in}", "{out}", "--ascii"], ".dxf"),
                ("convert --binary", ["convert", "{in}", "{out}", "--binary"], ".dxf"),
                ("render", ["render", "{in}", "{out}"], ".svg")]
    differences = []
    for name, arguments, suffix in commands:
        def results():
            found = []
            for system, tool in tools.items():
                target = f"{stem}.{system}{suffix}" if suffix else ""
                if target and os.path.exists(target):
                    os.remove(target)
                filled = [a.format(**{"in": os.path.join(CORPUS, drawing), "out": target})
                          for a in arguments]
                status, stdout, stderr = run([tool] + filled)
                stdout = stdout.replace(target.encode(), b"(out)")
                stderr = stderr.replace(target.encode(), b"(out)")
                found.append((status, stdout, stderr, written(target) if target else None))
            return found
        found = results()
        if found[0][0] != found[1][0]:
            found = results()
        for part, label in enumerate(("status", "stdout", "stderr", "written bytes")):
            if found[0][part] == found[1][part]:
                continue
            if (label == "written bytes" and suffix == ".dxf" and found[0][0] == 0
                    and same_drawing(tools["linux"], *(f"{stem}.{system}{suffix}" for system in tools))):
                continue
            differences.append(f"{drawing}: {name}: {label} differs")
    return differences


def main():
    global CORPUS
    windows, linux, CORPUS, out = sys.argv[1:5]
    if not os.path.exists(linux):
        print(f"skipped: no Linux tool at {linux} (build the release preset first)")
        return SKIPPED
    manifest = os.path.join(CORPUS, "MANIFEST.tsv")
    if not os.path.exists(manifest):
        print(f"skipped: no corpus at {CORPUS}")
        return SKIPPED
    with open(manifest, encoding="utf-8") as table:
        drawings = [line.split("\t")[0] for line in table.read().splitlines()[1:] if line]
    os.makedirs(out, exist_ok=True)
    tools = {"windows": windows, "linux": linux}
    paths = [os.path.join(CORPUS, drawing) for drawing in drawings]
    info = {system: run([tool, "info"] + paths) for system, tool in tools.items()}
    differences = [] if info["windows"] == info["linux"] else ["info of the corpus differs"]
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        for found in pool.map(lambda drawing: compare(tools, drawing, out), drawings):
            differences += found
    for difference in differences:
        print(difference)
    print(f"{len(drawings)} drawings: info, dump, convert in both forms and render to SVG "
          f"compared, {len(differences)} differences")
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
