"""Reference rankings the benchmark sets beside crv: plain BM25 and random files."""
import math
import random
import re

BM25_K1 = 1.2
BM25_B = 0.75
# Runs of three or more letters or digits; "_" and everything else separate runs.
_TERM = re.compile(r"[^\W_]{3,}")


# Identifier words: a run split at "_" and at case changes (getUserById, HTTPServer).
_RUN = re.compile(r"[^\W_]+")
_PART = re.compile(r"[A-Z]+(?![a-z])|[A-Z]?[a-z]+|[0-9]+|[^\W\d_A-Za-z]+")


def bm25_terms(text):
    return _TERM.findall(text.lower())


def identifier_terms(text):
    """Words of three or more characters with identifiers split into their words."""
    return [p.lower() for run in _RUN.findall(text) for p in _PART.findall(run) if len(p) >= 3]


def file_nodes(graph):
    return [n for n in graph.get("nodes", []) if n.get("kind") == "file"]


class BM25:
    """Okapi BM25 over each file node's path and content, one document per file; with
    split_identifiers, identifiers count as their words (the baseline of issue work)."""

    def __init__(self, graph, split_identifiers=False):
        self.terms = identifier_terms if split_identifiers else bm25_terms
        self.ids = []
        self.tfs = []
        self.lengths = []
        self.df = {}
        for node in file_nodes(graph):
            terms = self.terms(node.get("path", "")) + self.terms(node.get("content", ""))
            tf = {}
            for t in terms:
                tf[t] = tf.get(t, 0) + 1
            for t in tf:
                self.df[t] = self.df.get(t, 0) + 1
            self.ids.append(node["id"])
            self.tfs.append(tf)
            self.lengths.append(len(terms))
        self.avg_length = sum(self.lengths) / len(self.lengths) if self.lengths else 0.0

    def idf(self, term):
        n, df = len(self.ids), self.df.get(term, 0)
        return math.log(1.0 + (n - df + 0.5) / (df + 0.5))

    def rank(self, query):
        """File ids with a positive score, best first; ties keep graph order."""
        terms = list(dict.fromkeys(self.terms(query)))
        scored = []
        for i, tf in enumerate(self.tfs):
            s = 0.0
            norm = BM25_K1 * (1 - BM25_B + BM25_B * self.lengths[i] / (self.avg_length or 1.0))
            for t in terms:
                f = tf.get(t)
                if f:
                    s += self.idf(t) * f * (BM25_K1 + 1) / (f + norm)
            if s > 0:
                scored.append((-s, i))
        scored.sort()
        return [self.ids[i] for _, i in scored]


def random_files(graph, count, seed):
    ids = [n["id"] for n in file_nodes(graph)]
    return random.Random(seed).sample(ids, min(count, len(ids)))
