#!/usr/bin/env python3
"""Prints one table of the benchmark figures: each target of the project, what was measured,
whether it is met, and the side-by-side anchor (diatheke, imp2vs, osis2mod, curl, unzip) with the
ratio.

    table.py RESULTS_DIR [--markdown]

RESULTS_DIR holds the Google Benchmark JSON files that bench/run-all.sh writes (one per
benchmark program, run with repetitions and aggregates) and, when the browser tests ran, the
latency file they leave (browser-latency.json). A figure whose file or benchmark is missing is
shown as "not run"; the exit status is 1 when a measured figure misses its target.
"""

import json
import os
import sys

# Each row: label, (file, benchmark, value), target, comparison, and an optional anchor.
#   value: "real_time" / "cpu_time" (in the benchmark's unit, converted to the row's unit)
#          or the name of a counter (taken as it is, already in the row's unit).
#   comparison: "<=" the figure must not exceed the target, ">=" it must reach it.
#   anchor: (label, file, benchmark, value, ratio target, ratio comparison); the ratio is
#           ours / anchor.
ROWS = [
    ("every index of the full-size installation", ("text_store_bench", "BM_PrepareModules", "real_time"),
     50.0, "ms", "<=", None),
    ("chapter record read (median)", ("text_store_bench", "BM_ReadEveryChapterCached", "median_us"),
     50.0, "us", "<=", None),
    ("import of 31,102 verses with index", ("import_bench", "BM_ImportBible", "real_time"),
     200.0, "ms", "<=",
     ("imp2vs, same verses", "import_bench", "BM_Imp2vsSameText", "real_time", None, None)),
    ("import of the WEB USFM folder (83 files)", ("import_bench", "BM_ImportUsfmFolder", "real_time"),
     200.0, "ms", "<=", None),
    ("import of the KJV as OSIS (mod2osis, 18 MB)", ("import_bench", "BM_ImportOsis", "real_time"),
     None, "ms", "<=",
     ("osis2mod, same file", "import_bench", "BM_Osis2modSameFile", "real_time", 0.2, "<=")),
    ("OpenPage per chapter, 2 parallel versions (median)",
     ("page_bench", "BM_OpenEveryChapter/layout2", "median_us"), 300.0, "us", "<=", None),
    ("SearchWords of a common word", ("page_bench", "BM_SearchWords/maxsearch", "real_time"),
     10.0, "ms", "<=", None),
    ("quillax-cli process: a chapter", ("page_bench", "BM_CliChapterProcess", "real_time"),
     None, "ms", "<=",
     ("diatheke: a chapter", "page_bench", "BM_DiathekeChapterProcess", "real_time", None, None)),
    ("quillax-cli process: word search", ("page_bench", "BM_CliSearchProcess", "real_time"),
     50.0, "ms", "<=",
     ("diatheke: word search", "page_bench", "BM_DiathekeSearchProcess", "real_time", None, None)),
    ("download of 50 MB over loopback (throughput)",
     ("updater_bench", "BM_Download", "ours_MBps"), None, "MB/s", ">=",
     ("curl, same server", "updater_bench", "BM_Download", "curl_MBps",
      0.8, ">=")),
    ("unpacking 50 MB, 1,000 files",
     ("updater_bench", "BM_Extract", "real_time"), None, "ms", "<=",
     ("unzip -o, same archive", "updater_bench", "BM_Extract", "unzip_ms",
      1.2, "<=")),
    ("MIDI message lateness on the real clock (upper quartile)",
     ("midi_bench", "BM_SongLateness", "p75_us"), 1000.0, "us", "<=", None),
]

# Rows read from other result files: (label, file, key, target, unit, comparison).
JSON_ROWS = [
    ("hover-to-popup latency beyond the open delay (browser, median)",
     "browser-latency", "median_ms", 30.0, "ms", "<="),
]

UNIT_FACTORS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def load_plain(directory, stem, key):
    """A number from a plain JSON file of the results folder, or a text saying why not."""
    try:
        with open(os.path.join(directory, stem + ".json"), encoding="utf-8") as handle:
            return float(json.load(handle)[key])
    except FileNotFoundError:
        return "not run"
    except (OSError, ValueError, KeyError, TypeError) as error:
        return f"unreadable: {error}"


def load_results(directory):
    """{file stem: {benchmark run name: median entry}}"""
    results = {}
    for name in sorted(os.listdir(directory)):
        if not name.endswith(".json"):
            continue
        path = os.path.join(directory, name)
        try:
            with open(path, encoding="utf-8") as handle:
                data = json.load(handle)
        except (OSError, ValueError) as error:
            print(f"table.py: {path}: {error}", file=sys.stderr)
            continue
        entries = {}
        for entry in data.get("benchmarks", []) if isinstance(data, dict) else []:
            run = entry.get("run_name", entry.get("name", ""))
            aggregate = entry.get("aggregate_name")
            if entry.get("error_occurred"):
                entries.setdefault(run, {"error": entry.get("error_message", "error")})
                continue
            # The median when repetitions ran; a single run otherwise.
            if aggregate == "median" or (aggregate is None and run not in entries):
                entries[run] = entry
        results[name[:-5]] = entries
    return results


def figure(results, file, benchmark, value, unit):
    """The figure in `unit`, or a text saying why there is none."""
    entries = results.get(file, {})
    entry = entries.get(benchmark)
    if entry is None:
        # Options show in the run name ("BM_X/real_time", "BM_X/iterations:5/manual_time").
        entry = next((e for name, e in entries.items() if name.startswith(benchmark + "/")), None)
    if entry is None:
        return "not run"
    if "error" in entry:
        return "skipped: " + entry["error"]
    if value in ("real_time", "cpu_time"):
        seconds = entry[value] * UNIT_FACTORS[entry.get("time_unit", "ns")]
        return seconds / UNIT_FACTORS[unit]
    if value in entry:
        return float(entry[value])
    return "no counter " + value


def fmt(number, unit):
    if isinstance(number, str):
        return number
    if number >= 100:
        text = f"{number:,.0f}"
    elif number >= 10:
        text = f"{number:.1f}"
    else:
        text = f"{number:.2f}"
    return f"{text} {unit}" if unit else text


def meets(value, target, comparison):
    if isinstance(value, str) or target is None:
        return None
    return value <= target if comparison == "<=" else value >= target


def build_rows(results, directory):
    rows = []
    missed = False
    for label, (file, bench, value), target, unit, comparison, anchor in ROWS:
        ours = figure(results, file, bench, value, unit)
        verdict = meets(ours, target, comparison)
        status = "" if verdict is None else ("met" if verdict else "MISSED")
        if verdict is False:
            missed = True
            status += f" (by {fmt(abs(ours - target), unit)})"
        target_text = "" if target is None else f"{comparison} {fmt(target, unit)}"
        anchor_label = anchor_text = ratio_text = ""
        if anchor:
            anchor_label, afile, abench, avalue, ratio_target, ratio_comparison = anchor
            theirs = figure(results, afile, abench, avalue, unit)
            anchor_text = fmt(theirs, unit)
            if not isinstance(ours, str) and not isinstance(theirs, str) and theirs > 0:
                ratio = ours / theirs
                ratio_text = f"{ratio:.2f}"
                ratio_verdict = meets(ratio, ratio_target, ratio_comparison)
                if ratio_verdict is not None:
                    ratio_text += f" ({ratio_comparison} {ratio_target}: " + \
                        ("met" if ratio_verdict else "MISSED") + ")"
                    missed = missed or not ratio_verdict
        rows.append([label, target_text, fmt(ours, unit), status, anchor_label, anchor_text,
                     ratio_text])
    for label, stem, key, target, unit, comparison in JSON_ROWS:
        ours = load_plain(directory, stem, key)
        verdict = meets(ours, target, comparison)
        status = "" if verdict is None else ("met" if verdict else "MISSED")
        missed = missed or verdict is False
        rows.append([label, f"{comparison} {fmt(target, unit)}", fmt(ours, unit), status, "", "", ""])
    return rows, missed


def main(argv):
    if len(argv) < 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    results = load_results(argv[1])
    rows, missed = build_rows(results, argv[1])
    header = ["measure", "target", "measured", "", "side by side", "its figure", "ratio"]
    if "--markdown" in argv:
        print("| " + " | ".join(header) + " |")
        print("|" + "---|" * len(header))
        for row in rows:
            print("| " + " | ".join(row) + " |")
    else:
        widths = [max(len(r[i]) for r in rows + [header]) for i in range(len(header))]
        for row in [header] + rows:
            print("  ".join(cell.ljust(widths[i]) for i, cell in enumerate(row)).rstrip())
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
