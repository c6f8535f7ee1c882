#!/usr/bin/env python3
"""Python model of crv's hybrid ranking: the reference that the C++ port is checked against.

Ranking, per query, over the file nodes of one graph:

  1. text score: field-weighted BM25 (BM25F) of the query terms over three fields of
     each file: the words of its path, the names of its symbols with its keywords,
     and its text (content); a term the task repeats weighs more, up to a cap;
  2. plus a size prior, so that large, central files fill the places that the text
     leaves open; for a long task (an issue report) both damped for issue templates,
     change logs, read-mes, translated docs and tests unless it asks for them;
  3. plus a share of the best text score among the files it imports or that import
     it (edges resolved to file ids), and among its same-named companions (the test
     of a module, the module of a test);
  4. plus fixed boosts when the task's words ask for a version bump (files that
     declare a version), docs (Markdown), dependencies or CI (config files) or tests
     (test files), a share of the best text score for the files the task names by
     path, file name or dotted module, and for the files of a matching capability of
     the capability index.

Per-graph statistics (everything in HybridIndex) do not depend on the query, so crv can
compute them once per graph and keep them beside it. DESIGN.md describes every step
for the port; the constants below were chosen with bench/relevance (numbers there).

Run as a program it prints what `crv retrieve --json --rank hybrid` is to print:
  bench/relevance/hybrid_model.py GRAPH.json --query TEXT [--top-files N] [--top-edges N]
"""
import argparse
import json
import math
import os
import re
import sys

# ---- constants ----
# The ranking's constants are crv's own: read from the C++ header that defines them, with
# the measurements that chose them (src/plinthar/query/rank/hybrid/constants.hpp). A
# constant can be varied for a sweep by assigning to it here (run.py --py-param).
CONSTANTS_HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src",
                                "plinthar", "query", "rank", "hybrid", "constants.hpp")
_CONSTANT = re.compile(r"^inline constexpr [\w:]+ ([A-Z][A-Z0-9_]*) = ([0-9.]+);$", re.MULTILINE)


def read_constants(path=CONSTANTS_HEADER):
    """The constants of the C++ header at path, by name: floats where written with a
    point, integers otherwise."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    return {name: float(value) if "." in value else int(value)
            for name, value in _CONSTANT.findall(text)}


globals().update(read_constants())
MIN_TERM = 2        # shortest kept word part: 2* and 3 -> 0.900; 2 keeps ui, db, id

# Words that carry no search meaning in a task: without this list 0.890, with it 0.900.
STOP_WORDS = frozenset("""
a an the to for with from and or of on in by at as is are was were be been it its this that
these those into onto not no yes all any some when then than so if else but also via per
you your we our i my me can could should would will shall may might must do does did done
make makes made use uses used using add adds added adding remove removes removed removing
fix fixes fixed fixing update updates updated updating change changes changed changing
improve improved improves more less new old get set allow allows allowed support supports
""".split())
VERSION_WORDS = frozenset(["version", "release", "bump"])
CHANGELOG_WORDS = frozenset("changelog changelogs history".split())
TEMPLATE_WORDS = frozenset("template templates github".split())
TEST_WORDS = frozenset(["test", "tests", "testing", "testcase", "testcases", "coverage", "spec", "specs"])

SOURCE_EXTS = frozenset([".py", ".ts", ".tsx", ".js", ".jsx", ".go", ".swift"])
# Extensions tried when an import specifier names a module without one.
MODULE_EXTS = (".ts", ".tsx", ".js", ".jsx", ".py", ".go", ".swift", ".json", ".md", ".yaml", ".yml")
# Conventional commit types: "type(scope): subject". The type is no search word.
COMMIT_TYPES = frozenset("feat fix docs doc chore ci build deps refactor perf test tests style types revert".split())
DOC_WORDS = frozenset("doc docs documentation readme typo typos guide guides".split())
CONFIG_WORDS = frozenset("deps dependencies dependency ci workflow workflows config configs lint eslint prettier".split())
TEST_DIRS = ("/test/", "/tests/", "/__tests__/", "/testsuite/")
TEST_PREFIXES = ("test_", "tests_")
TEST_SUFFIXES = ("_test", "_tests", ".test", ".spec", "-test", "-spec")

_RUN = re.compile(r"[A-Za-z0-9_]+")
_VERSION_NUMBER = re.compile(r"(?:^|[^A-Za-z0-9_])[vV]?[0-9]+\.[0-9]+")
_VERSION_DECL = re.compile(r"""^[ \t]*(?:"version"[ \t]*:|__version__[ \t]*=|version[ \t]*=)[ \t]*["']""",
                           re.MULTILINE | re.IGNORECASE)
_CONVENTIONAL = re.compile(r"^[ \t]*([A-Za-z0-9_]+)(?:\(([^)]*)\))?!?:[ \t]")


# ---- words ----

def split_camel(piece):
    """Splits an ASCII letter/digit run at case changes and letter/digit borders:
    getUserById -> get User By Id, HTTPServer -> HTTP Server, v2Api -> v 2 Api."""
    parts = []
    i, n = 0, len(piece)
    while i < n:
        c = piece[i]
        j = i + 1
        if c.isdigit():
            while j < n and piece[j].isdigit():
                j += 1
        elif c.islower():
            while j < n and piece[j].islower():
                j += 1
        else:  # upper case
            while j < n and piece[j].isupper():
                j += 1
            if j - i == 1:  # one capital starts a word: Server
                while j < n and piece[j].islower():
                    j += 1
            elif j < n and piece[j].islower():  # HTTPServer: the last capital starts the next word
                j -= 1
        parts.append(piece[i:j])
        i = j
    return parts


def stem(word):
    """Light suffix stripping so that plural, -ing and -ed forms and a final e meet:
    create, creates, created and creating all give creat."""
    w = word
    if len(w) > 4 and w.endswith("ies"):
        w = w[:-3] + "y"
    elif len(w) > 5 and w.endswith("ing"):
        w = w[:-3]
    elif len(w) > 4 and w.endswith("ed"):
        w = w[:-2]
    elif len(w) > 4 and (w.endswith(("ses", "xes", "zes", "ches", "shes"))):
        w = w[:-2]
    elif len(w) > 3 and w.endswith("s") and not w.endswith("ss"):
        w = w[:-1]
    if len(w) > 4 and w.endswith("e"):
        w = w[:-1]
    return w


def words(text):
    """Index terms of a text, in order: for every run of ASCII letters, digits and "_",
    its parts (split at "_" and by split_camel, lower-cased) that are at least MIN_TERM
    long, not all digits and not stop words, stemmed; then, when the run has two or
    more parts, the whole run lower-cased without "_" (so JSONMixin also gives jsonmixin)."""
    out = []
    for run in _RUN.findall(text):
        parts = [p.lower() for piece in run.split("_") for p in split_camel(piece)]
        for p in parts:
            if len(p) >= MIN_TERM and not p.isdigit() and p not in STOP_WORDS:
                out.append(stem(p))
        if len(parts) > 1:
            out.append(run.replace("_", "").lower())
    return out


# ---- files ----

def file_ext(name):
    """Extension of the last path component, with its dot; "" when the dot is the
    component's first or last character or there is none."""
    base = name.rsplit("/", 1)[-1]
    dot = base.rfind(".")
    return base[dot:] if 0 < dot < len(base) - 1 else ""


def without_ext(path):
    ext = file_ext(path)
    return path[: len(path) - len(ext)] if ext else path


def path_words(path):
    return words(without_ext(path))


def is_test(path):
    p = "/" + path.lower()
    stem_ = without_ext(p.rsplit("/", 1)[-1])
    return (any(d in p for d in TEST_DIRS) or stem_.startswith(TEST_PREFIXES)
            or stem_.endswith(TEST_SUFFIXES))


def file_kind(path):
    ext = file_ext(path).lower()
    if ext == ".md":
        return "doc"
    if ext in (".json", ".yaml", ".yml"):
        return "config"
    return "source"


_LANG_DIR = re.compile(r"[a-z]{2}(?:[-_][a-z]{2,4})?\Z")
CHANGELOG_STEMS = frozenset("changelog changes history news releases".split())


def file_class(path):
    """The class of file a task's words rarely mean: "template" (issue templates and the
    like under .github/), "changelog", "docs" (read-mes and docs in another language), or
    None."""
    p = ascii_lower(path)
    parts = p.split("/")
    stem_ = without_ext(parts[-1])
    if p.startswith(".github/"):
        return "template"
    if stem_ in CHANGELOG_STEMS and file_ext(parts[-1]) in ("", ".md", ".rst", ".txt"):
        return "changelog"
    if file_ext(parts[-1]) == ".md":
        if stem_.startswith("readme"):
            return "docs"
        if len(parts) >= 3 and parts[0] in ("docs", "doc") and _LANG_DIR.match(parts[1]):
            return "docs"
    return None


def file_name_keys(path):
    """Lower-cased keys a task may name a file by: every component suffix of its path, of
    the path without extension and, for index and __init__ files, of its directory."""
    p = ascii_lower(path)
    head = without_ext(p)
    keys = [p, head]
    if head.rsplit("/", 1)[-1] in ("index", "__init__") and "/" in head:
        keys.append(_parent(head))
    out = set()
    for key in keys:
        parts = key.split("/")
        for k in range(len(parts)):
            out.add("/".join(parts[k:]))
    return out


def bare_stem(path):
    """The file name without extension and test marks, lower-cased, without "_" and
    "-", stemmed: order_table.py, OrderTable.tsx and test_order_tables.py all give
    ordertabl."""
    s = without_ext(path.rsplit("/", 1)[-1].lower())
    for prefix in TEST_PREFIXES:
        if s.startswith(prefix):
            s = s[len(prefix):]
            break
    for suffix in TEST_SUFFIXES:
        if s.endswith(suffix):
            s = s[: -len(suffix)]
            break
    return stem(s.replace("_", "").replace("-", ""))


def _module_head(target):
    """A specifier without a module extension: ./util.js also names util.ts."""
    ext = file_ext(target)
    return target[: -len(ext)] if ext.lower() in MODULE_EXTS else target


def _parent(path):
    return path.rsplit("/", 1)[0] if "/" in path else ""


def _join(base, rel):
    parts = [p for p in base.split("/") if p]
    for p in rel.split("/"):
        if p in ("", "."):
            continue
        if p == "..":
            if parts:
                parts.pop()
        else:
            parts.append(p)
    return "/".join(parts)


def _common_dirs(a, b):
    n = 0
    for x, y in zip(a.split("/")[:-1], b.split("/")):
        if x != y:
            break
        n += 1
    return n


# ---- per-graph statistics ----

class HybridIndex:
    """Everything the hybrid ranking needs that does not depend on the query."""

    FIELDS = 3  # path, symbol, content

    def __init__(self, graph):
        nodes = graph.get("nodes", []) or []
        self.nodes = [n for n in nodes if n.get("kind") == "file"]
        self.ids = [str(n.get("id", "")) for n in self.nodes]
        self.pos = {}
        for i, fid in enumerate(self.ids):
            self.pos.setdefault(fid, i)
        symbols = {}
        for n in nodes:
            if n.get("kind") == "symbol":
                symbols.setdefault(str(n.get("path", "")), []).append(str(n.get("name", "")))
        self.tf = []       # per file: three maps term -> count
        self.length = []   # per file: three term counts
        self.df = {}
        for n, fid in zip(self.nodes, self.ids):
            fields = (path_words(fid),
                      words(" ".join(symbols.get(fid, []) + [str(k) for k in n.get("keywords", []) or []])),
                      words(str(n.get("content", ""))))
            counts = []
            for f in fields:
                c = {}
                for t in f:
                    c[t] = c.get(t, 0) + 1
                counts.append(c)
            self.tf.append(counts)
            self.length.append([len(f) for f in fields])
            for t in set(counts[0]) | set(counts[1]) | set(counts[2]):
                self.df[t] = self.df.get(t, 0) + 1
        count = len(self.ids) or 1
        self.avg_length = [(sum(l[f] for l in self.length) / count) or 1.0 for f in range(self.FIELDS)]
        self.prior = [math.log(1.0 + min(int(n.get("size", 0) or 0), PRIOR_CAP) / 1000.0) for n in self.nodes]
        self.is_test = [is_test(fid) for fid in self.ids]
        self.kind = [file_kind(fid) for fid in self.ids]
        self.has_version = [bool(_VERSION_DECL.search(str(n.get("content", "")))) for n in self.nodes]
        self.file_class = [file_class(fid) for fid in self.ids]
        self.name_keys = [file_name_keys(fid) for fid in self.ids]
        self._build_lookup()
        self.neighbours = [set() for _ in self.ids]
        for e in graph.get("edges", []) or []:
            rel = e.get("rel")
            src = self.pos.get(e.get("from"))
            if src is None or rel not in ("imports", "requires", "references"):
                continue
            dst = self.resolve(str(e.get("from")), str(e.get("to", "")), rel)
            if dst is not None and dst != src:
                self.neighbours[src].add(dst)
                self.neighbours[dst].add(src)
        self.companions = [set() for _ in self.ids]
        groups = {}
        for i, fid in enumerate(self.ids):
            if file_ext(fid).lower() in SOURCE_EXTS:
                groups.setdefault(bare_stem(fid), []).append(i)
        for key, members in groups.items():
            if len(key) >= COMPANION_STEM_MIN and 2 <= len(members) <= COMPANION_GROUP_MAX:
                for a in members:
                    self.companions[a].update(b for b in members if b != a)

    # -- resolving edge targets to files --

    def _build_lookup(self):
        """Module keys: every file id, the id without its extension, and for index and
        __init__ files their directory; every key also under each of its component suffixes."""
        self.keys = {}
        self.suffixes = {}
        self.packages = set()  # directories holding an __init__.py
        for i, fid in enumerate(self.ids):
            head = without_ext(fid)
            keys = [fid, head]
            if head.rsplit("/", 1)[-1] in ("index", "__init__"):
                keys.append(_parent(head))
            if fid.rsplit("/", 1)[-1] == "__init__.py":
                self.packages.add(_parent(fid))
            for key in keys:
                self.keys.setdefault(key, i)
                parts = key.split("/")
                for k in range(len(parts)):
                    bucket = self.suffixes.setdefault("/".join(parts[k:]), [])
                    if not bucket or bucket[-1] != i:
                        bucket.append(i)

    def resolve(self, frm, target, rel):
        """The file an edge's target names, or None."""
        if not target:
            return None
        base = _parent(frm)
        if frm.endswith(".py") and rel == "imports" and "/" not in target:
            return self._resolve_python(base, target)
        if target.startswith(("./", "../")) or target in (".", ".."):
            return self._exact(_join(base, target))
        s = target
        for prefix in ("@/", "~/", "/"):
            if s.startswith(prefix):
                s = s[len(prefix):]
                break
        if "/" not in s and rel != "references":
            return None  # a bare package name: react, lodash
        found = self._exact(_join(base, s))
        if found is None:
            found = self._exact(s)
        if found is None:
            found = self._suffix(s, frm)
        if found is None and rel != "references" and "/" in s:
            found = self._suffix(s.split("/", 1)[1], frm)  # a package's own name: zustand/middleware
        return found

    def _resolve_python(self, base, target):
        if target.startswith("."):
            dots = len(target) - len(target.lstrip("."))
            d = base
            for _ in range(dots - 1):
                d = _parent(d)
            rest = target[dots:].replace(".", "/")
            return self._exact("/".join(x for x in (d, rest) if x))
        # An absolute module names a file below a directory that is not a package
        # itself: the place the import system starts from (the root, src/, ...).
        key = target.replace(".", "/")
        for i in self.suffixes.get(key, []):
            if not self.ids[i].endswith(".py"):
                continue
            head = without_ext(self.ids[i])
            if head.endswith("/__init__") or head == "__init__":
                head = _parent(head)
            if head == key or head.endswith("/" + key):
                root = head[: len(head) - len(key)].rstrip("/")
                if root not in self.packages:
                    return i
        return None

    def _exact(self, key):
        key = key.strip("/")
        if key in self.keys:
            return self.keys[key]
        head = _module_head(key)
        return self.keys.get(head) if head != key else None

    def _suffix(self, key, frm):
        key = key.strip("/")
        cands = self.suffixes.get(key) or self.suffixes.get(_module_head(key)) or []
        if not cands:
            return None
        # Nearest to the importing file first, then graph order.
        return max(cands, key=lambda i: (_common_dirs(frm, self.ids[i]), -i))

    # -- scoring --

    def idf(self, term):
        n, df = len(self.ids), self.df.get(term, 0)
        return math.log(1.0 + (n - df + 0.5) / (df + 0.5))

    @staticmethod
    def term_weight(weight, count):
        """A term's weight in the task: more for a term the task repeats, up to a cap."""
        return weight * (1.0 + QTF_LOG * math.log(min(max(count, 1), QTF_CAP)))

    def text_scores(self, terms, counts=None):
        """BM25F of (term, weight) pairs for every file."""
        weights = (W_PATH, W_SYMBOL, W_CONTENT)
        bs = (B_PATH, B_SYMBOL, B_CONTENT)
        counts = counts or {}
        idfs = [(t, self.term_weight(w, counts.get(t, 1)) * self.idf(t)) for t, w in terms]
        out = [0.0] * len(self.ids)
        for i, counts in enumerate(self.tf):
            s = 0.0
            for t, idf in idfs:
                tf = 0.0
                for f in range(self.FIELDS):
                    c = counts[f].get(t)
                    if c:
                        tf += weights[f] * c / (1.0 - bs[f] + bs[f] * self.length[i][f] / self.avg_length[f])
                if tf > 0.0:
                    s += idf * tf / (K1 + tf)
            out[i] = s
        return out


# ---- the query ----

class Query:
    def __init__(self, text):
        self.text = text
        weights = {}
        rest = text
        m = _CONVENTIONAL.match(text)
        if m and m.group(1).lower() not in COMMIT_TYPES:
            m = None  # "make_test_environ_builder: ..." names a function, not a type
        if m:  # "fix(persist): ...": the type is no search word, the scope a strong one
            for t in words(m.group(2) or ""):
                weights.setdefault(t, SCOPE_WEIGHT)
            rest = text[m.end():]
        self.counts = {}
        for t in words(rest):
            weights.setdefault(t, TERM_WEIGHT)
            self.counts[t] = self.counts.get(t, 0) + 1
        self.terms = list(weights.items())
        self.path_names = named_keys(text)
        raw = {w.lower() for w in re.findall(r"[A-Za-z0-9]+", text)}
        self.wants_version = bool(raw & VERSION_WORDS) or bool(_VERSION_NUMBER.search(text))
        self.wants_tests = bool(raw & TEST_WORDS)
        self.wants_docs = bool(raw & DOC_WORDS)
        self.wants_config = bool(raw & CONFIG_WORDS)
        self.wants_changelog = bool(raw & CHANGELOG_WORDS)
        self.wants_templates = bool(raw & TEMPLATE_WORDS)


# ---- names the task gives: paths, file names, dotted modules, symbols ----

_NAME_TOKEN = re.compile(r"[A-Za-z0-9_$][A-Za-z0-9_$./-]*")
_CODE_SPAN = re.compile(r"`([^`\n]+)`")
_IDENT = re.compile(r"[A-Za-z_$][A-Za-z0-9_$]*\Z")
_ASCII_LOWER = str.maketrans("ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz")


def ascii_lower(text):
    return text.translate(_ASCII_LOWER)


def _name_like(token):
    """A single word that reads as a name rather than prose: with a mark inside, a digit or a
    capital after its first letter."""
    return any(c in "-_.$" for c in token) or any(c.isdigit() or c.isupper() for c in token[1:])


def named_keys(text):
    """The lower-cased path keys the text names: for a path, its component suffixes of two
    to NAMED_MAX_COMPONENTS components, each also without its module extension; a dotted module
    (astroid.brain.brain_numpy) as a path; a single word that reads as a name or stands in
    a code span as a file name, with and without its module extension."""
    in_code = set()
    for span in _CODE_SPAN.findall(text):
        in_code.update(t.rstrip("./-") for t in _NAME_TOKEN.findall(span))
    paths = set()
    for token in _NAME_TOKEN.findall(text):
        token = token.rstrip("./-")
        if len(token) < 2:
            continue
        low = ascii_lower(token)
        if "/" not in low and low.count(".") >= 2 and all(_IDENT.match(p) for p in low.split(".")):
            low = low.replace(".", "/")
        if "/" in low:
            parts = [p for p in low.split("/") if p not in ("", ".", "..")]
            for k in range(max(0, len(parts) - NAMED_MAX_COMPONENTS), len(parts) - 1):
                key = "/".join(parts[k:])
                paths.add(key)
                paths.add(_module_head(key))
        elif token in in_code or _name_like(token):
            paths.add(low)
            paths.add(_module_head(low))
    return paths


def damped(index, query, i):
    """True when the file is of a class that a task names only by accident unless it is
    about that class: issue templates, change logs, read-mes and translated docs, tests.
    Only a long task (an issue report, not a commit subject) names them by accident."""
    if len(query.terms) < LONG_TASK_TERMS:
        return False
    c = index.file_class[i]
    return ((c == "template" and not query.wants_templates)
            or (c == "changelog" and not (query.wants_changelog or query.wants_version))
            or (c == "docs" and not query.wants_docs)
            or (index.is_test[i] and not query.wants_tests))


def named_files(index, query):
    """The files the task names by path or file name; a name that fits more than
    NAMED_MAX_FILES files names none."""
    by_key = {}
    for i in range(len(index.ids)):
        for key in index.name_keys[i]:
            if key in query.path_names:
                by_key.setdefault(key, set()).add(i)
    files = set()
    for members in by_key.values():
        if len(members) <= NAMED_MAX_FILES:
            files |= members
    return files


def file_scores(index, query, cap_boost=None):
    """Final float score of every file."""
    text = index.text_scores(query.terms, query.counts)
    best = max(text) if text else 0.0
    named = named_files(index, query) if query.path_names else set()
    out = []
    for i, s in enumerate(text):
        v = s + PRIOR * index.prior[i]
        if damped(index, query, i):
            v *= CLASS_DAMP
        if index.neighbours[i]:
            v += PROP_IMPORT * max(text[j] for j in index.neighbours[i])
        if index.companions[i]:
            v += PROP_COMPANION * max(text[j] for j in index.companions[i])
        if query.wants_version and index.has_version[i]:
            v += VERSION_BOOST
        if query.wants_docs and index.kind[i] == "doc":
            v += DOC_WORD_BOOST
        if query.wants_config and index.kind[i] == "config":
            v += CONFIG_WORD_BOOST
        if query.wants_tests and index.is_test[i]:
            v += TEST_BOOST
        if i in named:
            v += NAMED_FILE_SHARE * best
        if cap_boost:
            v += CAP_WEIGHT * capability_boost(index.ids[i], cap_boost)
        out.append(v)
    return out


def ranked(index, query, cap_boost=None):
    """(file index, integer score) pairs with a score above 0, best first, ties by id."""
    scored = [(int(math.floor(v * SCORE_SCALE + 0.5)), i)
              for i, v in enumerate(file_scores(index, query, cap_boost))]
    scored = [(s, i) for s, i in scored if s > 0]
    scored.sort(key=lambda p: (-p[0], index.ids[p[1]]))
    return [(i, s) for s, i in scored]


_LAST = {}


def index_for(graph):
    """The index of the last graph asked for (the benchmark ranks one graph at a time)."""
    if _LAST.get("graph") is not graph:
        _LAST["graph"], _LAST["index"] = graph, HybridIndex(graph)
    return _LAST["index"]


def rank(graph, query):
    """File ids, best first: what the benchmark scores."""
    index = index_for(graph)
    return [index.ids[i] for i, _ in ranked(index, Query(query))]


# ---- what crv keeps from the classic ranking: capability boosts, role and intent ----

def tokenize_query(text):
    out = []
    for run in re.findall(r"[a-zA-Z0-9_]+", text.lower()):
        if len(run) >= 2 and run not in CLASSIC_STOP_WORDS and run not in out:
            out.append(run)
    return out


CLASSIC_STOP_WORDS = frozenset("""a an the to for with from and or of on in by you your can could should
would will want need please fix update make show differently different change do it api""".split())


def load_capability_index(path):
    if not path or not os.path.isfile(path):
        return []
    with open(path, "rb") as f:
        text = f.read().decode("utf-8", "ignore")
    entries, name, keywords, files = [], "", [], []

    def close():
        if name and (keywords or files):
            entries.append((name, keywords, files))

    for line in text.splitlines():
        line = line.strip()
        if not line:
            continue
        if line.startswith("## "):
            close()
            name, keywords, files = line[3:].strip(), [], []
        elif line.lower().startswith("keywords:"):
            keywords = [k.strip().lower() for k in line.split(":", 1)[1].split(",") if k.strip()]
        elif line.startswith("- "):
            item = line[2:].strip().strip("`")
            if "/" in item and "." in item:
                files.append(item)
    close()
    return entries


def capability_file_boosts(terms, caps):
    boosts, q = {}, set(terms)
    for _, keywords, files in caps:
        overlap = len(q & {k.lower() for k in keywords})
        if overlap:
            for f in files:
                boosts[f] = max(boosts.get(f, 0), 4 + 2 * overlap)
    return boosts


def capability_boost(file_id, cap_boost):
    """The classic capability boost of one file: its exact key plus every matching
    directory ("/") and wildcard ("*") prefix key."""
    total = cap_boost.get(file_id, 0)
    for key, boost in cap_boost.items():
        if key.endswith("/") and file_id.startswith(key):
            total += boost
        elif key.endswith("*") and file_id.startswith(key[:-1]):
            total += boost
    return total


def classify_intent(query):
    if re.search(r"\b(GET|POST|PUT|DELETE|PATCH)\s+/\S+", query, re.IGNORECASE):
        return "debug"
    q = query.lower()
    table = [
        (("why", "explain", "architecture", "dependency", "how does"), "explain"),
        (("error", "bug", "crash", "failing", "fail", "broken", "stack trace", "500", "404",
          "returning", "throws", "exception"), "debug"),
        (("test", "unit test", "integration test", "coverage"), "test"),
        (("refactor", "cleanup", "simplify", "restructure", "optimize"), "refactor"),
        (("add", "create", "implement", "build", "support"), "feature"),
        (("fix", "update", "change", "edit", "modify", "patch"), "edit"),
    ]
    for phrases, intent in table:
        if any(p in q for p in phrases):
            return intent
    return "general"


def node_role(path, ext):
    if ext == ".md":
        return "docs"
    p = path.lower()
    if "/test/" in p or "/tests/" in p or p.endswith((".test.ts", ".spec.ts", ".test.tsx", ".spec.tsx")):
        return "test"
    if "/components/ui/" in p:
        return "shared_ui"
    if any(d in p for d in ("/pages/", "/components/features/", "/views/", "/screens/")):
        return "ui_surface"
    if any(d in p for d in ("/api/", "/services/", "/store/", "/hooks/", "/utils/")):
        return "logic"
    return "code"


# ---- rows and edges ----

def retrieve(graph, query_text, top_files, top_edges, capability_index=None):
    """The result of crv retrieve --rank hybrid: {"files": rows, "edges": edges}."""
    nodes = graph.get("nodes", []) or []
    edges = graph.get("edges", []) or []
    index = index_for(graph)
    query = Query(query_text)
    cap_boost = capability_file_boosts(tokenize_query(query_text), load_capability_index(capability_index))
    intent = classify_intent(query_text)
    chosen = ranked(index, query, cap_boost)[: max(top_files, 0)]
    rows = []
    for i, score in chosen:
        node = index.nodes[i]
        row = {k: v for k, v in node.items() if k != "content"}
        row["_score"] = score
        row["_role"] = node_role(str(node.get("id", "")), str(node.get("ext", "")))
        row["_intent"] = intent
        rows.append(row)
    files = rows if rows else nodes[: top_files]
    picked = choose_edges(index, query, edges, {index.ids[i]: s for i, s in chosen})[:top_edges]
    if not picked:
        picked = edges[: top_edges]
    return {"files": files, "edges": picked}


def choose_edges(index, query, edges, chosen):
    """Edges between chosen files first: an edge scores the integer scores of its chosen
    ends (the target resolved to a file); relations to nothing in the graph are left
    out, and "contains" edges count only when the symbol's name holds a query term."""
    terms = {t for t, _ in query.terms}
    scored = []
    for e in edges:
        frm, to, rel = str(e.get("from", "")), str(e.get("to", "")), e.get("rel")
        if rel == "contains":
            name = to.split("::", 1)[1] if "::" in to else to
            if frm not in chosen or not terms & set(words(name)):
                continue
            score = chosen[frm]
        else:
            target = index.resolve(frm, to, rel) if frm in index.pos else None
            if target is None:
                continue
            score = chosen.get(frm, 0) + chosen.get(index.ids[target], 0)
            if score == 0 or index.ids[target] == frm:
                continue
        scored.append((-score, frm, to, len(scored), e))
    scored.sort(key=lambda s: s[:4])
    return [s[4] for s in scored]


def main(argv=None):
    p = argparse.ArgumentParser(description="Prints the hybrid ranking of a graph file as crv retrieve --json would.")
    p.add_argument("graph", help="info_graph.json")
    p.add_argument("--query", required=True)
    p.add_argument("--top-files", type=int, default=20)
    p.add_argument("--top-edges", type=int, default=40)
    p.add_argument("--capability-index", help="functionality_index.md")
    args = p.parse_args(argv)
    with open(args.graph, encoding="utf-8") as f:
        graph = json.load(f)
    result = retrieve(graph, args.query, args.top_files, args.top_edges, args.capability_index)
    json.dump({"query": args.query, "files": result["files"], "edges": result["edges"]},
              sys.stdout, indent=2, ensure_ascii=True)
    sys.stdout.write("\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
