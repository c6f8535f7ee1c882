#!/usr/bin/env python3
"""Times mapforge and crv on a project tree and prints medians beside floors.

Usage: bench/run_bench.py [--tree DIR | --synthetic N] [--build build] [--runs 5] [--edit-tree]

For each step it runs a warm-up, then --runs measured runs, and reports the median
wall time, user time and peak resident memory (from wait4). Floors, measured in the
same run on the same files: reading every scanned file (cat), one ripgrep pass
(-j1) of the path-mention pattern over them, reading the graph file, and /bin/true.

crv reads the graph that mapforge wrote, with the graph index beside it. The rows with
--refresh after a change append a comment line to one file of the tree before each
run: done on the synthetic tree, and on a --tree only with --edit-tree.
"""
import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

TASKS = [
    "fix the invoice button on the admin portal",
    "why does POST /api/orders return 500",
    "add a unit test for the checkout payment flow",
    "refactor the order list table",
    "explain the architecture of the billing service",
    "the status badge shows the wrong colour",
    "add a new export report page",
    "crash when the cart is empty",
    "update the user profile schema",
    "General codebase maintenance task",
]
LIST_FILES = """
import json, os, sys
graph = json.load(open(sys.argv[1], encoding="utf-8"))
files = [os.path.join(sys.argv[2], n["id"]) for n in graph["nodes"] if n.get("kind") == "file"]
print(json.dumps([files, graph["node_count"]]))
"""
PATH_MENTION = r"([A-Za-z0-9_\-\/]+\.(go|py|tsx|ts|jsx|json|js|swift|md|yaml|yml))"


def run_once(argv, env=None, stdout=subprocess.DEVNULL, cwd=None):
    start = time.perf_counter()
    proc = subprocess.Popen(argv, stdout=stdout, stderr=subprocess.PIPE, env=env, cwd=cwd)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    code = os.waitstatus_to_exitcode(status)
    if code not in (0, 1) or (code == 1 and "rg" not in argv[0]):
        sys.exit(f"command failed ({code}): {' '.join(argv)}\n{err}")
    return wall, usage.ru_utime, usage.ru_maxrss / 1024.0


def measure(argv, runs, env=None, before=None, cwd=None):
    if before:
        before()
    run_once(argv, env, cwd=cwd)  # warm-up
    samples = []
    for _ in range(runs):
        if before:
            before()
        samples.append(run_once(argv, env, cwd=cwd))
    return tuple(statistics.median(s[i] for s in samples) for i in range(3))


def row(name, figures, extra=""):
    wall, user, rss = figures
    print(f"{name:<34} {wall * 1000:9.1f} ms {user * 1000:9.1f} ms {rss:8.1f} MB  {extra}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tree", help="project to scan (default: a synthetic one)")
    parser.add_argument("--synthetic", type=int, default=10000, help="files of the synthetic tree")
    parser.add_argument("--build", default="build", help="build directory with mapforge and crv")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--edit-tree", action="store_true",
                        help="let the refresh rows change a file of the --tree")
    args = parser.parse_args()

    build = os.path.abspath(args.build)
    work = tempfile.mkdtemp(prefix="plinthar-bench-")
    try:
        tree = args.tree
        if not tree:
            tree = os.path.join(work, "project")
            here = os.path.dirname(os.path.abspath(__file__))
            subprocess.run([sys.executable, os.path.join(here, "synth_project.py"), tree,
                            "--files", str(args.synthetic)], check=True)
        tree = os.path.realpath(tree)
        out = os.path.join(work, "scan", "info_graph.json")
        os.makedirs(os.path.dirname(out))
        mapforge = [os.path.join(build, "mapforge"), "--root", tree, "--out", out]

        print(f"tree: {tree}")
        print(f"{'step':<34} {'wall':>12} {'user':>12} {'peak RSS':>11}")
        fresh = lambda: os.path.exists(out) and os.remove(out)
        full = measure(mapforge, args.runs, before=fresh)
        subprocess.run(mapforge, check=True, stdout=subprocess.DEVNULL)
        # The graph is read in a child process: a child's peak memory as reported by wait4
        # includes what it inherited from this process, so this one stays small.
        files, node_count = json.loads(subprocess.run(
            [sys.executable, "-c", LIST_FILES, out, tree], check=True,
            capture_output=True).stdout)
        source_bytes = sum(os.path.getsize(f) for f in files)
        mb = source_bytes / 1e6
        row("mapforge full scan", full, f"{mb / full[0]:.1f} MB/s of {mb:.1f} MB, "
            f"{len(files)} files, {node_count} nodes")
        rescan = measure(mapforge, args.runs)
        row("mapforge unchanged rescan", rescan, f"{rescan[0] / full[0]:.3f}x the full scan")

        list_file = os.path.join(work, "files.txt")
        with open(list_file, "wb") as handle:
            handle.write(b"\0".join(f.encode() for f in files))
        # Piped through wc so that cat really reads (it may splice straight to /dev/null).
        cat = measure(["sh", "-c", f"xargs -0 cat < '{list_file}' | wc -c > /dev/null"], args.runs)
        row("floor: read every file (cat)", cat, f"scan = {full[0] / cat[0]:.1f}x this floor")
        if shutil.which("rg"):
            rg = measure(["sh", "-c", f"xargs -0 rg -j1 -o --no-filename -c '{PATH_MENTION}' "
                          f"< '{list_file}' > /dev/null; true"], args.runs)
            row("floor: rg -j1 path-mention pass", rg, f"scan = {full[0] / rg[0]:.1f}x")

        graph_mb = os.path.getsize(out) / 1e6
        row("floor: read the graph file",
            measure(["dd", f"if={out}", "of=/dev/null", "bs=1M", "status=none"], args.runs),
            f"{graph_mb:.1f} MB")

        # crv copied beside a data directory that is mapforge's output folder, so that the
        # graph index mapforge wrote stays current for it.
        crv_dir = os.path.join(work, "crv")
        os.makedirs(crv_dir)
        os.symlink(os.path.dirname(out), os.path.join(crv_dir, "data"))
        shutil.copy2(os.path.join(build, "crv"), crv_dir)
        crv = os.path.join(crv_dir, "crv")
        index = os.path.join(os.path.dirname(out), "info_graph.index")
        env = dict(os.environ, CORVEL_PROJECT_ROOT=tree)
        for command in ("prime", "retrieve"):
            figures = []
            for task in TASKS:
                argv = [crv, command, "--query", task] + (["--json"] if command == "retrieve" else [])
                figures.append(measure(argv, max(1, args.runs // 2), env))
            med = tuple(statistics.median(f[i] for f in figures) for i in range(3))
            row(f"crv {command}{' --json' if command == 'retrieve' else ''} (10 tasks)", med,
                f"max {max(f[0] for f in figures) * 1000:.1f} ms; RSS/graph "
                f"{med[2] / graph_mb:.2f}")
        prime = [crv, "prime", "--query", TASKS[0]]
        drop_index = lambda: os.path.exists(index) and os.remove(index)
        row("crv prime, index rebuilt", measure(prime, args.runs, env, before=drop_index),
            "first call after the graph changed")
        row("crv prime --refresh, unchanged", measure(prime + ["--refresh"], args.runs, env))
        if not args.tree or args.edit_tree:
            edited = files[len(files) // 2]
            append = lambda: open(edited, "a").write("\n# edited by run_bench\n")
            # The status of a file changed within 50 ms of the last refresh is not trusted,
            # so each run waits past that before its edit.
            settle = lambda: (time.sleep(0.06), append(), time.sleep(0.06))
            row("crv prime --refresh, 1 file changed",
                measure(prime + ["--refresh"], args.runs, env, before=settle), edited)
            row("mapforge rescan, 1 file changed", measure(mapforge, args.runs, before=settle))
        row("floor: /bin/true", measure(["true"], args.runs))
        row("crv stats (empty log)", measure([crv, "stats"], args.runs, env))
        row("crv action log", measure([crv, "action", "log", "--kind", "bench", "--summary", "x"],
                                      args.runs, env))
        row("crv --help (start-up)", measure([crv, "--help"], args.runs, env))
        empty_dir = os.path.join(work, "crv-empty")
        os.makedirs(os.path.join(empty_dir, "data"))
        shutil.copy2(crv, empty_dir)
        with open(os.path.join(empty_dir, "data", "info_graph.json"), "w") as handle:
            handle.write('{"nodes": [], "edges": []}')
        row("crv prime on an empty graph", measure([os.path.join(empty_dir, "crv"), "prime"],
                                                   args.runs, env))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
