#!/usr/bin/env python3
"""Measurements behind bench/run.sh; each writes its results into one JSON file.

  measure.py lab    --build DIR --results FILE   (inside the lab, as root there)
  measure.py window --build DIR --results FILE   (with DISPLAY on Xvfb + a window manager)
  measure.py table  --results FILE --out FILE.md
"""
import argparse
import json
import os
import re
import statistics
import subprocess
import sys
import time

import metrics_bench
import wide_network

LIVE = os.environ.get("VARNOCK_LAB_LIVE_HOST", "192.0.2.2")
ABSENT = os.environ.get("VARNOCK_LAB_ABSENT_HOST", "192.0.2.77")
INTERFACE = os.environ.get("VARNOCK_LAB_INTERFACE", "c0")
NETWORK = "192.0.2.0/24"
# "192.0.2.2<blanks>02:1A:2B:3C:4D:5E": a host found (both programs' form).
FOUND = re.compile(r"^\d+\.\d+\.\d+\.\d+\s+[0-9A-Fa-f]{2}(:[0-9A-Fa-f]{2}){5}\b")


def kernel_cli(build):
    """varnock-cli asking the kernel: these rows measure its method even as root, where
    the default would be the raw one (bench/raw_sweep.py measures that)."""
    return [f"{build}/console/varnock-cli", "--method", "kernel"]


def load(path):
    try:
        with open(path) as f:
            return json.load(f)
    except FileNotFoundError:
        return {}


def save(path, results):
    with open(path, "w") as f:
        json.dump(results, f, indent=2)


def flush_neighbours():
    subprocess.run(["ip", "neigh", "flush", "dev", INTERFACE], check=True)


def neigh_setting(name, value=None):
    path = f"/proc/sys/net/ipv4/neigh/{INTERFACE}/{name}"
    if value is None:
        with open(path) as f:
            return int(f.read())
    with open(path, "w") as f:
        f.write(str(value))


def timed_runs(command, runs, expect_status, env=None):
    """Median wall time in ms of `runs` cold runs (neighbour table flushed)."""
    times = []
    for _ in range(runs):
        flush_neighbours()
        start = time.perf_counter()
        status = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                env=env).returncode
        times.append((time.perf_counter() - start) * 1000)
        if status != expect_status:
            raise SystemExit(f"{command} exited {status}, expected {expect_status}")
    return statistics.median(times)


def hosts_found(command, expect_status):
    """How many lines with a hardware address one cold run prints."""
    flush_neighbours()
    run = subprocess.run(command, capture_output=True, text=True)
    if run.returncode != expect_status:
        raise SystemExit(f"{command} exited {run.returncode}, expected {expect_status}")
    return sum(1 for line in run.stdout.splitlines() if FOUND.match(line))


def measure_lab(build, results):
    # In-process: Google Benchmark, median of repetitions.
    out = subprocess.run(
        [f"{build}/bench/lookup_benchmark", "--benchmark_format=json",
         "--benchmark_repetitions=5", "--benchmark_report_aggregates_only=true"],
        check=True, capture_output=True, text=True).stdout
    for entry in json.loads(out)["benchmarks"]:
        if entry.get("aggregate_name") == "median":
            name = entry["run_name"].split("/")[0].removeprefix("BM_")
            results[f"inprocess_{name}_us"] = entry["real_time"]

    # Whole process, cold table: the console program against arping.
    runs = 30
    results["process_cli_ms"] = timed_runs([*kernel_cli(build), LIVE], runs, 0)
    results["process_arping_ms"] = timed_runs(["arping", "-c1", "-w3", "-I", INTERFACE, LIVE], runs, 0)
    # The same with the system's vendor registries (ieee-data), its compact
    # form already in the user's cache as after the first run.
    with_lists = {k: v for k, v in os.environ.items() if k != "VARNOCK_VENDOR_LISTS"}
    subprocess.run([*kernel_cli(build), LIVE], env=with_lists, check=True,
                   stdout=subprocess.DEVNULL)
    results["process_cli_vendors_ms"] = timed_runs([*kernel_cli(build), LIVE], runs, 0,
                                                   env=with_lists)

    # A /24 sweep of the lab, cold table, the lab's give-up time: the console
    # program (exits 1: most addresses are absent) against arp-scan (root).
    cli_sweep = [*kernel_cli(build), NETWORK]
    arpscan_sweep = ["arp-scan", "-q", "-I", INTERFACE, NETWORK]
    results["giveup_lab_ms"] = (neigh_setting("mcast_solicit") + neigh_setting("app_solicit")) * \
        neigh_setting("retrans_time_ms")
    results["sweep_cli_ms"] = timed_runs(cli_sweep, 5, 1)
    results["sweep_arpscan_ms"] = timed_runs(arpscan_sweep, 5, 0)
    results["sweep_cli_found"] = hosts_found(cli_sweep, 1)
    results["sweep_arpscan_found"] = hosts_found(arpscan_sweep, 0)

    measure_stale_confirmation(build, results)
    measure_large_sweep(build, results)
    measure_watch_churn(build, results)
    wide_network.measure_wide_network(build, results)

    # Give-up time for an absent host with the kernel's default settings.
    saved = {name: neigh_setting(name) for name in ("retrans_time_ms", "mcast_solicit", "app_solicit")}
    try:
        neigh_setting("retrans_time_ms", 1000)
        neigh_setting("mcast_solicit", 3)
        neigh_setting("app_solicit", 0)
        results["giveup_kernel_ms"] = 3 * 1000
        results["giveup_cli_ms"] = timed_runs([*kernel_cli(build), ABSENT], 3, 1)
        results["sweep_cli_kernel_ms"] = timed_runs(cli_sweep, 2, 1)
    finally:
        for name, value in saved.items():
            neigh_setting(name, value)


def neighbour_state(address):
    return subprocess.run(["ip", "neigh", "show", address, "dev", INTERFACE],
                          capture_output=True, text=True).stdout


def one_run_ms(command, expect_status):
    start = time.perf_counter()
    status = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
    if status != expect_status:
        raise SystemExit(f"{command} exited {status}, expected {expect_status}")
    return (time.perf_counter() - start) * 1000


def measure_stale_confirmation(build, results, runs=15):
    """A lookup of an entry that went stale, against one of a confirmed entry
    (the same process cost) in the same run: the difference is what
    confirming the stale entry costs."""
    cli = [*kernel_cli(build), LIVE]
    saved = neigh_setting("base_reachable_time_ms")
    confirmed, stale = [], []
    try:
        neigh_setting("base_reachable_time_ms", 300)
        for _ in range(runs):
            flush_neighbours()
            one_run_ms(cli, 0)
            confirmed.append(one_run_ms(cli, 0))
            deadline = time.monotonic() + 10
            # Unconfirmed: STALE, or DELAY/PROBE once something was sent.
            while not re.search(r" (STALE|DELAY|PROBE)", neighbour_state(LIVE)):
                if time.monotonic() > deadline:
                    raise SystemExit("the live host's entry never went stale")
                time.sleep(0.01)
            stale.append(one_run_ms(cli, 0))
    finally:
        neigh_setting("base_reachable_time_ms", saved)
    results["stale_process_ms"] = statistics.median(stale)
    results["confirmed_process_ms"] = statistics.median(confirmed)


def arp_table_entries():
    """The machine's ARP table fill and its gc_thresh2, as rtnetlink tells
    them to anyone (the numbers are shared by every namespace)."""
    out = subprocess.run(["ip", "-s", "ntable", "show", "name", "arp_cache"],
                         capture_output=True, text=True, check=True).stdout
    entries = int(re.search(r"\bentries (\d+)", out).group(1))
    thresh2 = int(re.search(r"\bthresh2 (\d+)", out).group(1))
    return entries, thresh2


def measure_large_sweep(build, results):
    """Every host address of the three documentation networks, on-link for
    the run: more addresses than the table takes below gc_thresh2, with the
    table's fill sampled throughout."""
    networks = ["192.0.2.0/24", "198.51.100.0/24", "203.0.113.0/25"]
    setup = [["ip", "route", "del", "198.51.100.0/24"],
             ["ip", "addr", "add", "198.51.100.1/24", "dev", INTERFACE],
             ["ip", "addr", "add", "203.0.113.1/25", "dev", INTERFACE]]
    undo = [["ip", "addr", "del", "203.0.113.1/25", "dev", INTERFACE],
            ["ip", "addr", "del", "198.51.100.1/24", "dev", INTERFACE],
            ["ip", "route", "add", "198.51.100.0/24", "via", "192.0.2.254"]]
    for command in setup:
        subprocess.run(command, check=True)
    try:
        flush_neighbours()
        baseline, thresh2 = arp_table_entries()
        samples = []
        start = time.perf_counter()
        sweep = subprocess.Popen([*kernel_cli(build), *networks],
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        while sweep.poll() is None:
            samples.append(arp_table_entries()[0])
            time.sleep(0.1)
        took = (time.perf_counter() - start) * 1000
        found = sum(1 for line in sweep.stdout.read().splitlines() if FOUND.match(line))
    finally:
        for command in undo:
            subprocess.run(command)
    results["large_sweep_addresses"] = 254 + 254 + 126
    results["large_sweep_ms"] = took
    results["large_sweep_found"] = found
    results["large_sweep_table_start"] = baseline
    results["large_sweep_table_peak"] = max(samples, default=baseline)
    results["large_sweep_thresh2"] = thresh2


def process_footprint(pid):
    """Resident memory in kB and open descriptors of a running process."""
    with open(f"/proc/{pid}/status") as f:
        rss = int(next(line for line in f if line.startswith("VmRSS:")).split()[1])
    return rss, len(os.listdir(f"/proc/{pid}/fd"))


def measure_watch_churn(build, results, seconds=90):
    """A watch with a state file while the table churns far faster than a
    real network's: a /24 sweep every second (250 entries made and failed),
    the table flushed every third, a host's hardware address swapped every
    tenth. Memory and descriptors must stay flat."""
    workdir = os.environ.get("TMPDIR", "/tmp")
    state = os.path.join(workdir, "watch-bench.json")
    watch = subprocess.Popen([f"{build}/console/varnock-cli", "--watch", "--state", state],
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    host_ns = os.environ["VARNOCK_LAB_HOST_NAMESPACE"]
    macs = ["02:1a:2b:3c:4d:5e", "02:1a:2b:3c:4d:99"]
    try:
        time.sleep(2)
        start = process_footprint(watch.pid)
        for second in range(seconds):
            subprocess.run([*kernel_cli(build), NETWORK], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
            if second % 3 == 2:
                flush_neighbours()
            if second % 10 == 9:
                subprocess.run(["ip", "-n", host_ns, "link", "set", "h0", "address",
                                macs[(second // 10) % 2]], check=True)
        end = process_footprint(watch.pid)
    finally:
        subprocess.run(["ip", "-n", host_ns, "link", "set", "h0", "address", macs[0]])
        watch.terminate()
        out, _ = watch.communicate(timeout=10)
    results["watch_seconds"] = seconds
    results["watch_rss_kb"] = [start[0], end[0]]
    results["watch_fds"] = [start[1], end[1]]
    results["watch_events"] = len(out.splitlines())
    results["watch_event_kinds"] = sorted({line.split()[1] for line in out.splitlines() if line})
    if os.environ.get("VARNOCK_BENCH_SHOW_EVENTS"):
        print(out, file=sys.stderr)
    results["watch_exit"] = watch.returncode


def first_paint(program, *arguments):
    """Process start to first paint in ms, and peak resident memory in MB."""
    start = time.monotonic_ns()
    out = subprocess.run([program, *arguments], check=True, capture_output=True, text=True,
                         timeout=30).stdout
    values = dict(line.split() for line in out.splitlines())
    return (int(values["first_paint_monotonic_ns"]) - start) / 1e6, int(values["peak_rss_kb"]) / 1024


def measure_window(build, results, turns=21):
    # The window against its honest peer, a plain Qt Widgets form with the
    # same controls (bench/plain_form.cpp), and the bare window of its size
    # beneath both; in turns, each turn in another order, so that all three
    # see the same machine. Medians of the turns.
    programs = {"window": "window_startup", "plain_form": "plain_form", "bare_window": "bare_window"}
    paints = {name: [] for name in programs}
    peaks = {name: [] for name in programs}
    names = list(programs)
    for turn in range(turns):
        for name in names[turn % 3:] + names[:turn % 3]:
            paint, peak = first_paint(f"{build}/bench/{programs[name]}")
            paints[name].append(paint)
            peaks[name].append(peak)
    for name in programs:
        results[f"{name}_first_paint_ms"] = statistics.median(paints[name])
        results[f"{name}_peak_rss_mb"] = statistics.median(peaks[name])
    # Left by earlier runs, which measured a one-label bare window instead.
    results.pop("one_label_window_first_paint_ms", None)


def table(results):
    def row(what, value, unit, peer_name=None, peer=None, target=""):
        ratio = f"{value / peer:.2f}" if peer else ""
        peer_text = f"{peer_name} {peer:.1f} {unit}" if peer else ""
        return f"| {what} | {value:.1f} {unit} | {peer_text} | {ratio} | {target} |"

    r = results
    lines = ["| Measurement | Varnock | Peer (same run) | Ratio | Target |", "|---|---|---|---|---|"]
    if "inprocess_LookupColdTable_us" in r:
        lines.append(row("lookups 2..N of one engine, cold neighbour table (in process)", r["inprocess_LookupColdTable_us"], "µs",
                         "raw ARP exchange", r["inprocess_RawArpFloor_us"], "≤ 2 × floor"))
        lines.append(row("lookup, warm neighbour table (in process)", r["inprocess_LookupWarmTable_us"], "µs",
                         target="< 50 µs"))
        lines.append(row("whole process, live host, cold table", r["process_cli_ms"], "ms",
                         "arping -c1 -w3", r["process_arping_ms"], "≤ 1 × arping"))
        if "process_cli_vendors_ms" in r:
            lines.append(row("whole process, live host, cold table, with ieee-data's vendor lists",
                             r["process_cli_vendors_ms"], "ms", "arping -c1 -w3",
                             r["process_arping_ms"],
                             f"≤ 0.5 × arping; ≤ {r['process_cli_ms'] + 1:.1f} ms (+1 ms)"))
        lines.append(row("absent host, kernel defaults", r["giveup_cli_ms"], "ms",
                         "kernel schedule", r["giveup_kernel_ms"], "within 100 ms"))
    if "sweep_cli_ms" in r:
        lines.append(row(f"/24 sweep, lab give-up {r['giveup_lab_ms']} ms, cold table "
                         f"(hosts found: {r['sweep_cli_found']}; arp-scan {r['sweep_arpscan_found']})",
                         r["sweep_cli_ms"], "ms", f"arp-scan -q -I {INTERFACE}", r["sweep_arpscan_ms"],
                         f"< 4 × give-up ({4 * r['giveup_lab_ms']} ms)"))
        lines.append(row("/24 sweep, kernel defaults, cold table", r["sweep_cli_kernel_ms"], "ms",
                         "kernel schedule", r["giveup_kernel_ms"], "≈ 1 give-up + 254 paced starts"))
    if "stale_process_ms" in r:
        lines.append(row("whole process, stale entry confirmed by the host", r["stale_process_ms"], "ms",
                         "confirmed entry", r["confirmed_process_ms"], "≤ confirmed + 1 ms"))
    if "large_sweep_ms" in r:
        lines.append(row(f"{r['large_sweep_addresses']}-address sweep (three documentation networks), "
                         f"lab give-up; hosts found {r['large_sweep_found']}; ARP table "
                         f"{r['large_sweep_table_start']} → peak {r['large_sweep_table_peak']} "
                         f"(gc_thresh2 {r['large_sweep_thresh2']})",
                         r["large_sweep_ms"], "ms",
                         target="peak < gc_thresh2; every live host found"))
    lines += wide_network.table_rows(r, row)
    for length in (20, 16):
        if f"raw_sweep_raw{length}_ms" not in r:
            continue
        hosts = r[f"raw_sweep_hosts{length}"]
        found = (f"found {r[f'raw_sweep_raw{length}_found']} (own address included); "
                 f"arp-scan {r[f'raw_sweep_arpscan{length}_found']}")
        lines.append(row(f"10.0.0.0/{length} sweep, {hosts} macvlan hosts, --method raw as root; {found}",
                         r[f"raw_sweep_raw{length}_ms"], "ms", "arp-scan -q (defaults, root)",
                         r[f"raw_sweep_arpscan{length}_ms"], "≤ 0.5 × arp-scan; every host found"))
        if f"raw_sweep_kernel{length}_ms" in r:
            lines.append(row(f"10.0.0.0/{length} sweep, {hosts} hosts, --method kernel as nobody, "
                             f"kernel defaults; found {r[f'raw_sweep_kernel{length}_found']}",
                             r[f"raw_sweep_kernel{length}_ms"], "ms", "the raw method",
                             r[f"raw_sweep_raw{length}_ms"], "(what the neighbour table costs)"))
    if "raw_sweep_stale_raw_us" in r:
        lines.append(row("whole process, stale entry of a host whose firewall drops UDP, --method raw as root",
                         r["raw_sweep_stale_raw_us"] / 1000, "ms", "--method kernel as nobody",
                         r["raw_sweep_stale_kernel_us"] / 1000, "≪ the kernel's 5 s"))
    if "raw_sweep_rawv6_ms" in r:
        lines.append(row(f"2001:db8::/120 sweep, {r['raw_sweep_hostsv6']} macvlan hosts, --method raw as root; "
                         f"found {r['raw_sweep_rawv6_found']} (own included); kernel "
                         f"{r['raw_sweep_kernelv6_found']}", r["raw_sweep_rawv6_ms"], "ms",
                         "--method kernel as nobody", r["raw_sweep_kernelv6_ms"], "every host found"))
    if "raw_sweep_kernelv6_table_peak" in r and "raw_sweep_kernel24_ms" in r:
        lines.append(row(f"2001:db8::/120 sweep, {r['raw_sweep_hostsv6']} hosts, --method kernel as nobody, "
                         f"kernel defaults; found {r['raw_sweep_kernelv6_found']}; ND table peak "
                         f"{r['raw_sweep_kernelv6_table_peak']}, {r['raw_sweep_kernelv6_forced']} forced "
                         f"collections (the /24: ARP table peak {r['raw_sweep_kernel24_table_peak']}, "
                         f"{r['raw_sweep_kernel24_forced']})", r["raw_sweep_kernelv6_ms"], "ms",
                         f"10.0.0.0/24, the same {r['raw_sweep_hosts24']} hosts, as nobody",
                         r["raw_sweep_kernel24_ms"],
                         "≈ the /24, where the table takes it (two entries an IPv6 address)"))
    if "watch_rss_kb" in r:
        (rss0, rss1), (fd0, fd1) = r["watch_rss_kb"], r["watch_fds"]
        lines.append(f"| --watch under {r['watch_seconds']} s of churn (a /24 sweep a second, flushes, "
                     f"swapped addresses; {r['watch_events']} events, exit {r['watch_exit']}) | "
                     f"RSS {rss0} → {rss1} kB, descriptors {fd0} → {fd1} |  |  | flat |")
    lines += metrics_bench.table_rows(r, row)
    if "plain_form_first_paint_ms" in r:
        lines.append(row("window: process start to first paint (xcb)", r["window_first_paint_ms"], "ms",
                         "plain Qt Widgets form", r["plain_form_first_paint_ms"], "≤ 1.15 × plain form"))
        lines.append(row("window: peak resident memory", r["window_peak_rss_mb"], "MB",
                         "plain Qt Widgets form", r["plain_form_peak_rss_mb"], "≤ 1.1 × plain form"))
        lines.append(row("the plain form: process start to first paint (xcb)", r["plain_form_first_paint_ms"],
                         "ms", "bare Qt Widgets window", r["bare_window_first_paint_ms"],
                         "(what stock controls and text cost)"))
        lines.append(row("the plain form: peak resident memory", r["plain_form_peak_rss_mb"], "MB",
                         "bare Qt Widgets window", r["bare_window_peak_rss_mb"],
                         "(what stock controls and text cost)"))
    if "web_api_rps" in r:
        lines.append(f"| web: /api/v1/devices, 10,000 devices ({r['web_api_bytes'] / 1e6:.1f} MB), "
                     f"50 connections, requests a second (wrk) | {r['web_api_rps']:.0f} /s | "
                     f"nginx, the same bytes as a file {r['nginx_api_rps']:.0f} /s | "
                     f"{r['web_api_rps'] / r['nginx_api_rps']:.2f} | ≥ 0.5 × nginx |")
        lines.append(row("web: /api/v1/devices, 99th percentile latency", r["web_api_p99_ms"], "ms",
                         "nginx, the same bytes", r["nginx_api_p99_ms"], "≤ 2 × nginx"))
    if "web_page_shown_ms" in r:
        lines.append(row("web: the page with 10,000 devices in headless chromium, to the table shown",
                         r["web_page_shown_ms"], "ms", "nginx, the same page", r["nginx_page_shown_ms"],
                         "(first contentful paint)"))
        lines.append(row("web: a filter applied to the 10,000 rows in the page", r["web_page_filter_ms"],
                         "ms", target="(typed to the rows shown)"))
    if "web_peak_rss_kb" in r:
        lines.append(row("web: varnock-web's peak resident memory, 10,000 devices, after the runs above",
                         r["web_peak_rss_kb"] / 1024, "MB"))
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("what", choices=["lab", "window", "table"])
    parser.add_argument("--build")
    parser.add_argument("--results", required=True)
    parser.add_argument("--out")
    args = parser.parse_args()
    results = load(args.results)
    if args.what == "lab":
        measure_lab(args.build, results)
        save(args.results, results)
    elif args.what == "window":
        measure_window(args.build, results)
        save(args.results, results)
    else:
        text = table(results)
        print(text)
        if args.out:
            with open(args.out, "w") as f:
                f.write(text + "\n")


if __name__ == "__main__":
    main()
