#!/usr/bin/env python3
"""Writes the Debian changelog of the package from CHANGELOG.md: the section
of VERSION (a heading "## VERSION ...") with its "- " items as entries.

    debian_changelog.py CHANGELOG.md VERSION "NAME <ADDRESS>" > changelog

The date is SOURCE_DATE_EPOCH's, so that the package is the same on every run.
"""
import email.utils
import os
import re
import sys
import textwrap


def items_of(changelog, version):
    lines = open(changelog, encoding="utf-8").read().splitlines()
    items, inside = [], False
    for line in lines:
        if line.startswith("## "):
            if inside:
                break
            inside = re.match(r"## %s\b" % re.escape(version), line) is not None
        elif inside and line.startswith("- "):
            items.append(line[2:].strip())
        elif inside and items and line.startswith("  ") and line.strip():
            items[-1] += " " + line.strip()
    return items


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: debian_changelog.py CHANGELOG.md VERSION 'NAME <ADDRESS>'")
    changelog, version, maintainer = sys.argv[1:]
    items = items_of(changelog, version)
    if not items:
        sys.exit("debian_changelog: %s has no items under '## %s'" % (changelog, version))
    # Markdown marks mean nothing in a Debian changelog.
    items = [re.sub(r"[`*]", "", item) for item in items]
    # formatdate writes UTC as "-0000"; Debian wants "+0000".
    date = email.utils.formatdate(int(os.environ["SOURCE_DATE_EPOCH"]))[:-5] + "+0000"
    print("vantlo (%s) unstable; urgency=medium\n" % version)
    for item in items:
        print(textwrap.fill(item, width=78, initial_indent="  * ", subsequent_indent="    "))
    print("\n -- %s  %s" % (maintainer, date))


if __name__ == "__main__":
    main()
