#!/usr/bin/env python3
"""Sums up the GoogleTest XML results: counts and every skipped case with its reason."""
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
sys.exit(1 if failed else 0)
