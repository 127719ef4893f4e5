"""The Windows tool (under Wine) against the Linux tool on every corpus drawing.

Usage: windows_matches_linux.py WINDOWS_TOOL LINUX_TOOL CORPUS OUT

Runs info, dump, convert to both forms and render to SVG with each tool and
compares the exit status, standard output and error (line ends aside, and
the read time masked) and the bytes of every file written. Skipped (77)
without the Linux tool or the corpus.
"""
import concurrent.futures
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


def compare(tools, drawing, out):
    """The differences of one drawing, each a line of text."""
    stem = os.path.join(out, drawing.replace("/", "_"))
    commands = [("dump", ["dump", "{in}"], None),
                ("convert --ascii", ["convert", "{in}", "{out}", "--ascii"], ".dxf"),
                ("convert --binary", ["convert", "{in}", "{out}", "--binary"], ".dxf"),
                ("render", ["render", "{in}", "{out}"], ".svg")]
    differences = []
    for name, arguments, suffix in commands:
        results = []
        for system, tool in tools.items():
            target = f"{stem}.{system}{suffix}" if suffix else ""
            if target and os.path.exists(target):
                os.remove(target)
            filled = [a.format(**{"in": os.path.join(CORPUS, drawing), "out": target})
                      for a in arguments]
            status, stdout, stderr = run([tool] + filled)
            stdout = stdout.replace(target.encode(), b"(out)")
            stderr = stderr.replace(target.encode(), b"(out)")
            results.append((status, stdout, stderr, written(target) if target else None))
        for part, label in enumerate(("status", "stdout", "stderr", "written bytes")):
            if results[0][part] != results[1][part]:
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
