#!/usr/bin/env python3
"""Why the hybrid ranking misses the files a commit touched: a breakdown per project.

Reads a details file of run.py (`run.py --rank-python --details FILE ...`), re-ranks every
case with hybrid_model.py and, per project, reports:

  ceiling   the share of commits whose touched set exceeds 12 files and the best
            recall@12 of any ranking; the lexical ceiling counts only touched files that
            hold a term of the subject (in path, symbol names or content)
  missed    touched files outside the first 12, split by: no term of the subject at all
            (and of those, subjects without any term), class (test, Markdown, change log,
            config, CI/templates, lock file), linked (import neighbour or same-stem
            companion) to a touched file that was found, in the directory of a found
            one, and the rank they sit at; with --repo-path (and --cache, as run.py's)
            also what the history before the parent knew: modified together with a
            found file in one of the last HISTORY commits, modified in the last RECENT

With --examples N it prints N missed cases per project: subject, touched files (found
ones marked), and the first files above the best-ranked missed one.

Example:
  bench/relevance/run.py --no-crv --rank-python --cache CACHE --details d.jsonl REPOS...
  bench/relevance/gap.py d.jsonl --examples 3
"""
import argparse
import json
import os
import subprocess
import sys
from collections import OrderedDict

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import history  # noqa: E402
import hybrid_model as hm  # noqa: E402

CUTOFF = 12
RANK_BANDS = ((13, 20), (21, 50), (51, None))
HISTORY = 200  # commits before the parent searched for co-changes
RECENT = 10    # commits before the parent that count as recent


def earlier_changes(git_dir, parent):
    """The file lists of the HISTORY non-merge commits up to the parent, newest first."""
    out = subprocess.run(["git", "--git-dir", git_dir, "log", "--no-merges", "--no-renames",
                          "--format=%x00", "--name-only", "-n", str(HISTORY), parent],
                         stdout=subprocess.PIPE, check=True).stdout.decode("utf-8", "replace")
    return [set(chunk.split()) for chunk in out.split("\0")[1:]]


def file_class(path):
    """The coarse class of a touched file, for the breakdown."""
    name = path.rsplit("/", 1)[-1].lower()
    if "lock" in name and hm.file_kind(path) == "config":
        return "lock file"
    if hm.is_test(path):
        return "test"
    c = hm.file_class(path)
    if c == "template":
        return "CI/templates"
    if c == "changelog":
        return "change log"
    kind = hm.file_kind(path)
    if kind == "doc":
        return "Markdown"
    if kind == "config":
        return "config"
    return "source"


def shares_term(index, i, terms):
    return any(t in index.tf[i][f] for t in terms for f in range(index.FIELDS))


def analyse_case(record, git_dir=None):
    with open(record["graph"], encoding="utf-8") as f:
        graph = json.load(f)
    index = hm.HybridIndex(graph)
    query = hm.Query(record["subject"])
    order = [i for i, _ in hm.ranked(index, query)]
    rank_of = {i: r + 1 for r, i in enumerate(order)}
    terms = [t for t, _ in query.terms]
    gold = [index.pos[p] for p in record["touched"]]
    found = {i for i in gold if rank_of.get(i, 10**9) <= CUTOFF}
    lexical = [i for i in gold if shares_term(index, i, terms)]
    found_paths = {index.ids[i] for i in found}
    found_dirs = {hm._parent(p) for p in found_paths}
    changes = earlier_changes(git_dir, os.path.basename(os.path.dirname(record["graph"]))) if git_dir else None
    base = {}
    if changes is not None:  # how many files of the graph each history signal would point at
        recent = set().union(*changes[:RECENT]) if changes else set()
        co = set().union(*[c for c in changes if c & found_paths]) if changes else set()
        base = {"recent share": len(recent & set(index.ids)) / len(index.ids),
                "co-changed share": len((co - found_paths) & set(index.ids)) / len(index.ids)}
    missed = []
    for i in gold:
        if i in found:
            continue
        path = index.ids[i]
        m = {"path": path, "rank": rank_of.get(i), "class": file_class(path), "lexical": i in lexical,
             "linked": bool((index.neighbours[i] | index.companions[i]) & found),
             "same dir": hm._parent(path) in found_dirs}
        if changes is not None:
            m["co-changed"] = any(path in c and c & found_paths for c in changes)
            m["recent"] = any(path in c for c in changes[:RECENT])
        missed.append(m)
    return {"record": record, "terms": terms, "gold": len(gold), "found": len(found),
            "lexical_ceiling": min(len(lexical), CUTOFF) / len(gold), "missed": missed,
            "top": [index.ids[i] for i in order[:CUTOFF]], "files": len(index.ids), "base": base}


def band(rank):
    if rank is None:
        return "unranked"
    for lo, hi in RANK_BANDS:
        if rank >= lo and (hi is None or rank <= hi):
            return f"{lo}-{hi}" if hi else f">{lo - 1}"
    return "?"


def summarise(cases):
    n = len(cases)
    missed = [m for c in cases for m in c["missed"]]
    gold = sum(c["gold"] for c in cases)
    out = OrderedDict()
    out["commits"] = n
    out["touched files"] = gold
    out["R@12"] = sum(c["found"] / c["gold"] for c in cases) / n
    out["commits > 12 touched"] = sum(c["gold"] > CUTOFF for c in cases) / n
    out["ceiling"] = sum(min(c["gold"], CUTOFF) / c["gold"] for c in cases) / n
    out["lexical ceiling"] = sum(c["lexical_ceiling"] for c in cases) / n
    out["commits with a miss"] = sum(bool(c["missed"]) for c in cases)
    out["R@12 lost"] = sum(len(c["missed"]) / c["gold"] for c in cases) / n
    out["  of it, commits of 5+ files"] = sum(len(c["missed"]) / c["gold"] for c in cases if c["gold"] >= 5) / n
    out["commits of 5+ files"] = sum(c["gold"] >= 5 for c in cases)
    out["missed files"] = len(missed)
    out["no subject term"] = sum(not m["lexical"] for m in missed)
    out["  subject has no term"] = sum(len(c["missed"]) for c in cases if not c["terms"])
    out["linked to a found file"] = sum(m["linked"] for m in missed)
    out["no term, linked"] = sum(m["linked"] and not m["lexical"] for m in missed)
    out["in a found file's directory"] = sum(m["same dir"] for m in missed)
    if missed and "co-changed" in missed[0]:
        out[f"co-changed with a found file (last {HISTORY})"] = sum(m["co-changed"] for m in missed)
        out["  co-changed, no term"] = sum(m["co-changed"] and not m["lexical"] for m in missed)
        out[f"modified in the last {RECENT} commits"] = sum(m["recent"] for m in missed)
        out["  recent, no term"] = sum(m["recent"] and not m["lexical"] for m in missed)
        out["graph files co-changed with a found file"] = sum(c["base"]["co-changed share"] for c in cases) / n
        out[f"graph files modified in the last {RECENT}"] = sum(c["base"]["recent share"] for c in cases) / n
    for cls in ("source", "test", "Markdown", "change log", "config", "lock file", "CI/templates"):
        out["class " + cls] = sum(m["class"] == cls for m in missed)
    for b in [f"{lo}-{hi}" if hi else f">{lo - 1}" for lo, hi in RANK_BANDS] + ["unranked"]:
        out["rank " + b] = sum(band(m["rank"]) == b for m in missed)
    return out


def print_table(projects, out=sys.stdout):
    names = list(projects)
    rows = list(next(iter(projects.values())).keys())
    cells = [["measure"] + names]
    for r in rows:
        vals = [projects[p][r] for p in names]
        cells.append([r] + [f"{v:.3f}" if isinstance(v, float) else str(v) for v in vals])
    widths = [max(len(row[i]) for row in cells) for i in range(len(cells[0]))]
    for row in cells:
        print("  ".join(c.ljust(w) if i == 0 else c.rjust(w) for i, (c, w) in enumerate(zip(row, widths))),
              file=out)


def print_examples(cases, count, out=sys.stdout):
    shown = 0
    for c in cases:
        if not c["missed"] or shown >= count:
            continue
        shown += 1
        missed = {m["path"]: m for m in c["missed"]}
        print(f"- {c['record']['repo']} {c['record']['sha'][:10]} ({c['files']} files): "
              f"{c['record']['subject'][:100]!r}, terms {c['terms']}", file=out)
        for p in c["record"]["touched"]:
            m = missed.get(p)
            mark = "found" if m is None else (f"rank {m['rank']}, {m['class']}, "
                                             f"{'shares a term' if m['lexical'] else 'no term'}"
                                             f"{', linked' if m['linked'] else ''}")
            print(f"    {p}: {mark}", file=out)
        print(f"    first files: {', '.join(c['top'][:6])}", file=out)


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("details", help="JSON lines written by run.py --details")
    p.add_argument("--repo", action="append", default=[], help="only these projects (repeatable)")
    p.add_argument("--repo-path", action="append", default=[], metavar="PATH",
                   help="the repository or bundle of a project, for the history measures (repeatable)")
    p.add_argument("--cache", help="run.py's cache directory, which holds the bundles' clones")
    p.add_argument("--examples", type=int, default=0, metavar="N", help="missed cases to print per project")
    args = p.parse_args(argv)
    git_dirs = {history.repo_name(r): history.open_repository(r, os.path.abspath(args.cache or "."))
                for r in args.repo_path}
    by_repo = OrderedDict()
    with open(args.details, encoding="utf-8") as f:
        for line in f:
            record = json.loads(line)
            if args.repo and record["repo"] not in args.repo:
                continue
            by_repo.setdefault(record["repo"], []).append(analyse_case(record, git_dirs.get(record["repo"])))
    print_table(OrderedDict((repo, summarise(cases)) for repo, cases in by_repo.items()))
    if args.examples:
        for repo, cases in by_repo.items():
            print(f"\n{repo}:")
            print_examples(cases, args.examples)
    return 0


if __name__ == "__main__":
    sys.exit(main())
