"""Tests of the relevance benchmark and the hybrid model: python3 -m unittest discover -s bench/relevance"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import textwrap
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import baselines  # noqa: E402
import cost  # noqa: E402
import gap  # noqa: E402
import history  # noqa: E402
import hybrid_model as hm  # noqa: E402
import issues  # noqa: E402
import run  # noqa: E402


def file_node(path, content="", size=None, keywords=()):
    return {"id": path, "kind": "file", "path": path, "ext": hm.file_ext(path).lower(),
            "size": len(content) if size is None else size, "keywords": list(keywords),
            "content": content, "summary": "", "file_hash": "00000000"}


def graph_of(files, edges=(), symbols=()):
    nodes = [file_node(*f) if isinstance(f, tuple) else file_node(f) for f in files]
    for path, name in symbols:
        nodes.append({"id": f"{path}::{name}", "kind": "symbol", "path": path, "ext": hm.file_ext(path),
                      "size": 1, "keywords": [], "symbol_type": "utility", "name": name, "line_start": 0,
                      "line_end": 0, "body_hash": "", "confidence": "high", "exported": True})
    return {"nodes": nodes, "edges": [{"from": f, "to": t, "rel": r} for f, t, r in edges]}


class WordsTest(unittest.TestCase):
    def test_split_camel(self):
        cases = [("getUserById", ["get", "User", "By", "Id"]), ("HTTPServer", ["HTTP", "Server"]),
                 ("XMLHttpRequest", ["XML", "Http", "Request"]), ("v2Api", ["v", "2", "Api"]),
                 ("ABc", ["A", "Bc"]), ("plain", ["plain"]), ("A", ["A"]), ("42abc", ["42", "abc"])]
        for text, want in cases:
            with self.subTest(text):
                self.assertEqual(hm.split_camel(text), want)

    def test_stem(self):
        cases = [("create", "creat"), ("creates", "creat"), ("created", "creat"), ("creating", "creat"),
                 ("policies", "policy"), ("classes", "class"), ("matches", "match"), ("class", "class"),
                 ("sessions", "session"), ("bus", "bus"), ("ids", "ids"), ("used", "used")]
        for word, want in cases:
            with self.subTest(word):
                self.assertEqual(hm.stem(word), want)

    def test_words(self):
        cases = [("remove JSONMixin", ["json", "mixin", "jsonmixin"]),
                 ("before_first_request", ["befor", "first", "request", "beforefirstrequest"]),
                 ("Fix the order-items API", ["order", "item", "api"]),
                 ("issue #1234 in v2", ["issu", "v2"]),
                 ("café x1", ["caf", "x1"])]
        for text, want in cases:
            with self.subTest(text):
                self.assertEqual(hm.words(text), want)

    def test_query_scope_and_intents(self):
        q = hm.Query("fix(persist): clear storage (#3555)")
        self.assertEqual(q.terms, [("persist", hm.SCOPE_WEIGHT), ("clear", 1.0), ("storag", 1.0)])
        cases = [("5.0.12", True, False), ("Bump version number", True, False),
                 ("add tests for checkout", False, True), ("use python3.11 features", False, False),
                 ("latest tweaks", False, False)]
        for text, version, tests in cases:
            with self.subTest(text):
                q = hm.Query(text)
                self.assertEqual((q.wants_version, q.wants_tests), (version, tests))


class FilesTest(unittest.TestCase):
    def test_is_test_and_bare_stem(self):
        cases = [("tests/test_orders.py", True, "order"), ("src/orders.py", False, "order"),
                 ("web/OrderTable.tsx", False, "ordertabl"), ("web/order-table.spec.ts", True, "ordertabl"),
                 ("pkg/orders_test.go", True, "order"), ("src/__tests__/cart.ts", True, "cart"),
                 ("latest.py", False, "latest"), ("contest/a.py", False, "a")]
        for path, test, stem in cases:
            with self.subTest(path):
                self.assertEqual(hm.is_test(path), test)
                self.assertEqual(hm.bare_stem(path), stem)

    def test_file_ext(self):
        for path, want in [("a/b.TSX", ".TSX"), ("a.b/c", ""), (".md", ""), ("notes.", ""), ("x.test.ts", ".ts")]:
            with self.subTest(path):
                self.assertEqual(hm.file_ext(path), want)


class ResolveTest(unittest.TestCase):
    FILES = ["web/src/components/ui/Button.tsx", "web/src/pages/Invoice.tsx", "web/src/lib/api.ts",
             "web/src/lib/util.ts", "web/src/lib/index.ts", "src/middleware.ts",
             "api/payments/__init__.py", "api/payments/gateway.py", "api/payments/service.py",
             "api/__init__.py", "api/models.py", "api/typing.py", "docs/guide.md", "README.md"]

    def setUp(self):
        self.index = hm.HybridIndex(graph_of(self.FILES))

    def resolved(self, frm, target, rel="imports"):
        i = self.index.resolve(frm, target, rel)
        return None if i is None else self.index.ids[i]

    def test_targets(self):
        page, service = "web/src/pages/Invoice.tsx", "api/payments/service.py"
        cases = [
            (page, "../components/ui/Button", "imports", "web/src/components/ui/Button.tsx"),
            (page, "@/lib/api", "imports", "web/src/lib/api.ts"),
            (page, "../lib/util.js", "imports", "web/src/lib/util.ts"),
            (page, "../lib", "imports", "web/src/lib/index.ts"),
            (page, "react", "imports", None),
            (page, "../styles.css", "imports", None),
            ("tests/a.test.ts", "zustand/middleware", "imports", "src/middleware.ts"),
            (service, ".gateway", "imports", "api/payments/gateway.py"),
            (service, ".", "imports", "api/payments/__init__.py"),
            (service, "..models", "imports", "api/models.py"),
            ("main.py", "api.payments.gateway", "imports", "api/payments/gateway.py"),
            ("main.py", "api", "imports", "api/__init__.py"),
            (service, "typing", "imports", None),  # the standard library, not api/typing.py
            ("README.md", "/docs/guide.md", "references", "docs/guide.md"),
            ("README.md", "guide.md", "references", "docs/guide.md"),
        ]
        for frm, target, rel, want in cases:
            with self.subTest(f"{frm} -> {target}"):
                self.assertEqual(self.resolved(frm, target, rel), want)


class RankingTest(unittest.TestCase):
    def test_text_match_neighbours_and_companions(self):
        g = graph_of(
            [("api/invoice.py", "def render_invoice(): pass\n" * 3),
             ("api/helpers.py", "def pad(): pass\n"),
             ("tests/test_invoice.py", "from api import invoice\n"),
             ("web/Page.tsx", "import { x } from '../api/client'\nexport const Page = 1\n"),
             ("api/client.ts", "export const client = 1\n"),
             ("big.json", "{}", 400000)],
            edges=[("web/Page.tsx", "../api/client", "imports")])
        ids = hm.rank(g, "invoice rendering")
        self.assertEqual(ids[0], "api/invoice.py")
        self.assertEqual(ids[1], "tests/test_invoice.py")
        ids = hm.rank(g, "page client")
        self.assertEqual(set(ids[:2]), {"web/Page.tsx", "api/client.ts"})

    def test_version_task_prefers_version_declarations(self):
        g = graph_of([("package.json", '{\n  "name": "x",\n  "version": "1.2.3"\n}'),
                      ("src/index.ts", "export const a = 1\n" * 40)])
        self.assertEqual(hm.rank(g, "5.0.12")[0], "package.json")
        self.assertEqual(hm.rank(g, "tidy things")[0], "src/index.ts")

    def test_equal_scores_keep_id_order(self):
        g = graph_of([("b/orders.py", "orders"), ("a/orders.py", "orders"), ("c/misc.py", "misc")])
        rows = hm.retrieve(g, "orders", 2, 0)["files"]
        self.assertEqual([r["id"] for r in rows], ["a/orders.py", "b/orders.py"])
        self.assertEqual(rows[0]["_score"], rows[1]["_score"])
        self.assertIsInstance(rows[0]["_score"], int)

    def test_rows_and_edges(self):
        g = graph_of([("b/orders.py", "orders"), ("a/orders.py", "orders"), ("c/misc.py", "misc"),
                      ("web/x.ts", "import y from './y'\n")],
                     edges=[("a/orders.py", "b.orders", "imports"), ("a/orders.py", "os", "imports"),
                            ("a/orders.py", "a/orders.py::list_orders", "contains"),
                            ("a/orders.py", "a/orders.py::helper", "contains")],
                     symbols=[("a/orders.py", "list_orders"), ("a/orders.py", "helper")])
        result = hm.retrieve(g, "orders", 2, 10)
        rows = result["files"]
        self.assertEqual([r["id"] for r in rows], ["a/orders.py", "b/orders.py"])
        self.assertNotIn("content", rows[0])
        self.assertEqual((rows[0]["_role"], rows[0]["_intent"]), ("code", "general"))
        self.assertEqual([(e["from"], e["to"]) for e in result["edges"]],
                         [("a/orders.py", "b.orders"), ("a/orders.py", "a/orders.py::list_orders")])

    def test_postings_path_gives_the_same_ranking(self):
        g = graph_of([("api/orders.py", "def list_orders(): pass\n" * 5, None, ["list_orders"]),
                      ("tests/test_orders.py", "from api import orders\n"),
                      ("package.json", '{"version": "1.0.0", "dependencies": {}}'),
                      ("docs/orders.md", "# Orders\nHow orders are listed."),
                      ("web/OrderList.tsx", "import { x } from '../api/client'\n")],
                     edges=[("tests/test_orders.py", "api.orders", "imports")])
        index = hm.HybridIndex(g)
        postings = cost.build_postings(index)
        for text in ["list orders", "test: order listing", "docs for orders", "update dependencies",
                     "release 1.1.0", "nothing matches"]:
            with self.subTest(text):
                query = hm.Query(text)
                self.assertEqual(cost.answer(index, postings, query)[0], hm.ranked(index, query))

    def test_empty_graph(self):
        self.assertEqual(hm.retrieve({}, "anything", 5, 5), {"files": [], "edges": []})


class IssuesTest(unittest.TestCase):
    def test_accuracy_asks_for_every_gold_file_or_k_of_them(self):
        top = ["a", "b", "c", "d", "e"]
        cases = [(["a"], 1, 1.0), (["b"], 1, 0.0), (["b", "e"], 5, 1.0), (["b", "z"], 5, 0.0),
                 (["a", "b", "c", "z"], 3, 1.0), (["a", "z", "c", "d"], 3, 0.0)]
        for gold, k, want in cases:
            self.assertEqual(issues.accuracy(top, gold, k), want, (gold, k))

    def test_long_task_names_files_and_damps_what_it_names_by_accident(self):
        graph = graph_of([("src/locale/ar-ly.js", "locale ar ly"), ("src/plugin/utc/index.js", "utc"),
                          ("README.md", "locale plugin utc " * 5), ("test/utc.test.js", "utc " * 5)])
        index = hm.HybridIndex(graph)
        task = ("Wrong month names in the ar-ly locale when the utc plugin is loaded, see "
                "`utc` and the readme example, which prints another month on every call")
        query = hm.Query(task)
        self.assertGreaterEqual(len(query.terms), hm.LONG_TASK_TERMS)
        self.assertEqual({index.ids[i] for i in hm.named_files(index, query)},
                         {"src/locale/ar-ly.js", "src/plugin/utc/index.js"})
        self.assertEqual([hm.damped(index, query, i) for i in range(4)], [False, False, False, True])
        self.assertTrue(hm.damped(index, hm.Query(task.replace("readme", "page")), 2))


class GapTest(unittest.TestCase):
    def test_file_classes(self):
        cases = [("package-lock.json", "lock file"), ("tests/test_app.py", "test"), ("CHANGELOG.md", "change log"),
                 (".github/workflows/ci.yml", "CI/templates"), ("docs/guide.md", "Markdown"),
                 ("tsconfig.json", "config"), ("src/app.ts", "source")]
        for path, want in cases:
            self.assertEqual(gap.file_class(path), want, path)

    def test_a_missed_import_neighbour_without_a_subject_term(self):
        files = [("src/widget.js", "widget"), ("src/core.js", "state")]
        files += [(f"lib/f{i}.js", "widget " * 3) for i in range(14)]
        graph = graph_of(files, edges=[("src/widget.js", "./core", "imports")])
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "info_graph.json")
            with open(path, "w", encoding="utf-8") as f:
                json.dump(graph, f)
            case = gap.analyse_case({"repo": "r", "sha": "s", "subject": "Widget resize", "graph": path,
                                     "touched": ["src/widget.js", "src/core.js"]})
        self.assertEqual(case["found"], 1)
        [missed] = case["missed"]
        self.assertEqual((missed["path"], missed["lexical"], missed["linked"], missed["same dir"]),
                         ("src/core.js", False, True, True))
        self.assertGreater(missed["rank"], gap.CUTOFF)
        summary = gap.summarise([case])
        self.assertEqual((summary["R@12"], summary["ceiling"], summary["lexical ceiling"]), (0.5, 1.0, 0.5))
        self.assertEqual((summary["no subject term"], summary["rank 13-20"]), (1, 1))


class BenchmarkTest(unittest.TestCase):
    def test_first_files_and_score(self):
        paths = ["a", "a", "b", "c"] + [f"x{i}" for i in range(20)] + ["d"]
        self.assertEqual(run.first_files(paths, 3), ["a", "b", "c"])
        self.assertEqual(run.score(paths, ["b", "d"]), (0.5, 1.0))
        self.assertEqual(run.score(paths, ["d"]), (0.0, 0.0))

    def test_bm25_terms_and_order(self):
        self.assertEqual(baselines.bm25_terms("user_id Foo-bar ab 12345"), ["user", "foo", "bar", "12345"])
        g = graph_of([("a.py", "nothing here"), ("b.py", "cookie domain handling"), ("c.py", "cookie")])
        self.assertEqual(baselines.BM25(g).rank("session cookie domain"), ["b.py", "c.py"])

    def test_scanned_path(self):
        cases = [("src/a.py", True), ("docs/Guide.MD", True), ("node_modules/x/i.js", False),
                 ("src/build/b.ts", False), ("Makefile", False), (".md", False), ("a/.github/w.yml", True)]
        for path, want in cases:
            with self.subTest(path):
                self.assertEqual(history.scanned_path(path), want)


FAKE_MAPFORGE = textwrap.dedent("""\
    #!/usr/bin/env python3
    import json, os, sys
    root, out = sys.argv[sys.argv.index("--root") + 1], sys.argv[sys.argv.index("--out") + 1]
    nodes = []
    for d, _, names in os.walk(root):
        for n in sorted(names):
            if n.endswith(".py"):
                p = os.path.relpath(os.path.join(d, n), root)
                nodes.append({"id": p, "kind": "file", "path": p, "size": 1})
    os.makedirs(os.path.dirname(out), exist_ok=True)
    json.dump({"nodes": nodes, "edges": []}, open(out, "w"))
""")


class SamplingTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="relevance-test-")
        self.repo = os.path.join(self.tmp, "proj")
        os.makedirs(self.repo)
        env = dict(os.environ, GIT_AUTHOR_NAME="t", GIT_AUTHOR_EMAIL="t@t", GIT_COMMITTER_NAME="t",
                   GIT_COMMITTER_EMAIL="t@t")

        def git(*args):
            subprocess.run(["git", "-C", self.repo, *args], check=True, env=env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        git("init", "-q")
        for i in range(12):
            with open(os.path.join(self.repo, f"m{i % 4}.py"), "a") as f:
                f.write(f"x = {i}\n")
            with open(os.path.join(self.repo, "notes.txt"), "a") as f:
                f.write("n\n")
            git("add", "-A")
            git("commit", "-q", "-m", f"change {i}")
        self.mapforge = os.path.join(self.tmp, "mapforge")
        with open(self.mapforge, "w") as f:
            f.write(FAKE_MAPFORGE)
        os.chmod(self.mapforge, 0o755)

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def test_candidates_and_disjoint_samples(self):
        git_dir = history.open_repository(self.repo, self.tmp)
        cands = history.candidates(git_dir)
        # The first four commits add their file (status A) and the root commit has no parent.
        self.assertEqual(len(cands), 8)
        self.assertTrue(all(c.modified and c.modified[0].endswith(".py") for c in cands))
        cache = history.GraphCache(self.tmp, self.mapforge)
        first, skipped = history.sample_cases(self.repo, self.tmp, cache, 3, "1")
        second, _ = history.sample_cases(self.repo, self.tmp, cache, 3, "2", ["1"])
        self.assertEqual((len(first), len(second), skipped), (3, 3, 0))
        self.assertFalse({c.sha for c in first} & {c.sha for c in second})
        again, _ = history.sample_cases(self.repo, self.tmp, cache, 3, "1")
        self.assertEqual([c.sha for c in again], [c.sha for c in first])
        with open(first[0].graph_path) as f:
            ids = {n["id"] for n in json.load(f)["nodes"]}
        self.assertTrue(set(first[0].touched) <= ids)


if __name__ == "__main__":
    unittest.main()
