#!/usr/bin/env python3
"""Peak memory of a full scan and of crv prime, for boards with little memory.

Usage: bench/board_memory.py [--build build-armhf] [--emulator "qemu-arm -L build-armhf/sysroot"]
                             [--synthetic 10000] [--budget-mb 300]

Scans a synthetic project (bench/synth_project.py) with mapforge, then runs crv prime
for each benchmark task on that graph, and prints the peak resident memory of each run
(from wait4) against the budget: what a 1 GB board leaves to one process. Under an
emulator such as qemu-user the figure is that of the emulator's process, which holds the
program's memory and the emulator's own; the emulator's share is shown by a run of
`crv --help`, which allocates next to nothing. That floor also holds the memory of this
Python process at the moment it starts the run (about 14 MB), which the kernel counts in
the child's peak.
"""
import argparse
import os
import shlex
import shutil
import subprocess
import sys
import tempfile

from run_bench import TASKS


def peak_mb(argv, env=None):
    proc = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    _, status, usage = os.wait4(proc.pid, 0)
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"command failed: {' '.join(argv)}\n{err}")
    return usage.ru_maxrss / 1024.0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build", help="build directory with mapforge and crv")
    parser.add_argument("--emulator", default="", help="command that runs the built programs")
    parser.add_argument("--synthetic", type=int, default=10000, help="files of the synthetic tree")
    parser.add_argument("--budget-mb", type=float, default=300.0)
    args = parser.parse_args()

    build = os.path.abspath(args.build)
    emulator = shlex.split(args.emulator)
    work = tempfile.mkdtemp(prefix="plinthar-board-")
    try:
        tree = os.path.join(work, "project")
        here = os.path.dirname(os.path.abspath(__file__))
        subprocess.run([sys.executable, os.path.join(here, "synth_project.py"), tree,
                        "--files", str(args.synthetic)], check=True, stdout=subprocess.DEVNULL)
        crv_dir = os.path.join(work, "crv")
        graph = os.path.join(crv_dir, "data", "info_graph.json")
        os.makedirs(os.path.dirname(graph))
        shutil.copy2(os.path.join(build, "crv"), crv_dir)
        crv = emulator + [os.path.join(crv_dir, "crv")]

        rows = [("floor: crv --help (with the emulator, if any)", peak_mb(crv + ["--help"]))]
        rows.append((f"mapforge full scan ({args.synthetic} files)",
                     peak_mb(emulator + [os.path.join(build, "mapforge"), "--root", tree,
                                         "--out", graph])))
        env = dict(os.environ, CORVEL_PROJECT_ROOT=tree)
        primes = [peak_mb(crv + ["prime", "--query", task], env) for task in TASKS]
        rows.append((f"crv prime, largest of {len(TASKS)} tasks", max(primes)))

        print(f"graph: {os.path.getsize(graph) / 1e6:.1f} MB; budget {args.budget_mb:.0f} MB")
        print(f"{'run':<44} {'peak RSS':>10}")
        for name, mb in rows:
            verdict = "within budget" if mb <= args.budget_mb else "OVER BUDGET"
            print(f"{name:<44} {mb:7.1f} MB  {verdict}")
        if any(mb > args.budget_mb for _, mb in rows):
            sys.exit(1)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
