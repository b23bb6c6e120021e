#!/usr/bin/env python3
"""The first step through a folder of 50,000 small JPEGs, Velvane against qimgv.

Run by huge_folder.sh inside a private X session. Each round, interleaved:
  velvane  opens a photo of the folder, waits one second, and steps with Space
           (the first step); then sort by name, size and date and toggle the
           direction, each followed by a step, timed from Space to the picture
  qimgv    opens the same photo, waits one second, and steps with Right
  quit     Velvane opened on the folder, Esc pressed while the folder is being
           read: ms until the process has ended, against the same in a folder
           of three photos
Prints every round, the medians and the ratios against qimgv's first step.
"""
import json
import os
import re
import statistics
import subprocess
import sys
import threading
import time

COUNT = 50000
GREY = (128, 128, 128)
COLOURS = {  # the pictures a step must reach, each its own colour
    "start": (230, 40, 200), "date1": (40, 200, 60), "name2": (30, 60, 230),
    "size3": (240, 220, 30), "date4": (30, 220, 230), "qimgv1": (250, 130, 20),
}
SORT_KEYS = ["ctrl+1", "ctrl+3", "ctrl+2", "ctrl+r"]  # name, size, date, toggle direction
STEP_NAMES = ["first", "after_name", "after_size", "after_date", "after_toggle"]
PACE_MS = 2000


def name(i):
    return f"IMG_{i + 1:05d}.jpg"


def date_rank(i):  # distinct, and unlike the name order
    return (i * 7919) % COUNT


def plan_chain():
    by_rank = {date_rank(i): i for i in range(COUNT)}
    date_next = lambda i: by_rank[(date_rank(i) + 1) % COUNT]
    name_next = lambda i: (i + 1) % COUNT
    start = COUNT // 2 - 1
    for size3 in range(777, COUNT):
        chain = {"start": start}
        chain["date1"] = date_next(start)             # Space, by date ascending (the default)
        chain["name2"] = name_next(chain["date1"])    # Ctrl+1, then Space
        chain["size3"] = size3                        # Ctrl+3, then Space: made the next by size
        chain["date4"] = date_next(size3)             # Ctrl+2, then Space
        chain["qimgv1"] = name_next(start)            # qimgv's Right, by name
        if len(set(chain.values())) == len(chain):
            return chain                              # after Ctrl+R, Space goes back to size3
    raise SystemExit("no chain")


def jpeg(colour, path):
    subprocess.run(["convert", "-size", "480x320", f"xc:rgb({colour[0]},{colour[1]},{colour[2]})",
                    "-quality", "90", path], check=True)
    with open(path, "rb") as f:
        return f.read()


def with_comment(data, pad):
    # A comment segment right after SOI, so that sizes differ.
    assert 0 <= pad <= 65533
    return data[:2] + b"\xff\xfe" + (pad + 2).to_bytes(2, "big") + b"c" * pad + data[2:]


def make_folder(root):
    folder = os.path.join(root, "huge")
    plan_path = os.path.join(root, "huge.json")
    if os.path.exists(plan_path):
        with open(plan_path) as f:
            return json.load(f)
    os.makedirs(folder, exist_ok=True)
    chain = plan_chain()
    grey = jpeg(GREY, os.path.join(root, "grey.jpg"))
    coloured = {k: jpeg(COLOURS[k], os.path.join(root, k + ".jpg")) for k in chain}
    # Common photos have sizes in a band below every photo of the chain; in
    # the chain, size3 is the next larger after name2, the others larger still.
    big = max(len(d) for d in [grey, *coloured.values()]) + 4 + 2000
    sizes = {"name2": big, "size3": big + 1, "start": big + 10, "date1": big + 11, "date4": big + 12, "qimgv1": big + 13}
    role = {i: k for k, i in chain.items()}
    base = 1600000000
    for i in range(COUNT):
        if i in role:
            data = coloured[role[i]]
            data = with_comment(data, sizes[role[i]] - len(data) - 4)
        else:
            data = with_comment(grey, (i * 104729) % 1000)
        path = os.path.join(folder, name(i))
        with open(path, "wb") as f:
            f.write(data)
        os.utime(path, (base + date_rank(i) * 60, base + date_rank(i) * 60))
    small = os.path.join(root, "small")
    os.makedirs(small, exist_ok=True)
    for i, k in enumerate(["start", "date1", "name2"]):
        with open(os.path.join(small, name(i)), "wb") as f:
            f.write(coloured[k])
    plan = {"folder": folder, "small": small, "chain": {k: name(i) for k, i in chain.items()}}
    with open(plan_path, "w") as f:
        json.dump(plan, f)
    return plan


def rgb(key):
    return ",".join(map(str, COLOURS[key]))


def reset_settings():
    # Every run starts from the factory order (date, ascending), past the first run.
    hive = os.path.join(os.environ["XDG_CONFIG_HOME"], "velvane", "registry-hkcu.txt")
    with open(hive, "w") as f:
        f.write('Velvane registry hive 1\n[SOFTWARE\\Norquill\\Velvane]\n"FirstRun"=dword:00000000\n')


def parse(out):
    steps = re.search(r"steps_ms=([-0-9.,]+)", out)
    presses = re.search(r"press_abs=([0-9.,]+)", out)
    return ([float(v) for v in steps.group(1).split(",")] if steps else [],
            [float(v) for v in presses.group(1).split(",")] if presses else [])


def run_velvane(build, probe, plan):
    reset_settings()
    path = os.path.join(plan["folder"], plan["chain"]["start"])
    colours = [rgb(k) for k in ["start", "date1", "name2", "size3", "date4", "size3"]]
    sent = []

    def inject(t0):
        # Between two steps: a step is pressed one second after the first
        # picture and every PACE_MS after that; the sort key goes half-way.
        for k, key in enumerate(SORT_KEYS, start=1):
            due = t0 + (PACE_MS * k + 500) / 1000
            time.sleep(max(0.0, due - time.monotonic()))
            sent.append(time.monotonic() * 1000)
            subprocess.run(["xdotool", "key", key], check=False)

    t0 = time.monotonic()
    injector = threading.Thread(target=inject, args=(t0,))
    injector.start()
    out = subprocess.run([probe, "step", "space", "1000", str(PACE_MS), *colours, "--",
                          os.path.join(build, "velvane"), "/windowed", path],
                         env=dict(os.environ, PROBE_ABS="1"), capture_output=True, text=True).stdout
    injector.join()
    steps, presses = parse(out)
    # Each sort key must have come after the picture of the step before and
    # before the next press; a round where it did not is not counted.
    ok = len(steps) == 5 and min(steps) >= 0 and len(presses) == 5 and all(
        presses[k] + steps[k] < sent[k] < presses[k + 1] for k in range(4))
    return steps if ok else None, out


def run_qimgv(probe, plan):
    path = os.path.join(plan["folder"], plan["chain"]["start"])
    out = subprocess.run([probe, "step", "Right", "1000", str(PACE_MS), rgb("start"), rgb("qimgv1"), "--",
                          "qimgv", path], capture_output=True, text=True).stdout
    steps, _ = parse(out)
    return steps[0] if steps and steps[0] >= 0 else None, out


def quit_ms(build, folder, first, delay):
    reset_settings()
    viewer = subprocess.Popen([os.path.join(build, "velvane"), "/windowed", os.path.join(folder, first)])
    found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid", str(viewer.pid)],
                           capture_output=True, text=True, timeout=30)
    if found.returncode != 0:
        viewer.kill()
        viewer.wait()
        return None
    time.sleep(delay)
    pressed = time.monotonic()  # the key's own way through xdotool counts, alike for both folders
    subprocess.run(["xdotool", "key", "Escape"], check=False)
    try:
        viewer.wait(timeout=20)
    except subprocess.TimeoutExpired:
        viewer.kill()
        viewer.wait()
        return None
    return (time.monotonic() - pressed) * 1000


def main():
    build, probe, cache, rounds = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
    plan = make_folder(cache)
    rows = {"velvane": [], "qimgv": [], "quit_huge": [], "quit_small": []}
    for r in range(1, rounds + 1):
        print(f"round {r}: load {os.getloadavg()[0]:.2f}", flush=True)
        steps, out = run_velvane(build, probe, plan)
        if steps:
            rows["velvane"].append(steps)
        print("  velvane " + (" ".join(f"{n}={v:.1f}" for n, v in zip(STEP_NAMES, steps)) if steps
                              else "not counted: " + out.strip()), flush=True)
        first, out = run_qimgv(probe, plan)
        if first is not None:
            rows["qimgv"].append(first)
        print(f"  qimgv   first={first:.1f}" if first is not None else "  qimgv   failed: " + out.strip(), flush=True)
        # Esc at three moments of the reading (it takes about half a second).
        huge = [quit_ms(build, plan["folder"], plan["chain"]["start"], d) for d in (0.15, 0.3, 0.45)]
        small = [quit_ms(build, plan["small"], name(0), d) for d in (0.15, 0.3, 0.45)]
        if None not in huge and None not in small:
            rows["quit_huge"].append(max(huge))
            rows["quit_small"].append(max(small))
        print("  quit    huge=" + ",".join(f"{v:.0f}" if v is not None else "-" for v in huge) +
              " small=" + ",".join(f"{v:.0f}" if v is not None else "-" for v in small), flush=True)

    if not rows["velvane"] or not rows["qimgv"]:
        raise SystemExit("no complete round")
    med = {n: statistics.median(s[i] for s in rows["velvane"]) for i, n in enumerate(STEP_NAMES)}
    q = statistics.median(rows["qimgv"])
    print(f"\nmedians over {len(rows['velvane'])} velvane and {len(rows['qimgv'])} qimgv rounds (ms):")
    print("  velvane " + " ".join(f"{n}={v:.1f}" for n, v in med.items()))
    print(f"  qimgv   first={q:.1f}")
    print("\nratios against qimgv's first step (target <= 1.00):")
    for n, v in med.items():
        print(f"  {n:13s} {v / q:.2f}")
    if rows["quit_huge"]:
        h, s = statistics.median(rows["quit_huge"]), statistics.median(rows["quit_small"])
        print(f"\nEsc while reading the folder: {h:.0f} ms to exit, {s:.0f} ms in a folder of three "
              f"(ratio {h / s:.2f})")


if __name__ == "__main__":
    main()
