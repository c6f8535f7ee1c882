#!/usr/bin/env python3
"""Times `crv prime` with each ranking on one graph whose index is current.

Usage: bench/prime_timing.py (--graph FILE | --tree DIR | --synthetic N)
                             [--build build] [--rank classic,hybrid] [--runs 5]

The graph (given, or scanned from --tree or from a synthetic project of N files with
mapforge, which also writes its index) is copied beside a copy of crv. One warm-up call
per ranking brings the index up to date (a graph copied without its index gets one, and
the first --rank hybrid call adds the term statistics); then every task of run_bench.py
runs --runs times. Prints the median and the slowest of the per-task medians, the index
size and the machine's load average before and after.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_bench import TASKS  # noqa: E402


def timed(argv, env):
    start = time.perf_counter()
    subprocess.run(argv, stdout=subprocess.DEVNULL, check=True, env=env)
    return time.perf_counter() - start


def load_average():
    return " ".join(f"{x:.2f}" for x in os.getloadavg())


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    source = p.add_mutually_exclusive_group(required=True)
    source.add_argument("--graph", help="an info_graph.json (its index beside it is used when current)")
    source.add_argument("--tree", help="a project to scan first")
    source.add_argument("--synthetic", type=int, help="files of a synthetic project to scan first")
    p.add_argument("--build", default="build", help="build directory with mapforge and crv")
    p.add_argument("--rank", default="classic,hybrid", help="rankings to time, comma-separated")
    p.add_argument("--runs", type=int, default=5, help="runs per task")
    args = p.parse_args()

    build = os.path.abspath(args.build)
    work = tempfile.mkdtemp(prefix="plinthar-prime-")
    try:
        data = os.path.join(work, "crv", "data")
        os.makedirs(data)
        graph = os.path.join(data, "info_graph.json")
        if args.graph:
            shutil.copy2(args.graph, graph)
            index = os.path.splitext(args.graph)[0] + ".index"
            if os.path.exists(index):
                shutil.copy2(index, os.path.join(data, "info_graph.index"))
        else:
            tree = args.tree
            if not tree:
                tree = os.path.join(work, "project")
                subprocess.run([sys.executable, os.path.join(os.path.dirname(__file__), "synth_project.py"),
                                tree, "--files", str(args.synthetic)], check=True)
            subprocess.run([os.path.join(build, "mapforge"), "--root", tree, "--out", graph],
                           check=True, stdout=subprocess.DEVNULL)
        crv = os.path.join(work, "crv", "crv")
        shutil.copy2(os.path.join(build, "crv"), crv)
        env = {k: v for k, v in os.environ.items() if k not in ("CRV_QUERY", "CRV_CAPABILITY_INDEX")}
        env["CORVEL_PROJECT_ROOT"] = work
        print(f"graph: {os.path.getsize(graph) / 1e6:.1f} MB; load average before: {load_average()}")
        for rank in args.rank.split(","):
            timed([crv, "prime", "--rank", rank, "--query", TASKS[0]], env)  # brings the index up to date
            medians = []
            for task in TASKS:
                runs = [timed([crv, "prime", "--rank", rank, "--query", task], env)
                        for _ in range(args.runs)]
                medians.append(statistics.median(runs))
            index_mb = os.path.getsize(os.path.join(data, "info_graph.index")) / 1e6
            print(f"crv prime --rank {rank:<8} median {statistics.median(medians) * 1000:7.1f} ms, "
                  f"slowest task {max(medians) * 1000:7.1f} ms ({len(TASKS)} tasks x {args.runs} runs); "
                  f"index {index_mb:.1f} MB")
        print(f"load average after: {load_average()}")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
