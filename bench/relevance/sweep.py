#!/usr/bin/env python3
"""Varies the constants of hybrid_model.py one at a time over recorded benchmark cases.

  bench/relevance/run.py --no-crv --seed tune --commits 150 --details tune.jsonl REPOS...
  bench/relevance/sweep.py tune.jsonl --vary PRIOR=0,0.1,0.2,0.3 --vary K1=0.8,1.2,2

Each --vary line prints recall@12 per project and their mean for every value, with all
other constants at their values in hybrid_model.py; the graphs of the cases (kept in
the benchmark's cache) are read once, and the per-graph index is rebuilt only for the
constants that shape it.
"""
import argparse
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import hybrid_model  # noqa: E402
import run  # noqa: E402

# Constants read while the per-graph index is built.
INDEX_CONSTANTS = {"MIN_TERM", "PRIOR_CAP", "COMPANION_GROUP_MAX"}


def load_cases(paths):
    cases, graphs = [], {}
    for path in paths:
        with open(path, encoding="utf-8") as f:
            for line in f:
                case = json.loads(line)
                cases.append(case)
                if case["graph"] not in graphs:
                    with open(case["graph"], encoding="utf-8") as g:
                        graphs[case["graph"]] = json.load(g)
    return cases, graphs


def measure(cases, graphs, indexes):
    per_repo = {}
    for case in cases:
        graph = graphs[case["graph"]]
        if case["graph"] not in indexes:
            indexes[case["graph"]] = hybrid_model.HybridIndex(graph)
        index = indexes[case["graph"]]
        ids = [index.ids[i] for i, _ in hybrid_model.ranked(index, hybrid_model.Query(case["subject"]))]
        recall, _ = run.score(ids, case["touched"])
        total = per_repo.setdefault(case["repo"], [0.0, 0])
        total[0] += recall
        total[1] += 1
    recalls = {repo: s / n for repo, (s, n) in sorted(per_repo.items())}
    return sum(recalls.values()) / len(recalls), recalls


def parse_value(text, current):
    if isinstance(current, bool):
        return text in ("1", "true", "True")
    return type(current)(text)


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0], epilog=__doc__.split("\n\n", 1)[1],
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("details", nargs="+", help="case files written by run.py --details")
    p.add_argument("--vary", action="append", default=[], metavar="NAME=V1,V2,...")
    args = p.parse_args(argv)
    cases, graphs = load_cases(args.details)
    indexes = {}
    mean, recalls = measure(cases, graphs, indexes)
    print(f"as set: mean {mean:.3f}  " + "  ".join(f"{r} {v:.3f}" for r, v in recalls.items()), flush=True)
    for item in args.vary:
        name, _, values = item.partition("=")
        if not hasattr(hybrid_model, name):
            sys.exit(f"sweep: hybrid_model has no constant {name}")
        current = getattr(hybrid_model, name)
        for text in values.split(","):
            setattr(hybrid_model, name, parse_value(text, current))
            if name in INDEX_CONSTANTS:
                indexes = {}
            mean, recalls = measure(cases, graphs, indexes)
            print(f"{name}={text}: mean {mean:.3f}  " + "  ".join(f"{r} {v:.3f}" for r, v in recalls.items()),
                  flush=True)
        setattr(hybrid_model, name, current)
        if name in INDEX_CONSTANTS:
            indexes = {}
    return 0


if __name__ == "__main__":
    sys.exit(main())
