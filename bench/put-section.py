#!/usr/bin/env python3
"""Puts one section into a results file, keeping every other section.

    bench/put-section.py RESULTS NAME CONTENT

CONTENT (a file) is the section's text between the lines "<!-- NAME -->" and
"<!-- /NAME -->", which this adds. Where RESULTS already holds that section it
is replaced in place; otherwise the section goes at the top for the name
"benchmarks" (the file's heading and first tables, which run-benchmarks.sh
writes: a file written before that section had markers has those as every
line before its first marker, and they are replaced) and at the end for any
other name. Every other line of RESULTS is kept as it was. The file is
rewritten through a temporary file, so that it is never left half-written.
"""
import os
import sys


def put_section(text, name, content):
    begin, end = f"<!-- {name} -->", f"<!-- /{name} -->"
    section = [begin] + content.rstrip("\n").split("\n") + [end]
    lines = text.split("\n") if text else []
    if text.endswith("\n"):
        lines.pop()
    if begin in lines and end in lines[lines.index(begin):]:
        first = lines.index(begin)
        last = lines.index(end, first)
        lines[first:last + 1] = section
    elif name == "benchmarks":
        first_marker = next((i for i, l in enumerate(lines) if l.startswith("<!-- ")), len(lines))
        kept = lines[first_marker:]
        lines = section + ([""] if kept else []) + kept
    else:
        while lines and lines[-1] == "":
            lines.pop()
        lines += ([""] if lines else []) + section
    return "\n".join(lines) + "\n"


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: put-section.py RESULTS NAME CONTENT")
    results, name, content_path = sys.argv[1:]
    text = open(results).read() if os.path.exists(results) else ""
    with open(content_path) as f:
        content = f.read()
    new = put_section(text, name, content)
    temporary = results + ".new"
    with open(temporary, "w") as f:
        f.write(new)
    os.replace(temporary, results)


if __name__ == "__main__":
    main()
