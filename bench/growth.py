#!/usr/bin/env python3
"""How the costs of crv grow with the project: one table per size of synthetic project.

For each --sizes N, writes bench/synth_project.py's project of N files into a scratch
folder and measures, with /usr/bin/time (wall seconds and peak resident memory):

  full scan            crv scan (--jobs 1, and the default of one thread per core)
  graph / index        the sizes of info_graph.json and its index
  first hybrid call    crv prime --rank hybrid, which builds the term statistics
  --term-stats         crv scan --term-stats, which counts them as it reads the files,
                       and the first hybrid call after it
  hook, first use      crv hook prompt with no graph yet, the background work it starts,
                       and whether the prompt after that gets the context
  hook, unchanged      crv hook prompt, with its refresh and with --no-refresh
  hook, one changed    crv hook prompt after one file was edited (the background work
                       is waited for before the next row)
  floors               cat of every file, find, git status (after one commit)

  bench/growth.py --crv build/crv --sizes 1000 10000 100000 [--idle SECONDS] [--keep DIR]

Figures are for the machine it runs on; run nothing else meanwhile.
"""
import argparse
import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time

HERE = pathlib.Path(__file__).resolve().parent
QUERY = "fix the refund total on the checkout page"


IDLE = 0.0  # seconds to wait before each timed run (--idle)


def timed(argv, env=None, stdin=None, cwd=None):
    """Wall seconds and peak MiB of one run of `argv`, after IDLE seconds of rest."""
    time.sleep(IDLE)
    with tempfile.NamedTemporaryFile("r") as report:
        command = ["/usr/bin/time", "-o", report.name, "-f", "%e %M"] + argv
        started = time.monotonic()
        with open(stdin or os.devnull, "rb") as given:
            subprocess.run(command, env=env, stdin=given, cwd=cwd, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        seconds = time.monotonic() - started
        kib = report.read().split()[-1]
    return seconds, int(kib) / 1024


def shell_seconds(script, cwd):
    started = time.monotonic()
    subprocess.run(["sh", "-c", script], cwd=cwd, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.monotonic() - started


def wait_for_background(data):
    """Waits until no worker holds the project's work lock."""
    lock = data / "info_graph.work"
    for _ in range(6000):
        if not lock.exists():
            return
        probe = subprocess.run(["flock", "-n", str(lock), "true"])
        if probe.returncode == 0:
            return
        time.sleep(0.1)


def measure(crv, files, scratch, term_stats):
    project = scratch / f"p{files}"
    data = scratch / f"d{files}"
    shutil.rmtree(project, ignore_errors=True)
    shutil.rmtree(data, ignore_errors=True)
    subprocess.run([sys.executable, str(HERE / "synth_project.py"), str(project),
                    "--files", str(files)], check=True, stdout=subprocess.DEVNULL)
    env = dict(os.environ, CRV_DATA_DIR=str(data), CORVEL_PROJECT_ROOT=str(project))
    event = scratch / "event.json"
    event.write_text(json.dumps({"prompt": QUERY, "cwd": str(project)}))
    rows = []
    # First use: no graph yet. The hook hands the scan to the background when it would
    # not fit its limit; the prompt after the worker ended gets the full context.
    first = timed([crv, "hook", "prompt"], env, event)
    rows.append(("hook, first use", *first))
    started = time.monotonic()
    wait_for_background(data)
    rows.append(("background work of first use", time.monotonic() - started, None))
    answer = subprocess.run([crv, "hook", "prompt"], env=env, stdin=open(event, "rb"),
                            capture_output=True, text=True).stdout
    rows.append((f"hook after it ({'context' if 'Relevant Files' in answer else 'EMPTY'})",
                 *timed([crv, "hook", "prompt"], env, event)))
    rows.append(("full scan, --jobs 1", *timed([crv, "scan", "--jobs", "1"], env, cwd=project)))
    rows.append(("full scan", *timed([crv, "scan"], env, cwd=project)))
    graph = data / "info_graph.json"
    index = data / "info_graph.index"
    sizes = (graph.stat().st_size / 1e6, index.stat().st_size / 1e6 if index.exists() else 0)
    rows.append(("first hybrid call",
                 *timed([crv, "prime", "--rank", "hybrid", "--query", QUERY], env, cwd=project)))
    if term_stats:
        rows.append(("full scan, --term-stats",
                     *timed([crv, "scan", "--term-stats"], env, cwd=project)))
        rows.append(("first hybrid call after it",
                     *timed([crv, "prime", "--rank", "hybrid", "--query", QUERY], env,
                            cwd=project)))
    rows.append(("hook, unchanged", *timed([crv, "hook", "prompt"], env, event)))
    rows.append(("hook, unchanged, --no-refresh",
                 *timed([crv, "hook", "prompt", "--no-refresh"], env, event)))
    edited = sorted(project.rglob("*.py"))[0]
    edited.write_text(edited.read_text() + "\ndef refund_total_fixed():\n    return 0\n")
    rows.append(("hook, one file changed", *timed([crv, "hook", "prompt"], env, event)))
    wait_for_background(data)
    rows.append(("hook, after that", *timed([crv, "hook", "prompt"], env, event)))
    floors = [
        ("floor: cat of every file", shell_seconds("find . -type f -print0 | xargs -0 cat", project)),
        ("floor: find", shell_seconds("find . >/dev/null", project)),
    ]
    subprocess.run("git init -q && git add -A && git -c user.name=b -c user.email=b@b "
                   "commit -qm base", shell=True, cwd=project, check=True)
    floors.append(("floor: git status", shell_seconds("git status --porcelain", project)))
    return rows, sizes, floors


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--crv", required=True)
    parser.add_argument("--sizes", type=int, nargs="+", default=[1000, 10000])
    parser.add_argument("--no-term-stats", action="store_true",
                        help="leave out the --term-stats rows (for builds without the option)")
    parser.add_argument("--idle", type=float, default=0.0,
                        help="seconds of rest before each timed run, as between prompts "
                             "(memory freed by the last run may then have gone back to the "
                             "host of a virtual machine)")
    parser.add_argument("--keep", help="scratch folder to use and keep (default: a temporary one)")
    args = parser.parse_args()
    global IDLE
    IDLE = args.idle
    crv = str(pathlib.Path(args.crv).resolve())
    scratch = pathlib.Path(args.keep or tempfile.mkdtemp(prefix="plinthar-growth-"))
    scratch.mkdir(parents=True, exist_ok=True)
    try:
        for files in args.sizes:
            rows, (graph_mb, index_mb), floors = measure(crv, files, scratch, not args.no_term_stats)
            print(f"## {files} files: graph {graph_mb:.1f} MB, index {index_mb:.1f} MB")
            for name, seconds, mib in rows:
                peak = "" if mib is None else f" {mib:8.0f} MiB"
                print(f"{name:34} {seconds:7.3f} s{peak}")
            for name, seconds in floors:
                print(f"{name:34} {seconds:7.3f} s")
            print(flush=True)
            shutil.rmtree(scratch / f"p{files}", ignore_errors=True)
    finally:
        if not args.keep:
            shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
