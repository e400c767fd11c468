#!/usr/bin/env python3
"""Judges the program's own self-test runs and records them as test cases for the summary.

Usage: selftest-check.py RESULTS_DIR SMOKE_SOURCE under_wine NAME:EXIT_CODE:REPORT ...

A run passes when its exit code is 0 and its report says so. Under Wine a smoke run may also
pass when every failed line of its report is a check whose own source line carries the marker
"known-platform-gap:"; those gaps are printed. Writes RESULTS_DIR/selftests.xml in the shape of
GoogleTest's results.
"""
import json
import sys
from xml.sax.saxutils import quoteattr

MARKER = "known-platform-gap:"

results_dir, source_path, under_wine = sys.argv[1], sys.argv[2], sys.argv[3] == "1"
with open(source_path, encoding="utf-8") as source:
    lines = source.read().splitlines()

cases = []
for run in sys.argv[4:]:
    name, code, report_path = run.split(":", 2)
    problem = None
    try:
        with open(report_path, encoding="utf-8") as report_file:
            report = json.load(report_file)
    except (OSError, ValueError) as error:
        report, problem = None, f"no readable report ({error})"
    if report is not None:
        failed = report.get("failed_lines", [])
        if code == "0" and report.get("passed") is True:
            pass
        elif name.startswith("smoke") and under_wine and failed and report.get("passed") is False:
            gaps = []
            for line in failed:
                text = lines[line - 1] if 0 < line <= len(lines) else ""
                if MARKER not in text:
                    problem = f"failed check at line {line}: {text.strip()}"
                    break
                gaps.append(f"line {line}: {text.split(MARKER, 1)[1].strip()}")
            if problem is None:
                for gap in sorted(set(gaps)):
                    print(f"selftest: {name}: known platform gap under Wine, {gap}")
        else:
            problem = f"exit code {code}, report: " + json.dumps(
                {k: v for k, v in report.items() if k in ("passed", "failed_lines", "failures")})[:2000]
    if report is not None and name.startswith("smoke"):
        timings = report.get("page_prepare_draw_ms", [])
        if len(timings) != 42:
            problem = problem or f"{len(timings)} page timings instead of 42"
        elif timings:
            ordered = sorted(timings)
            print(f"selftest: {name}: page preparation and drawing max {ordered[-1]:.1f} ms, "
                  f"median {ordered[len(ordered) // 2]:.1f} ms")
    if report is not None and name == "render":
        print(f"selftest: render: {report.get('frames')} frames, max changed pixels "
              f"{report.get('max_changed_pixels')}, {len(report.get('failures', []))} failures")
    if problem:
        print(f"selftest: {name} FAILED: {problem}")
    cases.append((name, problem))

with open(f"{results_dir}/selftests.xml", "w", encoding="utf-8") as out:
    out.write('<?xml version="1.0" encoding="UTF-8"?>\n<testsuites>\n<testsuite name="SelfTests">\n')
    for name, problem in cases:
        out.write(f'<testcase classname="SelfTest" name={quoteattr(name)}>')
        if problem:
            out.write(f"<failure message={quoteattr(problem)}/>")
        out.write("</testcase>\n")
    out.write("</testsuite>\n</testsuites>\n")
sys.exit(1 if any(problem for _, problem in cases) else 0)
