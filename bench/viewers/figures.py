#!/usr/bin/env python3
"""The figures the viewer benchmarks print.

  figures.py step STEP_OUT MEM_OUT  the median of the probe's steps and the
                                    sampler's peaks: "median rss_kb total_kb"
As a module: medians(results) reads rows of "who key=value ..." and returns
each viewer's medians; show(medians, keys) prints them.
"""
import re
import statistics
import sys


def step_figures(step_out, mem_out):
    steps = re.search(r"steps_ms=([-0-9.,]+)", open(step_out).read())
    values = [float(v) for v in steps.group(1).split(",")] if steps else []
    mem = dict(kv.split("=") for kv in open(mem_out).read().split())
    ok = values and min(values) >= 0
    return f"{statistics.median(values) if ok else -1:.1f} {mem['rss_kb']} {mem['total_kb']}"


def medians(results):
    rows = {}
    for line in open(results):
        who, *pairs = line.split()
        d = dict(p.split("=") for p in pairs)
        # An empty figure (a run that showed nothing) counts as -1.
        rows.setdefault(who, []).append({k: float(v or -1) for k, v in d.items() if k != "round"})
    return {who: {k: statistics.median(r[k] for r in rs) for k in rs[0]} for who, rs in rows.items()}


def show(med, keys):
    print("\nmedians (ms, kB):")
    for who, m in med.items():
        print(f"  {who:8s} " + " ".join(f"{k}={m[k]:.{1 if k == 'step' else 0}f}" for k in keys))


if __name__ == "__main__" and len(sys.argv) == 4 and sys.argv[1] == "step":
    print(step_figures(sys.argv[2], sys.argv[3]))
