#!/usr/bin/env python3
"""Runs crv's prompt hooks, refreshes and scans at once on one project while its files change.

Usage: bench/concurrency_stress.py --crv build/crv [--runs 1000] [--files 300] [--hooks 2]

Workers, each in a loop until the hooks have answered --runs prompts in all: --hooks prompt
hooks (`crv hook prompt`, which refreshes the graph first), a `crv retrieve --refresh
--rank hybrid --json`, a `crv scan` every moment, and an editor that appends to,
creates and deletes files of the project. Every run must succeed: a hook answers with a
context block, a retrieval with a JSON document. Afterwards, with the tree left alone,
the graph must be byte for byte a fresh scan of the tree, and rankings read through the
graph index must be those read without it.

Prints the runs and failures of each worker and the final checks; exits 1 when any run
failed or a check did not hold. CTest runs it with a small --runs; the figures of the
README come from --runs 1000.
"""
import argparse
import json
import os
import random
import shlex
import shutil
import subprocess
import sys
import tempfile
import threading
import time

TASKS = ["fix the order total on the checkout page", "why does the payment gateway time out",
         "add tests for the cart service", "refactor the invoice mailer",
         "Traceback (most recent call last):\n  File \"api/orders.py\", line 12, in create\n"
         "KeyError: 'total'"]


def write_project(root, files, rnd):
    for i in range(files):
        folder = os.path.join(root, f"pkg{i % 7}")
        os.makedirs(folder, exist_ok=True)
        name = os.path.join(folder, f"module{i}.py")
        other = f"module{rnd.randrange(files)}"
        with open(name, "w") as f:
            f.write(f"from .{other} import helper\n\ndef order_total_{i}(cart):\n"
                    f"    return helper(cart) + {i}\n")


class Worker(threading.Thread):
    def __init__(self, name, step, stop):
        super().__init__(daemon=True)
        self.name, self.step, self.stop = name, step, stop
        self.runs, self.failures = 0, []

    def run(self):
        while not self.stop.is_set():
            error = self.step()
            self.runs += 1
            if error:
                self.failures.append(error)


EMULATOR = []  # the words that start a cross-built crv (--emulator)


def run(argv, env, stdin=None, timeout=120):
    return subprocess.run(EMULATOR + argv, env=env, input=stdin, capture_output=True, text=True,
                          timeout=timeout)


class Stress:
    def __init__(self, args):
        self.args = args
        self.rnd = random.Random(args.seed)
        self.home = tempfile.mkdtemp(prefix="plinthar-stress-")
        self.project = os.path.join(self.home, "proj")
        tool = os.path.join(self.home, "tool")
        os.makedirs(tool)
        self.crv = os.path.join(tool, "crv")
        shutil.copy2(args.crv, self.crv)
        self.data = os.path.join(tool, "data")
        write_project(self.project, args.files, self.rnd)
        self.env = {k: v for k, v in os.environ.items() if not k.startswith(("CRV_", "CORVEL_"))}
        self.env["CORVEL_PROJECT_ROOT"] = self.project
        self.hooks_answered = 0
        self.lock = threading.Lock()
        self.stop = threading.Event()

    def hook(self):
        event = json.dumps({"prompt": self.rnd.choice(TASKS), "cwd": self.project})
        result = run([self.crv, "hook", "prompt", "--timeout", "30"], self.env, event)
        with self.lock:
            self.hooks_answered += 1
            if self.hooks_answered >= self.args.runs:
                self.stop.set()
        if result.returncode != 0 or not result.stdout.startswith("# Corvel Active"):
            return f"hook: {result.returncode} {result.stderr.strip()[:200]}"
        return None

    def retrieve(self):
        result = run([self.crv, "retrieve", "--refresh", "--rank", "hybrid", "--json", "--query",
                      self.rnd.choice(TASKS)], self.env)
        try:
            json.loads(result.stdout)
        except ValueError:
            return f"retrieve: {result.returncode} {result.stderr.strip()[:200]}"
        return None

    def scan(self):
        time.sleep(0.3)
        result = run([self.crv, "scan"], self.env)
        return None if result.returncode == 0 else f"scan: {result.stderr.strip()[:200]}"

    def edit(self):
        time.sleep(0.02)
        folder = os.path.join(self.project, f"pkg{self.rnd.randrange(7)}")
        names = sorted(os.listdir(folder))
        choice = self.rnd.random()
        if choice < 0.6 and names:
            with open(os.path.join(folder, self.rnd.choice(names)), "a") as f:
                f.write(f"# edited {self.rnd.random()}\n")
        elif choice < 0.8 or len(names) < 3:
            with open(os.path.join(folder, f"new{self.rnd.randrange(10**6)}.py"), "w") as f:
                f.write("def added():\n    return 1\n")
        else:
            os.remove(os.path.join(folder, self.rnd.choice(names)))
        return None

    def final_checks(self):
        time.sleep(0.2)  # statuses younger than a refresh's racy window are read again anyway
        checks = {}
        settled = run([self.crv, "retrieve", "--refresh", "--query", "x"], self.env)
        checks["settling refresh"] = settled.returncode == 0
        graph = os.path.join(self.data, "info_graph.json")
        fresh_dir = os.path.join(self.home, "fresh")
        os.makedirs(fresh_dir)
        fresh = os.path.join(fresh_dir, "info_graph.json")
        run([self.crv, "scan", "--out", fresh], self.env)
        with open(graph, "rb") as a, open(fresh, "rb") as b:
            checks["graph equals a fresh scan"] = a.read() == b.read()
        checks["rankings through the index equal those without"] = self.same_without_index()
        return checks

    def same_without_index(self):
        def answers():
            out = []
            for rank in ("classic", "hybrid"):
                for task in TASKS:
                    out.append(run([self.crv, "retrieve", "--json", "--rank", rank, "--query", task],
                                   self.env).stdout)
            return out
        with_index = answers()
        index = os.path.join(self.data, "info_graph.index")
        os.rename(index, index + ".aside")
        try:
            return with_index == answers()
        finally:
            os.replace(index + ".aside", index)

    def run(self):
        first = run([self.crv, "scan"], self.env)
        if first.returncode != 0:
            sys.exit(f"first scan failed: {first.stderr}")
        workers = [Worker(f"hook {i + 1}", self.hook, self.stop) for i in range(self.args.hooks)]
        workers += [Worker("retrieve --refresh", self.retrieve, self.stop),
                   Worker("scan", self.scan, self.stop), Worker("editor", self.edit, self.stop)]
        started = time.monotonic()
        for worker in workers:
            worker.start()
        for worker in workers:
            worker.join()
        seconds = time.monotonic() - started
        checks = self.final_checks()
        failed = False
        print(f"{self.hooks_answered} prompts in {seconds:.1f} s")
        for worker in workers:
            print(f"{worker.name:<20} {worker.runs:6} runs {len(worker.failures):4} failed")
            for failure in worker.failures[:5]:
                print(f"    {failure}")
            failed = failed or bool(worker.failures)
        for name, held in checks.items():
            print(f"{name:<50} {'yes' if held else 'NO'}")
            failed = failed or not held
        if not self.args.keep:
            shutil.rmtree(self.home, ignore_errors=True)
        return 1 if failed else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--crv", required=True, help="the crv program")
    parser.add_argument("--runs", type=int, default=1000, help="prompts the hooks answer in all")
    parser.add_argument("--files", type=int, default=300, help="files of the project")
    parser.add_argument("--hooks", type=int, default=2, help="prompt hooks running at once")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--keep", action="store_true", help="keep the temporary folder")
    parser.add_argument("--emulator", default="",
                        help="command that runs crv (qemu-user for a cross-built crv)")
    args = parser.parse_args()
    EMULATOR.extend(shlex.split(args.emulator))
    return Stress(args).run()


if __name__ == "__main__":
    sys.exit(main())
