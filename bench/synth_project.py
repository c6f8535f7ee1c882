#!/usr/bin/env python3
"""Writes a deterministic synthetic project for benchmarking the scanner and crv.

The mix follows what the scanner cares about: Python services with routes, a TS/TSX
front end (pages, components/ui, components/features, hooks, schemas), Go and Swift
files, and Markdown docs. The same seed and count always give the same tree.
"""
import argparse
import os
import random

WORDS = ("order invoice payment cart checkout user account profile billing report stock "
         "shipment customer product catalog search review coupon refund session token "
         "notification message audit export import schedule portal admin dashboard").split()


def pick(rng, count):
    return [rng.choice(WORDS) for _ in range(count)]


def camel(words):
    return words[0] + "".join(w.capitalize() for w in words[1:])


def pascal(words):
    return "".join(w.capitalize() for w in words)


def python_service(rng, domain):
    lines = [f'"""{domain.capitalize()} service: {" ".join(pick(rng, 8))}."""',
             "from fastapi import APIRouter",
             f"from .models import {pascal([domain])}",
             "import logging", "", "router = APIRouter()", ""]
    for _ in range(rng.randint(4, 12)):
        name = "_".join(pick(rng, 2))
        method = rng.choice(["get", "post", "put", "delete"])
        lines += [f'@router.{method}("/api/{domain}/{{item_id}}/{name}")',
                  f"def {name}_{rng.randint(0, 999)}(item_id: str):"]
        for _ in range(rng.randint(3, 15)):
            lines.append(f"    value = compute_{rng.choice(WORDS)}(item_id, {rng.randint(0, 99)})")
        lines += ["    return value", "", ""]
    lines += [f"class {pascal(pick(rng, 2))}Model:", "    def save(self):", "        pass", ""]
    return "\n".join(lines)


def tsx_component(rng, kind):
    name = pascal(pick(rng, 2))
    imports = [f"import {{ {pascal(pick(rng, 1))}Button }} from '../ui/Button';",
               f"import {{ use{pascal(pick(rng, 1))} }} from '../../hooks/use{pascal(pick(rng, 1))}';"]
    if kind == "ui":
        imports = ["import React from 'react';"]
    body = [f"/** {name} {kind} component: {' '.join(pick(rng, 6))}. */", *imports, "",
            f"export function {name}(props: {{ id: string }}) {{"]
    for _ in range(rng.randint(5, 40)):
        body.append(f"  const {camel(pick(rng, 2))} = props.id + '{rng.choice(WORDS)}';")
    body += [f"  fetch('/api/{rng.choice(WORDS)}/' + props.id);",
             f"  return <div className=\"{rng.choice(WORDS)}\">{{props.id}}</div>;", "}", ""]
    return "\n".join(body)


def ts_hook(rng):
    name = "use" + pascal(pick(rng, 2))
    lines = ["import { useState, useEffect } from 'react';", "",
             f"export function {name}(id: string) {{", "  const [data, setData] = useState(null);",
             "  useEffect(() => {"]
    lines += [f"    axios.get('/api/{rng.choice(WORDS)}/' + id).then(setData);"
              for _ in range(rng.randint(1, 6))]
    lines += ["  }, [id]);", "  return data;", "}", ""]
    return "\n".join(lines)


def ts_schema(rng):
    name = pascal(pick(rng, 2)) + "Schema"
    fields = "\n".join(f"  {camel(pick(rng, 2))}: z.string()," for _ in range(rng.randint(3, 20)))
    return f"import {{ z }} from 'zod';\n\nexport const {name} = z.object({{\n{fields}\n}});\n"


def go_file(rng):
    lines = ["package handlers", "", "import (", '\t"fmt"', '\t"net/http"', ")", ""]
    for _ in range(rng.randint(2, 8)):
        name = pascal(pick(rng, 2))
        lines += [f"func {name}(w http.ResponseWriter, r *http.Request) {{",
                  f'\tfmt.Fprintln(w, "{rng.choice(WORDS)}")', "}", ""]
    return "\n".join(lines)


def swift_file(rng):
    name = pascal(pick(rng, 2))
    lines = ["import SwiftUI", "import Foundation", "", f"struct {name}View: View {{",
             "    var body: some View { Text(\"x\") }"]
    lines += [f"    func {camel(pick(rng, 2))}() {{}}" for _ in range(rng.randint(1, 6))]
    return "\n".join(lines + ["}", ""])


def markdown(rng, files):
    refs = "\n".join(f"- see {rng.choice(files)}" for _ in range(rng.randint(2, 8)))
    para = " ".join(pick(rng, 60))
    return f"# {' '.join(pick(rng, 3)).title()}\n\n{para}\n\n{refs}\n"


def generate(out, count, seed):
    rng = random.Random(seed)
    written = []
    kinds = ["py"] * 30 + ["page"] * 8 + ["ui"] * 10 + ["feature"] * 12 + ["hook"] * 8 + \
            ["schema"] * 6 + ["go"] * 10 + ["swift"] * 6 + ["md"] * 10
    for index in range(count):
        kind = rng.choice(kinds)
        domain = rng.choice(WORDS)
        if kind == "py":
            rel, text = f"services/{domain}/api_{index}.py", python_service(rng, domain)
        elif kind == "page":
            rel, text = f"web/src/pages/{pascal([domain])}Page{index}.tsx", tsx_component(rng, "page")
        elif kind == "ui":
            rel, text = f"web/src/components/ui/{pascal([domain])}{index}.tsx", tsx_component(rng, "ui")
        elif kind == "feature":
            rel = f"web/src/components/features/{domain}/{pascal([domain])}Panel{index}.tsx"
            text = tsx_component(rng, "feature")
        elif kind == "hook":
            rel, text = f"web/src/hooks/use{pascal([domain])}{index}.ts", ts_hook(rng)
        elif kind == "schema":
            rel, text = f"web/src/schemas/{domain}{index}.ts", ts_schema(rng)
        elif kind == "go":
            rel, text = f"go/{domain}/handler_{index}.go", go_file(rng)
        elif kind == "swift":
            rel, text = f"ios/{pascal([domain])}/{pascal([domain])}View{index}.swift", swift_file(rng)
        else:
            rel, text = f"docs/{domain}/notes_{index}.md", markdown(rng, written or ["README.md"])
        path = os.path.join(out, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as handle:
            handle.write(text)
        written.append(rel)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out", help="folder to create the project in")
    parser.add_argument("--files", type=int, default=10000)
    parser.add_argument("--seed", type=int, default=7)
    args = parser.parse_args()
    generate(args.out, args.files, args.seed)


if __name__ == "__main__":
    main()
