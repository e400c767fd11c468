#!/usr/bin/env python3
"""Sums up the GoogleTest XML results: counts, every skipped case with its reason, and the share
of test lines (non-blank lines of every file in tests/ against those in src/)."""
import glob
import os
import sys
import xml.etree.ElementTree as ET

folder = sys.argv[1]
passed = failed = skipped = 0
skips = []
for path in sorted(glob.glob(os.path.join(folder, "*.xml"))):
    try:
        root = ET.parse(path).getroot()
    except ET.ParseError as error:
        print(f"summary: unreadable result {path}: {error}")
        failed += 1
        continue
    for case in root.iter("testcase"):
        name = f"{case.get('classname')}.{case.get('name')}"
        if case.find("failure") is not None:
            failed += 1
        elif case.find("skipped") is not None or case.get("result") == "skipped":
            skipped += 1
            node = case.find("skipped")
            reason = (node.get("message") if node is not None else "") or ""
            skips.append((name, reason.strip().splitlines()[-1] if reason.strip() else ""))
        else:
            passed += 1
for name, reason in skips:
    print(f"skipped: {name}: {reason}")
if passed + failed + skipped == 0:
    print("summary: no test results were written")
    failed = 1
print(f"cases: {passed} passed, {failed} failed, {skipped} skipped")


def non_blank_lines(folder):
    count = 0
    for base, _, names in os.walk(folder):
        for name in names:
            with open(os.path.join(base, name), encoding="utf-8", errors="replace") as file:
                count += sum(1 for line in file if line.strip())
    return count


root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
tests = non_blank_lines(os.path.join(root, "tests"))
source = non_blank_lines(os.path.join(root, "src"))
print(f"test lines: {tests} in tests/, {source} in src/ ({100 * tests / max(source, 1):.0f} %)")
sys.exit(1 if failed else 0)
