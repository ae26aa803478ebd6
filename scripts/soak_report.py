#!/usr/bin/env python3
"""Sums up the runs of scripts/soak.sh: every ctest test and every test case
that failed at least once, with its count. Exit code 1 when any run failed."""
import glob
import os
import sys
import xml.etree.ElementTree as ElementTree


def failed(case):
    return case.find("failure") is not None or case.find("error") is not None


def ctest_results(run_dir):
    """{ctest test: passed} of one run; empty when ctest wrote no report."""
    path = os.path.join(run_dir, "ctest.xml")
    if not os.path.exists(path):
        return None
    results = {}
    for case in ElementTree.parse(path).getroot().iter("testcase"):
        status = case.get("status", "")
        if status in ("disabled", "notrun") and not failed(case):
            continue
        results[case.get("name")] = status in ("run", "passed") and not failed(case)
    return results


def gtest_results(run_dir):
    """[(program: Suite.Test, passed)] of one run, one entry per execution."""
    results = []
    for path in sorted(glob.glob(os.path.join(run_dir, "xml", "*.xml"))):
        program = os.path.splitext(os.path.basename(path))[0]
        program = program.rsplit("_", 1)[0] if program.rsplit("_", 1)[-1].isdigit() else program
        try:
            root = ElementTree.parse(path).getroot()
        except ElementTree.ParseError:
            results.append((program + ": (unreadable report)", False))
            continue
        for case in root.iter("testcase"):
            if case.get("result", "completed") == "suppressed" or case.get("status") == "notrun":
                continue
            results.append((f"{program}: {case.get('classname')}.{case.get('name')}", not failed(case)))
    return results


def main():
    out, runs = sys.argv[1], int(sys.argv[2])
    program_failures, program_runs = {}, {}
    case_failures, case_runs = {}, {}
    green_runs, missing = 0, 0
    for run in range(1, runs + 1):
        run_dir = os.path.join(out, f"run{run}")
        programs = ctest_results(run_dir)
        if programs is None:
            missing += 1
            continue
        for name, passed in programs.items():
            program_runs[name] = program_runs.get(name, 0) + 1
            if not passed:
                program_failures[name] = program_failures.get(name, 0) + 1
        for name, passed in gtest_results(run_dir):
            case_runs[name] = case_runs.get(name, 0) + 1
            if not passed:
                case_failures[name] = case_failures.get(name, 0) + 1
        if programs and all(programs.values()):
            green_runs += 1

    print(f"soak: {green_runs} of {runs} runs green; {len(program_runs)} ctest tests, "
          f"{len(case_runs)} test cases executed {sum(case_runs.values())} times in all")
    if missing:
        print(f"  {missing} run(s) left no ctest report (see build/soak/run*/log.txt)")
    for name in sorted(program_failures):
        print(f"  ctest test {name}: failed {program_failures[name]} of {program_runs[name]} runs")
    for name in sorted(case_failures):
        print(f"  {name}: failed {case_failures[name]} of {case_runs[name]} executions")
    return 0 if green_runs == runs else 1


if __name__ == "__main__":
    sys.exit(main())
