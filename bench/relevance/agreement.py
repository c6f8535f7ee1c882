#!/usr/bin/env python3
"""Checks that crv's hybrid ranking prints what the Python model prints.

For every graph and task, compares `crv retrieve --json --rank hybrid` with the output of
hybrid_model.py byte for byte, at each pair of limits given, and prints the cases that
differ. Tasks come from --query or from the cases of a `run.py --details` file (their
graphs and subjects).

  bench/relevance/agreement.py --crv build/crv GRAPH... --query TEXT [--query TEXT ...]
  bench/relevance/agreement.py --crv build/crv --details DETAILS.jsonl [--sample N]
"""
import argparse
import json
import os
import random
import shutil
import shlex
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import hybrid_model  # noqa: E402


def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("graphs", nargs="*", help="info_graph.json files")
    p.add_argument("--crv", required=True, help="the crv program")
    p.add_argument("--query", action="append", default=[], help="a task (repeatable)")
    p.add_argument("--details", help="cases from run.py --details: each graph with its subject")
    p.add_argument("--sample", type=int, default=0, help="check only this many cases of --details")
    p.add_argument("--limits", default="20:40,200:200",
                   help="comma-separated TOP_FILES:TOP_EDGES pairs (default 20:40,200:200)")
    p.add_argument("--capability-index", help="functionality_index.md for both rankings")
    p.add_argument("--emulator", default="",
                   help="command that runs crv (qemu-user for a cross-built crv)")
    return p.parse_args(argv)


def cases_of(args):
    cases = [(g, q) for g in args.graphs for q in args.query]
    if args.details:
        with open(args.details, encoding="utf-8") as f:
            records = [json.loads(line) for line in f if line.strip()]
        picked = [(r["graph"], r["subject"]) for r in records]
        if args.sample and args.sample < len(picked):
            picked = random.Random("agreement").sample(picked, args.sample)
        cases += picked
    return cases


class CrvRunner:
    """crv reads data/info_graph.json beside itself: each graph is linked there in turn."""

    def __init__(self, program, capability_index, emulator=""):
        self.emulator = shlex.split(emulator)
        self.home = tempfile.mkdtemp(prefix="agreement-crv-")
        self.exe = os.path.join(self.home, "crv")
        shutil.copy2(program, self.exe)
        os.makedirs(os.path.join(self.home, "data"))
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("CRV_CAPABILITY_INDEX", "CORVEL_PROJECT_ROOT", "CRV_QUERY")}
        if capability_index:
            self.env["CRV_CAPABILITY_INDEX"] = os.path.abspath(capability_index)
        self.graph = None

    def close(self):
        shutil.rmtree(self.home, ignore_errors=True)

    def retrieve(self, graph_path, query, top_files, top_edges):
        if graph_path != self.graph:
            for name in ("info_graph.json", "info_graph.index"):
                path = os.path.join(self.home, "data", name)
                if os.path.lexists(path):
                    os.unlink(path)
            shutil.copy2(graph_path, os.path.join(self.home, "data", "info_graph.json"))
            self.graph = graph_path
        argv = self.emulator + [self.exe, "retrieve", "--query", query, "--json", "--rank", "hybrid",
                "--top-files", str(top_files), "--top-edges", str(top_edges)]
        return subprocess.run(argv, stdout=subprocess.PIPE, check=True, env=self.env).stdout.decode()


def model_output(graph, query, top_files, top_edges, capability_index):
    result = hybrid_model.retrieve(graph, query, top_files, top_edges, capability_index)
    payload = {"query": query, "files": result["files"], "edges": result["edges"]}
    return json.dumps(payload, indent=2, ensure_ascii=True) + "\n"


def main(argv=None):
    args = parse_args(argv)
    limits = [tuple(int(x) for x in pair.split(":")) for pair in args.limits.split(",")]
    cases = cases_of(args)
    if not cases:
        print("no cases: give graphs with --query, or --details", file=sys.stderr)
        return 2
    crv = CrvRunner(args.crv, args.capability_index, args.emulator)
    graphs = {}
    differ = 0
    try:
        for graph_path, query in cases:
            if graph_path not in graphs:
                graphs.clear()  # one graph in memory at a time
                with open(graph_path, encoding="utf-8") as f:
                    graphs[graph_path] = json.load(f)
            for top_files, top_edges in limits:
                want = model_output(graphs[graph_path], query, top_files, top_edges,
                                    args.capability_index)
                got = crv.retrieve(graph_path, query, top_files, top_edges)
                if got != want:
                    differ += 1
                    print(f"DIFFERS {graph_path} {top_files}:{top_edges} {query!r}")
    finally:
        crv.close()
    checks = len(cases) * len(limits)
    print(f"{checks - differ} of {checks} outputs equal ({len(cases)} tasks x {len(limits)} limits)")
    return 1 if differ else 0


if __name__ == "__main__":
    sys.exit(main())
