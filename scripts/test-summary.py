#!/usr/bin/env python3
"""Sums up the GoogleTest XML results: counts and every skipped case with its reason.

Usage: test-summary.py RESULTS_DIR [CTEST_JUNIT]

With CTest's JUnit list of the run (--output-junit), every test program that CTest started must
have written RESULTS_DIR/<name>.xml: one that ended without (even with exit code 0) is named and
fails the run, since its cases would otherwise be counted nowhere.
"""
import glob
import os
import sys
import xml.etree.ElementTree as ET

folder = sys.argv[1]
passed = failed = skipped = 0
skips = []
if len(sys.argv) > 2:
    try:
        started = [case.get("name") for case in ET.parse(sys.argv[2]).getroot().iter("testcase")
                   if case.get("status") in ("run", "fail")]
    except (OSError, ET.ParseError) as error:
        print(f"summary: unreadable list of the programs CTest ran {sys.argv[2]}: {error}")
        started, failed = [], 1
    for name in started:
        if not os.path.isfile(os.path.join(folder, f"{name}.xml")):
            print(f"summary: {name} ended without writing its results")
            failed += 1
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
