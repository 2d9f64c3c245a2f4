#!/usr/bin/env python3
"""Whether a page of docs/ quotes each file whole, as an indented code block: the configuration
the lab test runs is the one the page shows.

  check_docs_quote.py PAGE FILE...
"""
import sys

page = open(sys.argv[1], encoding="utf-8").read()
missing = []
for path in sys.argv[2:]:
    quoted = "".join(("    " + line) if line.strip() else line
                     for line in open(path, encoding="utf-8").read().splitlines(keepends=True))
    if quoted not in page:
        missing.append(path)
for path in missing:
    print(f"{sys.argv[1]} does not quote {path} as it is", file=sys.stderr)
sys.exit(1 if missing else 0)
