"""Turns git histories into relevance cases: a task, the tree it started from, the files it touched.

A case is one non-merge commit. Its subject is the task; its parent's tree is scanned
with mapforge into a graph; the files the commit modified (status M) that are file
nodes of that graph are the files a good ranking should name.

Sampling rules (the same for every run with the same seed):
  * commits reachable from the repository's HEAD, without merges and root commits;
  * candidates modify (status M, renames counted as delete + add) between 1 and
    MAX_TOUCHED files that the scanner would read: an accepted extension and no
    pruned directory in the path; added and deleted files do not count;
  * the candidates are shuffled with the seed and taken in that order until N cases
    have a non-empty touched set once the parent is scanned (the pre-check above can
    only miss files that discovery also skips, such as oversized ones); the others
    are counted as skipped.
"""
import hashlib
import json
import os
import random
import shutil
import subprocess
import tempfile
from dataclasses import dataclass, field

# The files the scanner reads: its extensions and the directories it prunes.
SCANNED_EXTS = {".go", ".py", ".js", ".jsx", ".ts", ".tsx", ".swift", ".json", ".yaml", ".yml", ".md"}
PRUNED_DIRS = {".git", ".beads", ".beads-hooks", "node_modules", "vendor", "dist", "build", ".idea",
               ".vscode", "__pycache__", "venv", ".venv", ".corvel", ".next"}
MAX_TOUCHED = 10


@dataclass
class Commit:
    sha: str
    parent: str
    subject: str
    modified: list = field(default_factory=list)


@dataclass
class Case:
    repo: str
    sha: str
    subject: str
    graph_path: str
    touched: list


def git(git_dir, *args, stdout=subprocess.PIPE):
    return subprocess.run(["git", "--git-dir", git_dir, *args], stdout=stdout,
                          stderr=subprocess.PIPE, check=True)


def scanned_path(path):
    """True when the scanner would read a file at this relative path."""
    parts = path.split("/")
    if any(p in PRUNED_DIRS for p in parts[:-1]):
        return False
    name = parts[-1]
    dot = name.rfind(".")
    if dot <= 0 or dot == len(name) - 1:
        return False
    return name[dot:].lower() in SCANNED_EXTS


def repo_name(path):
    base = os.path.basename(os.path.normpath(path))
    for suffix in (".bundle", ".git"):
        if base.endswith(suffix):
            base = base[: -len(suffix)]
    return base


def open_repository(path, work_dir):
    """Returns a git directory for a repository path or a bundle (cloned bare into work_dir)."""
    if os.path.isfile(path):
        st = os.stat(path)
        key = hashlib.md5(f"{os.path.abspath(path)}:{st.st_size}:{st.st_mtime_ns}".encode()).hexdigest()[:8]
        dest = os.path.join(work_dir, "repos", f"{repo_name(path)}-{key}.git")
        if not os.path.isdir(dest):
            tmp = dest + ".part"
            shutil.rmtree(tmp, ignore_errors=True)
            subprocess.run(["git", "clone", "-q", "--bare", path, tmp], check=True,
                           stdout=subprocess.DEVNULL)
            os.rename(tmp, dest)
        return dest
    out = subprocess.run(["git", "-C", path, "rev-parse", "--absolute-git-dir"],
                         stdout=subprocess.PIPE, check=True, text=True).stdout.strip()
    return out


def list_commits(git_dir):
    """Non-merge, non-root commits of HEAD, newest first, with their modified files."""
    out = git(git_dir, "log", "--no-merges", "--no-renames", "--format=%x00%H %P%x00%s",
              "--name-status", "HEAD").stdout.decode("utf-8", "replace")
    commits = []
    # Records alternate: header "<sha> <parents>", then "<subject>\n\n<status lines>".
    pieces = out.split("\0")[1:]
    for head, rest in zip(pieces[0::2], pieces[1::2]):
        shas = head.split()
        if len(shas) != 2:
            continue
        subject, _, status = rest.partition("\n")
        modified = []
        for line in status.splitlines():
            cols = line.split("\t")
            if len(cols) == 2 and cols[0] == "M":
                modified.append(cols[1])
        commits.append(Commit(shas[0], shas[1], subject.strip(), modified))
    return commits


def candidates(git_dir):
    out = []
    for c in list_commits(git_dir):
        c.modified = [p for p in c.modified if scanned_path(p)]
        if 1 <= len(c.modified) <= MAX_TOUCHED and c.subject:
            out.append(c)
    return out


def shuffled(cands, seed):
    order = list(cands)
    random.Random(f"relevance:{seed}").shuffle(order)
    return order


def file_digest(path):
    h = hashlib.md5()
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 20), b""):
            h.update(chunk)
    return h.hexdigest()[:8]


class GraphCache:
    """Scans of parent trees, kept per mapforge binary, repository and commit."""

    def __init__(self, root, mapforge):
        self.mapforge = mapforge
        self.root = os.path.join(root, "graphs", file_digest(mapforge))

    def graph(self, repo, git_dir, sha):
        dest = os.path.join(self.root, repo, sha)
        graph = os.path.join(dest, "info_graph.json")
        if os.path.isfile(graph):
            return graph
        tmp = dest + ".part"
        shutil.rmtree(tmp, ignore_errors=True)
        os.makedirs(tmp)
        with tempfile.TemporaryDirectory(prefix="relevance-tree-") as tree:
            archive = subprocess.Popen(["git", "--git-dir", git_dir, "archive", sha],
                                       stdout=subprocess.PIPE)
            subprocess.run(["tar", "-x", "-C", tree], stdin=archive.stdout, check=True)
            archive.stdout.close()
            if archive.wait() != 0:
                raise RuntimeError(f"git archive {sha} failed")
            subprocess.run([self.mapforge, "--root", tree, "--out",
                            os.path.join(tmp, "info_graph.json")],
                           check=True, stdout=subprocess.DEVNULL)
        os.rename(tmp, dest)
        return graph


def sample_cases(repo_path, work_dir, cache, count, seed, exclude_seeds=()):
    """Returns (cases, skipped): up to count cases of one repository, see the module doc.

    exclude_seeds holds "S" or "S:N": the commits that seed S picks for N cases (N
    defaults to count) are left out, so that two samples share no commit. Each entry
    is drawn with the entries before it already left out, so "tune:150" then "1" leaves
    out exactly what a run with seed 1 and "tune:150" sampled.
    """
    git_dir = open_repository(repo_path, work_dir)
    name = repo_name(repo_path)
    cands = candidates(git_dir)
    excluded = set()
    for other in exclude_seeds:
        other_seed, _, other_count = other.partition(":")
        picked = _pick(cands, other_seed, int(other_count or count), name, git_dir, cache, excluded)[0]
        excluded.update(c.sha for c in picked)
    return _pick(cands, seed, count, name, git_dir, cache, excluded)


def _pick(cands, seed, count, name, git_dir, cache, excluded=frozenset()):
    cases, skipped = [], 0
    for c in shuffled(cands, seed):
        if len(cases) >= count:
            break
        if c.sha in excluded:
            continue
        case = _case(c, name, git_dir, cache)
        if case is None:
            skipped += 1
        else:
            cases.append(case)
    return cases, skipped


def _case(commit, name, git_dir, cache):
    graph_path = cache.graph(name, git_dir, commit.parent)
    ids = graph_file_ids(graph_path)
    touched = [p for p in commit.modified if p in ids]
    if not touched:
        return None
    return Case(name, commit.sha, commit.subject, graph_path, touched)


_IDS = {}


def graph_file_ids(graph_path):
    if graph_path not in _IDS:
        with open(graph_path, encoding="utf-8") as f:
            _IDS[graph_path] = file_ids(json.load(f))
    return _IDS[graph_path]


def file_ids(graph):
    return {n["id"] for n in graph.get("nodes", []) if n.get("kind") == "file"}
