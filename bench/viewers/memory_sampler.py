#!/usr/bin/env python3
"""Samples the memory of a viewer and its child processes until it ends.

Usage: memory_sampler.py PARENT_PID OUT_FILE
PARENT_PID is the timing probe; the viewer is its child, and the viewer's own
children (our decoding worker) are counted with it. Every 20 ms it adds up,
over those processes, two figures and keeps the peak of each:
  rss   the sum of VmRSS, as `ps` would add it up;
  total resident private memory (RssAnon + RssFile) plus every memfd the
        processes hold or map, counted once by inode at its full size, so
        that decoded pictures kept unmapped in memfds are not missed and a
        picture mapped by two processes is not counted twice.
Writes "rss_kb=N total_kb=N" to OUT_FILE.
"""
import os
import sys
import time


def children(pid):
    try:
        with open(f"/proc/{pid}/task/{pid}/children") as f:
            return [int(p) for p in f.read().split()]
    except OSError:
        return []


def status(pid):
    fields = {}
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                key, _, value = line.partition(":")
                if value.strip().endswith("kB"):
                    fields[key] = int(value.split()[0])
    except OSError:
        pass
    return fields


def memfds(pid, seen):
    """Adds {inode: bytes} of the memfds pid holds or maps to seen."""
    fd_dir = f"/proc/{pid}/fd"
    try:
        for fd in os.listdir(fd_dir):
            try:
                if os.readlink(f"{fd_dir}/{fd}").startswith("/memfd:"):
                    st = os.stat(f"{fd_dir}/{fd}")
                    seen[st.st_ino] = max(seen.get(st.st_ino, 0), st.st_size)
            except OSError:
                pass
        with open(f"/proc/{pid}/maps") as f:
            for line in f:
                parts = line.split()
                if len(parts) >= 6 and parts[5].startswith("/memfd:"):
                    start, end = (int(x, 16) for x in parts[0].split("-"))
                    inode = int(parts[4])
                    seen[inode] = max(seen.get(inode, 0), end - start)
    except OSError:
        pass


def main():
    parent, out = int(sys.argv[1]), sys.argv[2]
    peak_rss = peak_total = 0
    while os.path.exists(f"/proc/{parent}"):
        pids = []
        for viewer in children(parent):
            pids.append(viewer)
            pids.extend(children(viewer))
        rss = private = 0
        shared = {}
        for pid in pids:
            s = status(pid)
            rss += s.get("VmRSS", 0)
            private += s.get("RssAnon", 0) + s.get("RssFile", 0)
            memfds(pid, shared)
        total = private + sum(shared.values()) // 1024
        peak_rss = max(peak_rss, rss)
        peak_total = max(peak_total, total)
        time.sleep(0.02)
    with open(out, "w") as f:
        f.write(f"rss_kb={peak_rss} total_kb={peak_total}\n")


if __name__ == "__main__":
    main()
