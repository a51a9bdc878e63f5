#!/usr/bin/env python3
"""The longest functions under src/, by lines from the opening line to the closing brace.
Usage: tools/function_lengths.py [count]"""
import glob
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
HEAD = re.compile(r"^(?:template <.*>\s*)?[A-Za-z_][\w:<>,\s\*&]*\s[\*&]?(\w+)\([^;]*$")


def functions(path):
    lines = open(path).read().split("\n")
    i = 0
    while i < len(lines):
        match = HEAD.match(lines[i])
        if match and not lines[i].startswith((" ", "\t", "//", "#")) and not lines[i].rstrip().endswith(";"):
            start, depth, seen = i, 0, False
            while i < len(lines):
                depth += lines[i].count("{") - lines[i].count("}")
                seen = seen or "{" in lines[i]
                if seen and depth == 0:
                    break
                i += 1
            yield i - start + 1, f"{os.path.relpath(path, ROOT)}:{start + 1} {match.group(1)}"
        i += 1


count = int(sys.argv[1]) if len(sys.argv) > 1 else 10
found = sorted((f for path in glob.glob(os.path.join(ROOT, "src", "*.cpp")) for f in functions(path)), reverse=True)
for length, name in found[:count]:
    print(f"{length:4} {name}")
