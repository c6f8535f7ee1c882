#!/usr/bin/env python3
"""Times the tool calls of a long-lived `crv mcp` server on one graph.

Usage: bench/mcp_latency.py (--graph FILE | --tree DIR) [--build build] [--calls 100]
                            [--tools relevant_files,...] [--no-refresh]

The graph (given, with its index beside it when there is one, or scanned from --tree) is
copied into a data directory of its own and its index brought up to date by one `crv
prime --refresh --rank hybrid`. `crv mcp` is started on it as an assistant
starts it, initialised, and each tool is called --calls times over the tasks of
run_bench.py; find_symbol and neighbours are given the symbols and files that
relevant_files returned. The times are round trips seen by the client: a request written,
its reply line read. Prints the first call (which loads the graph, and builds the term
statistics when the index has none) and, per tool, the median, 90th percentile and
slowest of the calls after its first. The server looks at the tree for changes at most
every 2 s, as it does when an assistant runs it; --refresh-interval 0 makes it look
before every call, --no-refresh never.
"""
import argparse
import itertools
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_bench import TASKS  # noqa: E402

TOOLS = ["relevant_files", "context_block", "find_symbol", "neighbours", "record_action"]


class Server:
    def __init__(self, argv, env):
        self.process = subprocess.Popen(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        env=env, text=True, bufsize=1)
        self.next_id = 0

    def request(self, method, params):
        self.next_id += 1
        message = {"jsonrpc": "2.0", "id": self.next_id, "method": method, "params": params}
        start = time.perf_counter()
        self.process.stdin.write(json.dumps(message) + "\n")
        self.process.stdin.flush()
        line = self.process.stdout.readline()
        elapsed = time.perf_counter() - start
        reply = json.loads(line)
        if "error" in reply:
            raise SystemExit(f"{method} failed: {reply['error']}")
        return reply["result"], elapsed

    def call(self, tool, arguments):
        result, elapsed = self.request("tools/call", {"name": tool, "arguments": arguments})
        if result.get("isError"):
            raise SystemExit(f"{tool} failed: {result['content'][0]['text']}")
        return result.get("structuredContent", {}), elapsed

    def close(self):
        self.process.stdin.close()
        return self.process.wait(timeout=60)


def prepare_data(args, data):
    os.makedirs(data)
    graph = os.path.join(data, "info_graph.json")
    if args.graph:
        shutil.copy2(args.graph, graph)
        index = os.path.splitext(args.graph)[0] + ".index"
        if os.path.exists(index):
            shutil.copy2(index, os.path.join(data, "info_graph.index"))
    else:
        crv = os.path.join(os.path.abspath(args.build), "crv")
        subprocess.run([crv, "scan", "--root", args.tree, "--out", graph], check=True,
                       stdout=subprocess.DEVNULL, env=dict(os.environ, CRV_DATA_DIR=data))


def arguments_for(tool, tasks, symbols, paths):
    if tool in ("relevant_files", "context_block"):
        return ({"task": task} for task in tasks)
    if tool == "find_symbol":
        return ({"name": name} for name in itertools.cycle(symbols or ["main"]))
    if tool == "neighbours":
        return ({"path": path} for path in itertools.cycle(paths))
    return ({"kind": "bench", "summary": f"call {n}"} for n in itertools.count())


def ms(seconds):
    return f"{seconds * 1000:7.2f} ms"


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    source = p.add_mutually_exclusive_group(required=True)
    source.add_argument("--graph", help="an info_graph.json (its index beside it is used)")
    source.add_argument("--tree", help="a project to scan first")
    p.add_argument("--build", default="build", help="build directory with crv")
    p.add_argument("--calls", type=int, default=100, help="calls per tool")
    p.add_argument("--task", action="append", help="a task to call with (repeatable; default: "
                   "the tasks of run_bench.py)")
    p.add_argument("--tools", default=",".join(TOOLS), help="tools to time, comma-separated")
    p.add_argument("--no-refresh", action="store_true", help="start the server with --no-refresh")
    p.add_argument("--refresh-interval", type=int, help="the server's --refresh-interval (ms)")
    args = p.parse_args()

    work = tempfile.mkdtemp(prefix="plinthar-mcp-")
    try:
        data = os.path.join(work, "data")
        prepare_data(args, data)
        crv = os.path.join(os.path.abspath(args.build), "crv")
        argv = [crv, "mcp"] + (["--no-refresh"] if args.no_refresh else [])
        if args.refresh_interval is not None:
            argv += ["--refresh-interval", str(args.refresh_interval)]
        env = dict(os.environ, CRV_DATA_DIR=data)
        # A copied graph file has another inode than its index says: one refreshing
        # ranking call rescans the tree and writes the index with the term statistics and
        # the tree's snapshot, as a project's first use would.
        start = time.perf_counter()
        subprocess.run([crv, "prime", "--refresh", "--rank", "hybrid", "--query", "warm up"],
                       check=True,
                       stdout=subprocess.DEVNULL, env=env)
        print(f"index rebuilt for the copy: {ms(time.perf_counter() - start)}")
        server = Server(argv, env)
        server.request("initialize", {"protocolVersion": "2025-06-18", "capabilities": {},
                                      "clientInfo": {"name": "mcp_latency", "version": "1"}})
        tasks = list(itertools.islice(itertools.cycle(args.task or TASKS), args.calls))
        first, first_time = server.call("relevant_files", {"task": tasks[0]})
        print(f"first call (loads the graph): {ms(first_time)}")
        symbols, paths = [], []
        for tool in args.tools.split(","):
            times = []
            for arguments in itertools.islice(arguments_for(tool, tasks, symbols, paths),
                                              args.calls):
                result, elapsed = server.call(tool, arguments)
                times.append(elapsed)
                if tool == "relevant_files":
                    for file in result["files"]:
                        paths.append(file["path"])
                        symbols.extend(symbol["name"] for symbol in file["symbols"])
            later = sorted(times[1:]) or times
            p90 = later[min(len(later) - 1, int(0.9 * len(later)))]
            print(f"{tool:15} median {ms(statistics.median(later))}  p90 {ms(p90)}  "
                  f"max {ms(later[-1])}  first {ms(times[0])}  ({len(times)} calls)")
        print(f"server exit status: {server.close()}")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
