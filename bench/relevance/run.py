#!/usr/bin/env python3
"""Measures how well crv's rankings name the files that real commits touched.

For every repository (a path to a git repository or a .bundle) the benchmark samples
commits (see history.py for the rules), scans each commit's parent tree with mapforge,
asks each ranking for the commit's subject and scores the first 12 distinct files:

  recall@12  share of the touched files among them, averaged over the commits
  hit rate   share of commits with at least one touched file among them

Rankings: crv's classic ranking, crv's hybrid ranking (when the given crv accepts
--rank), plain BM25 over path and content, 12 random files, and with --rank-python the
Python model of the hybrid ranking in hybrid_model.py. The last row averages the
projects. Scans are kept in --cache DIR (keyed by mapforge binary and commit), so later
runs over the same commits only rank.

Example:
  bench/relevance/run.py --cache ~/.cache/plinthar-relevance --rank-python \\
      path/to/flask.bundle path/to/zustand.bundle
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import baselines  # noqa: E402
import history  # noqa: E402

REPO_ROOT = os.path.dirname(os.path.dirname(HERE))
CUTOFF = 12
TOP_FILES = 200  # rows asked of crv, enough for 12 distinct files


def parse_args(argv):
    p = argparse.ArgumentParser(
        prog="bench/relevance", description=__doc__.split("\n\n")[0],
        epilog=__doc__.split("\n\n", 1)[1], formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("repos", nargs="+", help="git repositories or .bundle files")
    p.add_argument("--crv", default=os.path.join(REPO_ROOT, "build", "crv"), help="crv program (default build/crv)")
    p.add_argument("--mapforge", default=os.path.join(REPO_ROOT, "build", "mapforge"),
                   help="mapforge program (default build/mapforge)")
    p.add_argument("--commits", type=int, default=40, help="commits per repository (default 40)")
    p.add_argument("--seed", default="1", help="sampling seed (default 1)")
    p.add_argument("--exclude-seed", action="append", default=[], metavar="S[:N]",
                   help="leave out the N commits (default --commits) that seed S samples, "
                        "for a disjoint sample (repeatable)")
    p.add_argument("--cache", help="directory that keeps bundle clones and scans across runs")
    p.add_argument("--rank-python", action="store_true", help="also rank with hybrid_model.py")
    p.add_argument("--py-param", action="append", default=[], metavar="NAME=VALUE",
                   help="override a constant of hybrid_model.py (repeatable)")
    p.add_argument("--no-crv", action="store_true", help="skip the crv rankings (quick model loops)")
    p.add_argument("--details", metavar="FILE", help="write every case's rankings as JSON lines")
    return p.parse_args(argv)


class Crv:
    """Runs one crv binary against cached graphs: crv reads data/info_graph.json beside itself."""

    def __init__(self, program, work_dir):
        self.home = tempfile.mkdtemp(prefix="relevance-crv-", dir=work_dir)
        self.exe = os.path.join(self.home, "crv")
        try:
            os.link(program, self.exe)
        except OSError:
            shutil.copy2(program, self.exe)
        os.makedirs(os.path.join(self.home, "data"))
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("CRV_CAPABILITY_INDEX", "CORVEL_PROJECT_ROOT", "CRV_QUERY")}
        usage = subprocess.run([self.exe, "retrieve", "--help"], stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True, env=self.env).stdout
        self.has_hybrid = "--rank" in usage

    def close(self):
        shutil.rmtree(self.home, ignore_errors=True)

    def retrieve(self, graph_path, query, rank=None):
        link = os.path.join(self.home, "data", "info_graph.json")
        if os.path.lexists(link):
            os.unlink(link)
        os.symlink(os.path.abspath(graph_path), link)
        argv = [self.exe, "retrieve", "--query", query, "--json", "--top-files", str(TOP_FILES),
                "--top-edges", "0"]
        if rank:
            argv += ["--rank", rank]
        out = subprocess.run(argv, stdout=subprocess.PIPE, check=True, env=self.env).stdout
        rows = json.loads(out)["files"]
        return [row.get("path") or row["id"].split("::")[0] for row in rows]


def first_files(paths, count=CUTOFF):
    """The first count distinct paths, in order."""
    out = []
    for p in paths:
        if p not in out:
            out.append(p)
            if len(out) == count:
                break
    return out


def score(paths, touched):
    top = set(first_files(paths))
    found = sum(1 for t in touched if t in top)
    return found / len(touched), 1.0 if found else 0.0


def load_model(overrides):
    import hybrid_model
    for item in overrides:
        name, _, value = item.partition("=")
        if not hasattr(hybrid_model, name):
            sys.exit(f"bench/relevance: hybrid_model has no constant {name}")
        old = getattr(hybrid_model, name)
        setattr(hybrid_model, name, type(old)(value) if not isinstance(old, bool) else value == "1")
    return hybrid_model


def rankers(args, crv):
    out = []
    if crv:
        out.append(("classic", lambda case, graph: crv.retrieve(case.graph_path, case.subject)))
        if crv.has_hybrid:
            out.append(("hybrid", lambda case, graph: crv.retrieve(case.graph_path, case.subject, "hybrid")))
        else:
            out.append(("hybrid", None))
    if args.rank_python:
        model = load_model(args.py_param)
        out.append(("hybrid.py", lambda case, graph: model.rank(graph, case.subject)))
    out.append(("bm25", lambda case, graph: baselines.BM25(graph).rank(case.subject)))
    out.append(("random", lambda case, graph: baselines.random_files(graph, CUTOFF, f"{args.seed}:{case.sha}")))
    return out


def evaluate(args, work_dir):
    cache = history.GraphCache(work_dir, args.mapforge)
    crv = None if args.no_crv else Crv(args.crv, work_dir)
    try:
        return _evaluate(args, work_dir, cache, crv)
    finally:
        if crv:
            crv.close()


def _evaluate(args, work_dir, cache, crv):
    ranks = rankers(args, crv)
    details = open(args.details, "w", encoding="utf-8") if args.details else None
    results = []  # (project, cases, skipped, {ranker: (recall sum, hits)})
    for repo in args.repos:
        cases, skipped = history.sample_cases(repo, work_dir, cache, args.commits, args.seed,
                                              args.exclude_seed)
        sums = {name: [0.0, 0.0] for name, fn in ranks if fn}
        for case in cases:
            with open(case.graph_path, encoding="utf-8") as f:
                graph = json.load(f)
            record = {"repo": case.repo, "sha": case.sha, "subject": case.subject,
                      "graph": case.graph_path, "touched": case.touched}
            for name, fn in ranks:
                if not fn:
                    continue
                paths = fn(case, graph)
                recall, hit = score(paths, case.touched)
                sums[name][0] += recall
                sums[name][1] += hit
                record[name] = first_files(paths)
            if details:
                details.write(json.dumps(record) + "\n")
        results.append((history.repo_name(repo), len(cases), skipped, sums))
    if details:
        details.close()
    return [name for name, _ in ranks], results


def print_table(names, results, out=sys.stdout):
    for project, n, skipped, _ in results:
        print(f"{project}: {n} commits sampled, {skipped} skipped (no modified file in the graph)", file=out)
    header = ["ranking"] + [f"{p} R@{CUTOFF}" for p, *_ in results] + [f"{p} hit" for p, *_ in results]
    header += [f"mean R@{CUTOFF}", "mean hit"]
    rows = []
    for name in names:
        recalls, hits = [], []
        for _, n, _, sums in results:
            if name not in sums or n == 0:
                recalls.append(None)
                hits.append(None)
            else:
                recalls.append(sums[name][0] / n)
                hits.append(sums[name][1] / n)
        known = [r for r in recalls if r is not None]
        mean_r = sum(known) / len(known) if known and len(known) == len(recalls) else None
        known_h = [h for h in hits if h is not None]
        mean_h = sum(known_h) / len(known_h) if known_h and len(known_h) == len(hits) else None
        rows.append([name] + recalls + hits + [mean_r, mean_h])
    cells = [header] + [[r[0]] + ["n/a" if v is None else f"{v:.3f}" for v in r[1:]] for r in rows]
    widths = [max(len(row[i]) for row in cells) for i in range(len(header))]
    for row in cells:
        print("  ".join(c.ljust(w) if i == 0 else c.rjust(w) for i, (c, w) in enumerate(zip(row, widths))),
              file=out)


def evaluate_in_work_dir(args, evaluate_in):
    """Checks the programs of `args`, then returns evaluate_in(args, work_dir): the scans
    go to --cache when given, else to a temporary folder removed afterwards."""
    for prog in ([] if args.no_crv else [args.crv]) + [args.mapforge]:
        if not os.access(prog, os.X_OK):
            sys.exit(f"bench/relevance: {prog} is not an executable program (see --crv, --mapforge)")
    if args.cache:
        os.makedirs(args.cache, exist_ok=True)
        return evaluate_in(args, os.path.abspath(args.cache))
    with tempfile.TemporaryDirectory(prefix="relevance-") as work_dir:
        return evaluate_in(args, work_dir)


def main(argv=None):
    args = parse_args(sys.argv[1:] if argv is None else argv)
    names, results = evaluate_in_work_dir(args, evaluate)
    print_table(names, results)
    return 0


if __name__ == "__main__":
    sys.exit(main())
