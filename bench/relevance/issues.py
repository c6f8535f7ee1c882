#!/usr/bin/env python3
"""Measures how well crv's rankings name the files that the fix of a real issue changed.

Reads issue tasks (JSON lines: id, repo, bundle, commit, task, gold), scans each task's
commit from its bundle with mapforge (scans cached like run.py's) and asks each ranking
for the whole issue text. Measures, as published localisation work does:

  Acc@k      1 when the first k files hold every gold file, or k of them when there are
             more than k (k = 1, 3, 5, 10), averaged over the tasks
  recall@12  share of the gold files among the first 12 files

Gold files that are not file nodes of the graph (the scanner does not read them) are left
out; a task with none left is skipped. Rows are printed for all tasks, for the tasks whose
fix changed one file, and per project. --sample splits the tasks by a hash of their id
into a tuning half and a reporting half, so that values are chosen on one and reported
on the other.

Example:
  bench/relevance/issues.py --cache ~/.cache/plinthar-relevance --rank-python \\
      --bundles path/to/relevance path/to/relevance/issues.jsonl
"""
import argparse
import hashlib
import json
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import baselines  # noqa: E402
import history  # noqa: E402
import run  # noqa: E402

ACC_CUTOFFS = (1, 3, 5, 10)
RECALL_CUTOFF = 12
TOP_FILES = 50


def parse_args(argv):
    p = argparse.ArgumentParser(
        prog="bench/relevance/issues.py", description=__doc__.split("\n\n")[0],
        epilog=__doc__.split("\n\n", 1)[1], formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("issues", help="issues.jsonl")
    p.add_argument("--bundles", help="folder of the bundles the tasks name (default: beside the issues file)")
    p.add_argument("--crv", default=os.path.join(run.REPO_ROOT, "build", "crv"))
    p.add_argument("--mapforge", default=os.path.join(run.REPO_ROOT, "build", "mapforge"))
    p.add_argument("--cache", help="directory that keeps bundle clones and scans across runs")
    p.add_argument("--sample", choices=("all", "tune", "report"), default="all",
                   help="all tasks, or the tuning or reporting half (by a hash of the id)")
    p.add_argument("--rank-python", action="store_true", help="also rank with hybrid_model.py")
    p.add_argument("--py-param", action="append", default=[], metavar="NAME=VALUE",
                   help="override a constant of hybrid_model.py (repeatable)")
    p.add_argument("--no-crv", action="store_true", help="skip crv (quick model loops)")
    p.add_argument("--classic", action="store_true", help="also rank with crv's classic ranking")
    p.add_argument("--details", metavar="FILE", help="write every task's rankings as JSON lines")
    return p.parse_args(argv)


def in_sample(task_id, sample):
    if sample == "all":
        return True
    half = int(hashlib.md5(task_id.encode()).hexdigest(), 16) % 2
    return half == (0 if sample == "tune" else 1)


def load_tasks(path, sample):
    with open(path, encoding="utf-8") as f:
        tasks = [json.loads(line) for line in f if line.strip()]
    return [t for t in tasks if in_sample(t["id"], sample)]


def accuracy(top, gold, k):
    found = sum(1 for g in gold if g in top[:k])
    return 1.0 if found >= min(k, len(gold)) else 0.0


def measures(paths, gold):
    top = run.first_files(paths, max(RECALL_CUTOFF, max(ACC_CUTOFFS)))
    out = {f"Acc@{k}": accuracy(top, gold, k) for k in ACC_CUTOFFS}
    out[f"R@{RECALL_CUTOFF}"] = sum(1 for g in gold if g in top[:RECALL_CUTOFF]) / len(gold)
    return out


def rankers(args, crv):
    out = []
    if crv:
        if args.classic:
            out.append(("classic", lambda task, graph: crv.retrieve(task["graph"], task["task"])))
        out.append(("hybrid", lambda task, graph: crv.retrieve(task["graph"], task["task"], "hybrid")))
    if args.rank_python:
        model = run.load_model(args.py_param)
        out.append(("hybrid.py", lambda task, graph: model.rank(graph, task["task"])))
    out.append(("bm25", lambda task, graph: baselines.BM25(graph, split_identifiers=True).rank(task["task"])))
    return out


def evaluate(args, work_dir):
    bundles = args.bundles or os.path.dirname(os.path.abspath(args.issues))
    cache = history.GraphCache(work_dir, args.mapforge)
    crv = None if args.no_crv else run.Crv(args.crv, work_dir)
    details = open(args.details, "w", encoding="utf-8") if args.details else None
    results, skipped = [], 0
    try:
        ranks = rankers(args, crv)
        for task in load_tasks(args.issues, args.sample):
            bundle = os.path.join(bundles, task["bundle"])
            git_dir = history.open_repository(bundle, work_dir)
            task["graph"] = cache.graph(history.repo_name(bundle), git_dir, task["commit"])
            with open(task["graph"], encoding="utf-8") as f:
                graph = json.load(f)
            ids = history.file_ids(graph)
            gold = [g for g in task["gold"] if g in ids]
            if not gold:
                skipped += 1
                continue
            record = {"id": task["id"], "repo": task["repo"], "graph": task["graph"],
                      "subject": task["task"], "gold": gold, "one_file": len(task["gold"]) == 1}
            scores = {}
            for name, fn in ranks:
                paths = fn(task, graph)
                scores[name] = measures(paths, gold)
                record[name] = run.first_files(paths)
            results.append((record, scores))
            if details:
                details.write(json.dumps(record) + "\n")
    finally:
        if crv:
            crv.close()
        if details:
            details.close()
    return [name for name, _ in ranks], results, skipped


def print_table(names, results, skipped, out=sys.stdout):
    groups = [("all", [r for r in results]), ("one-file", [r for r in results if r[0]["one_file"]])]
    for repo in sorted({r[0]["repo"] for r in results}):
        groups.append((repo.split("/")[-1], [r for r in results if r[0]["repo"] == repo]))
    keys = [f"Acc@{k}" for k in ACC_CUTOFFS] + [f"R@{RECALL_CUTOFF}"]
    print(f"{len(results)} tasks, {skipped} skipped (no gold file in the graph)", file=out)
    cells = [["tasks", "n", "ranking"] + keys]
    for group, rows in groups:
        if not rows:
            continue
        for name in names:
            means = [sum(r[1][name][k] for r in rows) / len(rows) for k in keys]
            cells.append([group, str(len(rows)), name] + [f"{m:.3f}" for m in means])
    widths = [max(len(row[i]) for row in cells) for i in range(len(cells[0]))]
    for row in cells:
        print("  ".join(c.ljust(w) if i in (0, 2) else c.rjust(w)
                        for i, (c, w) in enumerate(zip(row, widths))), file=out)


def main(argv=None):
    args = parse_args(sys.argv[1:] if argv is None else argv)
    names, results, skipped = run.evaluate_in_work_dir(args, evaluate)
    print_table(names, results, skipped)
    return 0


if __name__ == "__main__":
    sys.exit(main())
