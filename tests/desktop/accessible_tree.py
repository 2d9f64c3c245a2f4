#!/usr/bin/env python3
"""Prints what a screen reader learns of an application over AT-SPI: one line
per accessible object below it, "role<TAB>name<TAB>description".

  accessible_tree.py APPLICATION_NAME [SECONDS]

Waits up to SECONDS (default 10) for the application to show a window on
the accessibility bus; exit status 1 if it never does.
"""
import sys
import time

import pyatspi


def objects(node):
    for child in node:
        if child is not None:
            yield child
            yield from objects(child)


def main():
    name = sys.argv[1]
    deadline = time.monotonic() + float(sys.argv[2] if len(sys.argv) > 2 else 10)
    while time.monotonic() < deadline:
        for application in pyatspi.Registry.getDesktop(0):
            if application is not None and application.name == name and application.childCount:
                for node in objects(application):
                    print(f"{node.getRoleName()}\t{node.name}\t{node.description}")
                return 0
        time.sleep(0.1)
    print(f"accessible_tree.py: no application {name!r} on the accessibility bus", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
