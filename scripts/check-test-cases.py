#!/usr/bin/env python3
"""Counts the test cases one stage of scripts/test.sh ran and checks its skips.

    scripts/check-test-cases.py RESULTS_DIR BUILD [--programs NAME,...] [--ctest-list FILE]
                                [--expected-skips FILE]

RESULTS_DIR holds the GoogleTest reports of the stage (GTEST_OUTPUT=json:RESULTS_DIR/ gives one
<program>.json per test program), BUILD is the preset the stage built (native, asan, tsan, win32,
win64). The programs that must have left a report are named with --programs, or taken from the
stage's tests as `ctest --show-only=json-v1` lists them (--ctest-list: every test whose command
runs a program named *_tests). --expected-skips names the list of cases that may skip (default
tests/expected-skips.txt).

Prints one line per program ("textlib_tests: 65 cases, 64 passed, 1 skipped") with its skipped
cases, then a last line that sums the stage up for the summary of the test command. Fails
(exit 1) when a program left no report (it ended before GoogleTest wrote it: a crash, an abort),
reports no case, a failed case, or a skipped case that the list does not expect in this build.
"""
import argparse
import json
import os
import re
import sys


def expected_skips(path, build):
    """The cases the list lets skip in this build, with the reason given."""
    allowed = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            parts = line.split(None, 2)
            if len(parts) < 2:
                raise SystemExit(f"check-test-cases: {path}: malformed line: {line}")
            if build in parts[0].split(","):
                allowed[parts[1]] = parts[2] if len(parts) > 2 else ""
    return allowed


def cases(report):
    """(name, result) of every case of one GoogleTest JSON report."""
    for suite in report.get("testsuites", []):
        for case in suite.get("testsuite", []):
            name = f"{suite['name']}.{case['name']}"
            if case.get("status") == "NOTRUN":
                yield name, "disabled"
            elif case.get("failures"):
                yield name, "failed"
            elif case.get("result") == "SKIPPED":
                yield name, "skipped"
            else:
                yield name, "passed"


def programs_of_ctest(path):
    """The GoogleTest programs (named *_tests) that the listed ctest tests run."""
    with open(path, encoding="utf-8") as f:
        listing = json.load(f)
    found = set()
    for test in listing.get("tests", []):
        for word in test.get("command", []):
            name = os.path.basename(word.replace("\\", "/"))
            match = re.fullmatch(r"(.+_tests)(\.exe)?", name, re.IGNORECASE)
            if match:
                found.add(match.group(1))
    return found


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("results")
    parser.add_argument("build")
    parser.add_argument("--programs", default="")
    parser.add_argument("--ctest-list")
    parser.add_argument("--expected-skips", default=os.path.join(here, "..", "tests", "expected-skips.txt"))
    args = parser.parse_args()
    results, build = args.results, args.build
    allowed = expected_skips(args.expected_skips, build)
    wanted = {p for p in args.programs.split(",") if p}
    if args.ctest_list:
        wanted |= programs_of_ctest(args.ctest_list)

    reports = sorted(f for f in os.listdir(results) if f.endswith(".json")) if os.path.isdir(results) else []
    problems = []
    for program in sorted(wanted - {r[:-len(".json")] for r in reports}):
        problems.append(f"{program} left no report of its cases (it ended before the end of its run)")
    if not reports and not problems:
        problems.append(f"no test report in {results}")
    summary = []
    total = 0
    total_skipped = 0
    for name in reports:
        program = name[:-len(".json")]
        with open(os.path.join(results, name), encoding="utf-8") as f:
            found = list(cases(json.load(f)))
        counts = {"passed": 0, "failed": 0, "skipped": 0, "disabled": 0}
        for _, result in found:
            counts[result] += 1
        line = f"{program}: {len(found)} cases, {counts['passed']} passed"
        for kind in ("failed", "skipped", "disabled"):
            if counts[kind]:
                line += f", {counts[kind]} {kind}"
        print(line)
        short = program[:-len("_tests")] if program.endswith("_tests") else program
        part = f"{short} {len(found)}"
        if counts["skipped"]:
            part += f" ({counts['skipped']} skipped as expected)"
        summary.append(part)
        total += len(found)
        total_skipped += counts["skipped"]
        if not found:
            problems.append(f"{program} reports no test case")
        for case, result in found:
            if result == "failed":
                problems.append(f"{program}: {case} failed")
            elif result == "skipped":
                if case in allowed:
                    print(f"  skipped as expected: {case} ({allowed[case]})")
                else:
                    problems.append(f"{program}: {case} skipped, which tests/expected-skips.txt does not expect in {build}")
    for problem in problems:
        print(f"check-test-cases: {problem}")
    print(f"cases: {total} ({total_skipped} expected skips): " + ", ".join(summary))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
