"""Python model of crv's hybrid ranking."""
import math
import re

# ---- constants (measurements in DESIGN.md) ----
W_PATH = 3.0
W_SYMBOL = 2.0
W_CONTENT = 1.0
K1 = 1.2
B_PATH = 0.3
B_SYMBOL = 0.5
B_CONTENT = 0.5
PRIOR = 0.2          # weight of log(1 + size / 1000)
PROP_IMPORT = 0.1    # share of the best import neighbour's score
PROP_COMPANION = 0.2 # share of the best companion's score
COMPANION_GROUP_MAX = 4
DOC_WITH_INTENT = 1.0  # factor on a Markdown file's text score when the task is about docs
DOC_WITHOUT_INTENT = 1.0  # ... and when it is not
VERSION_BOOST = 2.0
PRIOR_OTHER = 1.0  # factor on the size prior of files that are not source code
DOC_WORDS = frozenset("doc docs documentation readme typo typos guide guides md spelling grammar wording changelog tutorial".split())
VERSION_WORDS = frozenset("version release bump".split())
MIN_TERM = 2
STEM = True
COMPOUNDS = True
USE_STOP = True

STOP_WORDS = frozenset("""
a an the to for with from and or of on in by at as is are was were be been it its this that
these those into onto not no yes all any some when then than so if else but also via per
you your we our i my me can could should would will shall may might must do does did done
make makes made use uses used using add adds added adding remove removes removed removing
fix fixes fixed fixing update updates updated updating change changes changed changing
improve improved improves more less new old get set allow allows allowed support supports
""".split())

_RUN = re.compile(r"[A-Za-z0-9_]+")
_CAMEL = re.compile(r"[A-Z]+(?=[A-Z][a-z])|[A-Z]?[a-z]+|[A-Z]+|[0-9]+")
SOURCE_EXTS = (".py", ".ts", ".tsx", ".js", ".jsx", ".go", ".swift")
RESOLVE_EXTS = (".ts", ".tsx", ".js", ".jsx", ".py", ".go", ".swift", ".json", ".md", ".yaml", ".yml")


_VERSION_NUMBER = re.compile(r"\bv?[0-9]+\.[0-9]+")
_VERSION_DECL = re.compile(r"""^\s*(?:"version"\s*:|__version__\s*=|version\s*=)\s*["']""", re.M | re.I)


def stem(word):
    """Light suffix stripping so that plural, -ing and -ed forms meet."""
    if not STEM:
        return word
    if len(word) > 4 and word.endswith("ies"):
        return word[:-3] + "y"
    if len(word) > 5 and word.endswith("ing"):
        return word[:-3]
    if len(word) > 4 and word.endswith("ed"):
        return word[:-2]
    if len(word) > 3 and word.endswith("s") and not word.endswith("ss"):
        return word[:-1]
    return word


def words(text):
    """Index terms of a text: identifier parts (camelCase, snake_case) stemmed, plus the
    whole identifier lower-cased when it has several parts."""
    out = []
    for run in _RUN.findall(text):
        parts = [p.lower() for piece in run.split("_") for p in _CAMEL.findall(piece)]
        for p in parts:
            if len(p) >= MIN_TERM and not p.isdigit() and not (USE_STOP and p in STOP_WORDS):
                out.append(stem(p))
        if COMPOUNDS and len(parts) > 1:
            out.append(run.replace("_", "").lower())
    return out


def split_ext(name):
    dot = name.rfind(".")
    return (name[:dot], name[dot:]) if dot > 0 else (name, "")


def path_words(path):
    head, _ = split_ext(path)
    return words(head.replace("/", " ").replace("-", " ").replace(".", " "))


_TEST_MARK = re.compile(r"^(test_|tests_)|(_test|_tests|\.test|\.spec|-test|-spec)$")


def is_test(path):
    p = "/" + path.lower()
    name = p.rsplit("/", 1)[-1]
    stem_, _ = split_ext(name)
    return ("/test/" in p or "/tests/" in p or "/__tests__/" in p or "/testsuite/" in p
            or bool(_TEST_MARK.search(stem_)))


def bare_stem(path):
    stem_, _ = split_ext(path.rsplit("/", 1)[-1])
    return _TEST_MARK.sub("", stem_.lower())


class Index:
    def __init__(self, graph):
        nodes = graph.get("nodes", [])
        self.ids = []
        self.size = []
        self.is_doc = []
        self.has_version = []
        self.fields = []  # per file: (path tf, symbol tf, content tf)
        self.lengths = []
        self.pos = {}
        symbol_text = {}
        for n in nodes:
            if n.get("kind") == "symbol":
                symbol_text.setdefault(n.get("path", ""), []).append(n.get("name", ""))
        for n in nodes:
            if n.get("kind") != "file":
                continue
            fid = n["id"]
            self.pos[fid] = len(self.ids)
            self.ids.append(fid)
            self.size.append(n.get("size", 0))
            self.is_doc.append(fid.lower().endswith(".md"))
            self.has_version.append(bool(_VERSION_DECL.search(n.get("content", ""))))
            sym = words(" ".join(symbol_text.get(fid, []) + n.get("keywords", [])))
            fields = (path_words(fid), sym, words(n.get("content", "")))
            self.fields.append([_counts(f) for f in fields])
            self.lengths.append([len(f) for f in fields])
        self.df = {}
        for tfs in self.fields:
            for t in set().union(*tfs):
                self.df[t] = self.df.get(t, 0) + 1
        n = len(self.ids) or 1
        self.avg = [sum(l[i] for l in self.lengths) / n or 1.0 for i in range(3)]
        self.prior = [math.log(1 + s / 1000.0) * (1.0 if split_ext(fid)[1].lower() in SOURCE_EXTS else PRIOR_OTHER)
                      for fid, s in zip(self.ids, self.size)]
        self.imports = [set() for _ in self.ids]
        self._build_imports(graph.get("edges", []))
        self.companions = [set() for _ in self.ids]
        self._build_companions()

    # ---- edges ----
    def _build_imports(self, edges):
        keys = {}  # module key (path without extension, or package dir) -> file indexes
        suffixes = {}
        for i, fid in enumerate(self.ids):
            head, ext = split_ext(fid)
            for key in {fid, head} | ({head.rsplit("/", 1)[0] if "/" in head else ""}
                                      if head.rsplit("/", 1)[-1] in ("index", "__init__") else set()):
                keys.setdefault(key, []).append(i)
        for key, idxs in keys.items():
            parts = key.split("/")
            for k in range(len(parts)):
                suffixes.setdefault("/".join(parts[k:]), []).extend(idxs)
        self._keys, self._suffixes = keys, suffixes
        self._packages = {fid.rsplit("/", 1)[0] if "/" in fid else "" for fid in self.ids
                          if fid.rsplit("/", 1)[-1] == "__init__.py"}
        for e in edges:
            rel = e.get("rel")
            if rel not in ("imports", "requires", "references"):
                continue
            src = self.pos.get(e.get("from"))
            if src is None:
                continue
            for dst in self.resolve(e.get("from"), e.get("to", ""), rel):
                if dst != src:
                    self.imports[src].add(dst)
                    self.imports[dst].add(src)

    def resolve(self, frm, spec, rel):
        base_dir = frm.rsplit("/", 1)[0] if "/" in frm else ""
        if not spec:
            return []
        if frm.endswith(".py") and rel == "imports" and "/" not in spec:
            return self._resolve_python(base_dir, spec)
        if spec.startswith("./") or spec.startswith("../") or spec in (".", ".."):
            return self._lookup_exact(_join(base_dir, spec))
        s = spec
        for prefix in ("@/", "~/", "/"):
            if s.startswith(prefix):
                s = s[len(prefix):]
                break
        if "/" not in s and rel != "references":
            return []
        found = self._lookup_exact(_join(base_dir, s)) or self._lookup_exact(s) or self._lookup_suffix(s)
        if not found and rel != "references" and "/" in s:
            found = self._lookup_suffix(s.split("/", 1)[1])
        return found

    def _resolve_python(self, base_dir, spec):
        if spec.startswith("."):
            dots = len(spec) - len(spec.lstrip("."))
            d = base_dir
            for _ in range(dots - 1):
                d = d.rsplit("/", 1)[0] if "/" in d else ""
            rest = spec[dots:].replace(".", "/")
            return self._lookup_exact("/".join(x for x in (d, rest) if x))
        # An absolute module resolves to a file below a directory that is not itself a
        # package (no __init__.py): such a directory is where the import system starts.
        key = spec.replace(".", "/")
        found = []
        for i in self._suffixes.get(key, []):
            head = split_ext(self.ids[i])[0]
            if head.endswith("/__init__"):
                head = head[: -len("/__init__")]
            root = head[: len(head) - len(key)].rstrip("/")
            if root not in self._packages:
                found.append(i)
        return found[:1]

    def _lookup_exact(self, key):
        key = key.strip("/")
        for k in (key, split_ext(key)[0]):
            if k in self._keys:
                return self._keys[k][:1]
        return []

    def _lookup_suffix(self, key, near=""):
        key = key.strip("/")
        cands = self._suffixes.get(key) or self._suffixes.get(split_ext(key)[0]) or []
        if len(cands) <= 1:
            return cands[:1]
        best = max(_common_prefix(self.ids[i], near) for i in cands)
        return [i for i in cands if _common_prefix(self.ids[i], near) == best][:1]

    def _build_companions(self):
        groups = {}
        for i, fid in enumerate(self.ids):
            if split_ext(fid)[1].lower() in SOURCE_EXTS:
                groups.setdefault(bare_stem(fid), []).append(i)
        for stem_, idxs in groups.items():
            if len(stem_) < 3 or len(idxs) > COMPANION_GROUP_MAX or len(idxs) < 2:
                continue
            for a in idxs:
                for b in idxs:
                    if a != b:
                        self.companions[a].add(b)

    # ---- scoring ----
    def idf(self, t):
        n, df = len(self.ids), self.df.get(t, 0)
        return math.log(1.0 + (n - df + 0.5) / (df + 0.5))

    def lexical(self, terms):
        weights = (W_PATH, W_SYMBOL, W_CONTENT)
        bs = (B_PATH, B_SYMBOL, B_CONTENT)
        idfs = [self.idf(t) for t in terms]
        scores = [0.0] * len(self.ids)
        for i, tfs in enumerate(self.fields):
            s = 0.0
            for t, idf in zip(terms, idfs):
                tf = 0.0
                for f in range(3):
                    c = tfs[f].get(t)
                    if c:
                        tf += weights[f] * c / (1 - bs[f] + bs[f] * self.lengths[i][f] / self.avg[f])
                if tf:
                    s += idf * tf / (K1 + tf)
            scores[i] = s
        return scores


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


def _common_prefix(a, b):
    n = 0
    for x, y in zip(a.split("/"), b.split("/")):
        if x != y:
            break
        n += 1
    return n


def _counts(terms):
    out = {}
    for t in terms:
        out[t] = out.get(t, 0) + 1
    return out


def query_terms(query):
    return list(dict.fromkeys(words(query)))


_CACHE = {}


def index_for(graph):
    key = id(graph)
    if key not in _CACHE:
        _CACHE.clear()
        _CACHE[key] = (graph, Index(graph))
    return _CACHE[key][1]


def query_intents(query):
    raw = {w.lower() for w in _RUN.findall(query.replace("_", " "))}
    docs = bool(raw & DOC_WORDS) or ".md" in query.lower()
    version = bool(raw & VERSION_WORDS) or bool(_VERSION_NUMBER.search(query))
    return docs, version


def scores(idx, query):
    lex = idx.lexical(query_terms(query))
    docs, version = query_intents(query)
    doc_factor = DOC_WITH_INTENT if docs else DOC_WITHOUT_INTENT
    lex = [s * doc_factor if idx.is_doc[i] else s for i, s in enumerate(lex)]
    out = []
    for i, s in enumerate(lex):
        v = s + PRIOR * idx.prior[i]
        if version and idx.has_version[i]:
            v += VERSION_BOOST
        if PROP_IMPORT and idx.imports[i]:
            v += PROP_IMPORT * max(lex[j] for j in idx.imports[i])
        if PROP_COMPANION and idx.companions[i]:
            v += PROP_COMPANION * max(lex[j] for j in idx.companions[i])
        out.append(v)
    return out


def rank(graph, query):
    idx = index_for(graph)
    s = scores(idx, query)
    order = sorted(range(len(idx.ids)), key=lambda i: (-s[i], i))
    return [idx.ids[i] for i in order]
