"""A /20 with 100 live hosts on the benchmarks' wide network (lab_network.py;
10.0.0.0/8 never leaves its namespaces): the console program as nobody with the
kernel's default neighbour settings against arp-scan (root, its defaults),
quiet and while another namespace holds 470 permanent neighbour entries.

Imported by measure.py; run as root (inside the lab or not: nothing here
touches the lab's own namespaces).
"""
import os
import re
import subprocess
import threading
import time

from lab_network import LabNetwork, run, spread_hosts

NETWORK = "10.0.0.0/20"
HOSTS = 100
HELD_ENTRIES = 470
FOUND = re.compile(r"^\d+\.\d+\.\d+\.\d+\s+[0-9A-Fa-f]{2}(:[0-9A-Fa-f]{2}){5}\b")
NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--bounding-set=-all",
          "--inh-caps=-all", "--no-new-privs"]


def table_counters():
    out = run("ip", "-s", "ntable", "show", "name", "arp_cache").stdout
    return {name: int(re.search(rf"\b{name} (\d+)", out).group(1))
            for name in ("entries", "thresh2", "table_fulls", "forced_gc_runs")}


def wait_for_quiet_table(network, seconds=60):
    """Lets the entries an earlier run left FAILED be collected, so that each
    run starts from the same table."""
    network.flush()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and table_counters()["entries"] > 64 + HELD_ENTRIES:
        time.sleep(1)


def sweep_as_nobody(network, build):
    """One sweep: wall time, hosts found, and the process's peak threads and
    descriptors, sampled every 20 ms."""
    before = table_counters()
    start = time.perf_counter()
    sweep = subprocess.Popen(network.in_client(*NOBODY, f"{build}/console/varnock-cli", NETWORK),
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    threads = descriptors = 0
    output = []
    reader = threading.Thread(target=lambda: output.append(sweep.stdout.read()))
    reader.start()
    while sweep.poll() is None:
        try:
            with open(f"/proc/{sweep.pid}/status") as status:
                threads = max(threads, int(re.search(r"Threads:\s+(\d+)", status.read()).group(1)))
            descriptors = max(descriptors, len(os.listdir(f"/proc/{sweep.pid}/fd")))
        except (OSError, AttributeError):
            pass
        time.sleep(0.02)
    reader.join()
    took = (time.perf_counter() - start) * 1000
    after = table_counters()
    found = sum(1 for line in "".join(output).splitlines() if FOUND.match(line))
    return {"ms": took, "found": found, "threads": threads, "descriptors": descriptors,
            "table_fulls": after["table_fulls"] - before["table_fulls"],
            "forced_gc_runs": after["forced_gc_runs"] - before["forced_gc_runs"]}


def arpscan(network):
    start = time.perf_counter()
    out = subprocess.run(network.in_client("arp-scan", "-q", "-I", "c0", NETWORK),
                         capture_output=True, text=True, check=True).stdout
    took = (time.perf_counter() - start) * 1000
    found = len({line.split()[0] for line in out.splitlines() if FOUND.match(line)})
    return {"ms": took, "found": found}


def measure_linger(network, build, absent="10.0.15.254"):
    """How long an entry the kernel gave up on stays FAILED while the table
    holds more than gc_thresh1 entries (below it, FAILED entries stay for
    minutes): what each address without a host costs the table after its
    give-up time."""
    network.flush()
    subprocess.run(network.in_client(*NOBODY, f"{build}/console/varnock-cli", absent),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    failed = time.perf_counter()
    while time.perf_counter() - failed < 120:
        shown = run(*network.in_client("ip", "neigh", "show", absent, "dev", "c0")).stdout
        if "FAILED" not in shown:
            break
        time.sleep(0.1)
    return (time.perf_counter() - failed) * 1000


def measure_wide_network(build, results):
    with LabNetwork() as network:
        network.set_hosts(spread_hosts(NETWORK, HOSTS))
        # The kernel's defaults for the client's interface: 3 probes 1 s
        # apart, whatever the lab set.
        for setting, value in (("retrans_time_ms", 1000), ("mcast_solicit", 3), ("app_solicit", 0)):
            run(*network.in_client("sysctl", "-qw", f"net.ipv4.neigh.c0.{setting}={value}"))
        results["wide_arpscan"] = arpscan(network)
        wait_for_quiet_table(network)
        results["wide_quiet"] = sweep_as_nobody(network, build)
        network.hold_entries(HELD_ENTRIES)
        try:
            results["wide_linger_ms"] = measure_linger(network, build)
            wait_for_quiet_table(network)
            results["wide_busy"] = sweep_as_nobody(network, build)
        finally:
            network.release_entries()
        results["wide_hosts"] = HOSTS
        counters = table_counters()
        # The table-bound pace: the room below gc_thresh2 (less an eighth)
        # turned over once per give-up time and linger.
        room = counters["thresh2"] - counters["thresh2"] // 8
        results["wide_table_bound_ms"] = 4094 / room * (3000 + results["wide_linger_ms"])


def table_rows(r, row):
    if "wide_quiet" not in r:
        return []
    quiet, busy, scan = r["wide_quiet"], r["wide_busy"], r["wide_arpscan"]

    def facts(sweep):
        return (f"found {sweep['found']}/{r['wide_hosts']}, peak {sweep['threads']} threads and "
                f"{sweep['descriptors']} descriptors, {sweep['table_fulls']} refused entries, "
                f"{sweep['forced_gc_runs']} forced collections")

    return [
        row(f"/20 sweep, {r['wide_hosts']} live hosts, kernel defaults, as nobody ({facts(quiet)}; "
            f"arp-scan found {scan['found']})", quiet["ms"], "ms", "arp-scan -q (root)", scan["ms"],
            f"every host found, ≤ 4 threads, ≤ 16 descriptors; table-bound "
            f"{r['wide_table_bound_ms'] / 1000:.0f} s (room ÷ (3 s give-up + "
            f"{r['wide_linger_ms'] / 1000:.1f} s linger))"),
        row(f"the same while another namespace holds {HELD_ENTRIES} permanent entries "
            f"({facts(busy)})", busy["ms"], "ms", "the quiet run", quiet["ms"], "≤ 1.5 × quiet"),
    ]
