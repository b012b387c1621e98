#!/usr/bin/env python3
"""Counts the test cases one stage of scripts/test.sh ran and checks its skips.

    scripts/check-test-cases.py RESULTS_DIR BUILD [EXPECTED_SKIPS]

RESULTS_DIR holds the GoogleTest reports of the stage (GTEST_OUTPUT=json:RESULTS_DIR/ gives one
<program>.json per test program), BUILD is the preset the stage built (native, asan, tsan, win32,
win64), EXPECTED_SKIPS the list of cases that may skip (default tests/expected-skips.txt).

Prints one line per program ("textlib: 65 cases, 64 passed, 1 skipped") with its skipped cases,
then a last line that sums the stage up for the summary of the test command. Fails (exit 1) when
there is no report at all, when a program reports no case, a failed case, or a skipped case that
the list does not expect in this build.
"""
import json
import os
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


def main():
    if len(sys.argv) not in (3, 4):
        raise SystemExit(__doc__)
    results, build = sys.argv[1], sys.argv[2]
    here = os.path.dirname(os.path.abspath(__file__))
    expected_path = sys.argv[3] if len(sys.argv) == 4 else os.path.join(here, "..", "tests", "expected-skips.txt")
    allowed = expected_skips(expected_path, build)

    reports = sorted(f for f in os.listdir(results) if f.endswith(".json")) if os.path.isdir(results) else []
    if not reports:
        print(f"check-test-cases: no test report in {results}")
        return 1
    problems = []
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
