#!/usr/bin/env python3
"""Counts the work of the hybrid ranking's query path on a graph, and checks that path.

  bench/relevance/cost.py GRAPH.json [--query TEXT ...]

crv is to answer a query from stored per-graph statistics: the postings of the query's
terms, then the neighbour and companion lists of the files they hit, then one pass over
all files. This script builds those statistics with hybrid_model.py, answers each query
that way, prints the time (of this Python code) and the postings, list entries and
files it touched, and fails when the order or any integer score differs from
hybrid_model.ranked, which scores every file against every term.
"""
import argparse
import json
import math
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import hybrid_model as hm  # noqa: E402

QUERIES = [
    "fix the invoice button on the admin portal",
    "why does POST /api/orders return 500",
    "add a unit test for the checkout payment flow",
    "refactor the order list table",
    "explain the architecture of the billing service",
    "update dev dependencies",
    "add a new export report page",
    "crash when the cart is empty",
    "Bump version to 2.4.0",
    "General codebase maintenance task",
]


def build_postings(index):
    postings = {}
    for i, counts in enumerate(index.tf):
        for f, field in enumerate(counts):
            for term, c in field.items():
                postings.setdefault(term, {}).setdefault(i, [0, 0, 0])[f] = c
    return {t: sorted(p.items()) for t, p in postings.items()}


def answer(index, postings, query):
    """hybrid_model.ranked, computed from postings; returns (ranking, work counts)."""
    weights = (hm.W_PATH, hm.W_SYMBOL, hm.W_CONTENT)
    bs = (hm.B_PATH, hm.B_SYMBOL, hm.B_CONTENT)
    text = {}
    work = {"postings": 0, "list entries": 0}
    for term, w in query.terms:
        plist = postings.get(term)
        if not plist:
            continue
        idf = index.term_weight(w, query.counts.get(term, 1)) * index.idf(term)
        for i, counts in plist:
            work["postings"] += 1
            tf = 0.0
            for f in range(3):
                if counts[f]:
                    tf += weights[f] * counts[f] / (1.0 - bs[f] + bs[f] * index.length[i][f] / index.avg_length[f])
            text[i] = text.get(i, 0.0) + idf * tf / (hm.K1 + tf)
    best_neighbour, best_companion = {}, {}
    for i, s in text.items():
        for best, links in ((best_neighbour, index.neighbours[i]), (best_companion, index.companions[i])):
            for j in links:
                work["list entries"] += 1
                if s > best.get(j, 0.0):
                    best[j] = s
    best = max(text.values(), default=0.0)
    named = hm.named_files(index, query) if query.path_names else set()
    scored = []
    for i in range(len(index.ids)):
        v = text.get(i, 0.0) + hm.PRIOR * index.prior[i]
        if hm.damped(index, query, i):
            v *= hm.CLASS_DAMP
        if index.neighbours[i]:
            v += hm.PROP_IMPORT * best_neighbour.get(i, 0.0)
        if index.companions[i]:
            v += hm.PROP_COMPANION * best_companion.get(i, 0.0)
        if query.wants_version and index.has_version[i]:
            v += hm.VERSION_BOOST
        if query.wants_docs and index.kind[i] == "doc":
            v += hm.DOC_WORD_BOOST
        if query.wants_config and index.kind[i] == "config":
            v += hm.CONFIG_WORD_BOOST
        if query.wants_tests and index.is_test[i]:
            v += hm.TEST_BOOST
        if i in named:
            v += hm.NAMED_FILE_SHARE * best
        s = int(math.floor(v * hm.SCORE_SCALE + 0.5))
        if s > 0:
            scored.append((s, i))
    scored.sort(key=lambda p: (-p[0], index.ids[p[1]]))
    work["files hit"] = len(text)
    return [(i, s) for s, i in scored], work


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0], epilog=__doc__.split("\n\n", 1)[1],
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("graph")
    p.add_argument("--query", action="append", help="query to answer (default: ten sample tasks)")
    args = p.parse_args(argv)
    started = time.perf_counter()
    with open(args.graph, encoding="utf-8") as f:
        graph = json.load(f)
    index = hm.HybridIndex(graph)
    postings = build_postings(index)
    built = time.perf_counter() - started
    print(f"{len(index.ids)} files, {len(graph.get('nodes', []))} nodes, {len(graph.get('edges', []))} edges; "
          f"{len(postings)} terms, {sum(len(v) for v in postings.values())} postings, "
          f"{sum(len(s) for s in index.neighbours)} neighbour and {sum(len(s) for s in index.companions)} "
          f"companion entries; statistics built in {built:.1f} s")
    status = 0
    for text in args.query or QUERIES:
        query = hm.Query(text)
        started = time.perf_counter()
        got, work = answer(index, postings, query)
        elapsed = (time.perf_counter() - started) * 1000
        same = got == hm.ranked(index, query)
        status |= not same
        print(f"{elapsed:8.1f} ms  " + "  ".join(f"{k} {v}" for k, v in work.items())
              + ("" if same else "  DIFFERS") + f"  | {text}")
    return status


if __name__ == "__main__":
    sys.exit(main())
