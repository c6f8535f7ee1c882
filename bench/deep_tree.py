#!/usr/bin/env python3
"""Time and peak memory of a scan of one deep chain of directories, by depth.

Usage: bench/deep_tree.py [--build build] [--depths 500,1000,2000,50000] [--every 100]

Builds a chain of one-letter directories for each depth, with a small Python file every
`--every` levels, through directory descriptors (its deeper paths are too long to open
by name), scans it with mapforge into a fresh graph and prints wall time and peak
resident memory. Memory should grow with the depth, not with its square; levels whose
paths are too long to open are skipped with one warning.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time

from board_memory import peak_mb


def make_chain(root, depth, every):
    os.makedirs(root)
    fd = os.open(root, os.O_RDONLY | os.O_DIRECTORY)
    for level in range(depth):
        os.mkdir("d", dir_fd=fd)
        deeper = os.open("d", os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
        os.close(fd)
        fd = deeper
        if level % every == 0:
            out = os.open(f"m{level}.py", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd)
            os.write(out, f"def f{level}():\n    pass\n".encode())
            os.close(out)
    os.close(fd)


def remove_files(fd):
    for name in os.listdir(fd):
        if name != "d":
            os.unlink(name, dir_fd=fd)


def remove_chain(root):
    # Level by level from the top, pulling the rest of the chain up each time: a
    # recursive removal would go as deep as the chain.
    fd = os.open(root, os.O_RDONLY | os.O_DIRECTORY)
    while os.path.exists(os.path.join(root, "d")):
        child = os.open("d", os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
        remove_files(child)
        has_grandchild = "d" in os.listdir(child)
        if has_grandchild:
            os.rename("d", "rest", src_dir_fd=child, dst_dir_fd=fd)
        os.close(child)
        os.rmdir("d", dir_fd=fd)
        if has_grandchild:
            os.rename("rest", "d", src_dir_fd=fd, dst_dir_fd=fd)
    remove_files(fd)
    os.close(fd)
    os.rmdir(root)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build", help="build directory with mapforge")
    parser.add_argument("--depths", default="500,1000,2000,50000")
    parser.add_argument("--every", type=int, default=100, help="a file every this many levels")
    args = parser.parse_args()
    mapforge = os.path.abspath(os.path.join(args.build, "mapforge"))
    if not os.access(mapforge, os.X_OK):
        sys.exit(f"no mapforge in {args.build}")
    print(f"{'depth':>7} {'wall s':>8} {'peak MB':>8}")
    with tempfile.TemporaryDirectory() as scratch:
        for depth in (int(d) for d in args.depths.split(",")):
            root = os.path.join(scratch, f"chain{depth}")
            make_chain(root, depth, args.every)
            graph = os.path.join(scratch, f"graph{depth}.json")
            start = time.perf_counter()
            peak = peak_mb([mapforge, "--root", root, "--out", graph])
            wall = time.perf_counter() - start
            print(f"{depth:>7} {wall:>8.2f} {peak:>8.1f}")
            remove_chain(root)


if __name__ == "__main__":
    main()
