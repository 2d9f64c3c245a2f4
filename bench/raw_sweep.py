#!/usr/bin/env python3
"""Sweeps of 10.0.0.0/8 networks on the benchmarks' wide network: the raw
method against arp-scan (as root, its defaults) in the same run, and the
kernel's method beside them. Nothing here reaches the machine's own network.
Root only.

  bench/raw_sweep.py VARNOCK_CLI RESULTS.json [20|16|v6|24|stale]...   (default: 20)

A /20 holds 100 live hosts, a /16 250, and v6 is 2001:db8::/120 (the largest
IPv6 network the program sweeps) with 50 hosts, where the kernel's method is
the peer (arp-scan speaks no IPv6); 24 is 10.0.0.0/24 with the same 50 hosts,
the IPv4 peer of v6 (both methods, as for v6, with the neighbour table's peak
and the kernel's forced collections during the kernel's run); each is a
row. On the /20 the raw method
also runs at higher rates, to see what the link takes, and the kernel's
method runs beside it unless VARNOCK_BENCH_KERNEL=0. stale: a stale entry of
a firewalled host, raw against the kernel's method.
"""
import json
import os
import re
import shutil
import subprocess
import sys
import threading
import time

from lab_network import LabNetwork, run, spread_hosts

HOSTS = {"20": 100, "16": 250, "v6": 50, "24": 50}
NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--inh-caps=-all",
          "--bounding-set=-all"]
FOUND = re.compile(r"^[0-9a-f.:]+\s+[0-9A-Fa-f]{2}(:[0-9A-Fa-f]{2}){5}")


def network_of(size):
    return "2001:db8::/120" if size == "v6" else f"10.0.0.0/{size}"


def table_reading(table):
    """The machine's count of entries in `table` and its forced collections so far."""
    text = run("ip", "-s", "ntable", "show", "name", table).stdout
    entries = re.search(r"entries (\d+)", text)
    forced = re.search(r"forced_gc_runs (\d+)", text)
    return int(entries.group(1)) if entries else 0, int(forced.group(1)) if forced else 0


def timed(lab, measured, name, expected, command, table=None):
    """Records NAME_ms and NAME_found for one cold run of `command`; with
    `table`, also the peak of the machine's count of entries in it (sampled
    every 100 ms) and the kernel's forced collections during the run."""
    lab.flush()
    running = True
    peak, forced_before = table_reading(table) if table else (0, 0)

    def sample():
        nonlocal peak
        while running:
            peak = max(peak, table_reading(table)[0])
            time.sleep(0.1)
    sampler = threading.Thread(target=sample) if table else None
    if sampler:
        sampler.start()
    start = time.perf_counter()
    done = subprocess.run(lab.in_client(*command), capture_output=True, text=True)
    measured[f"{name}_ms"] = round((time.perf_counter() - start) * 1000)
    if sampler:
        running = False
        sampler.join()
        measured[f"{name}_table_peak"] = peak
        measured[f"{name}_forced"] = table_reading(table)[1] - forced_before
    measured[f"{name}_found"] = sum(1 for line in done.stdout.splitlines() if FOUND.match(line))
    if done.returncode != expected:
        sys.exit(f"raw_sweep: {' '.join(command)} exited {done.returncode}, expected {expected}")
    print(f"  {name}: {measured[name + '_ms']} ms, {measured[name + '_found']} found",
          file=sys.stderr)


def sweep(lab, measured, cli, size):
    network = network_of(size)
    lab.set_hosts(spread_hosts(network, HOSTS[size]))
    print(f"raw_sweep: {network}, {HOSTS[size]} live hosts", file=sys.stderr)
    timed(lab, measured, f"raw{size}", 1, [cli, "--method", "raw", network])
    if size in ("v6", "24"):
        timed(lab, measured, f"kernel{size}", 1, NOBODY + [cli, "--method", "kernel", network],
              table="ndisc_cache" if size == "v6" else "arp_cache")
    else:
        timed(lab, measured, f"arpscan{size}", 0, ["arp-scan", "-q", "-I", "c0", network])
        # The kernel's method takes minutes on a /16 (about 42 addresses a
        # second, bound by the neighbour table): measured on the /20 only.
        if size == "20":
            for rate in (2400, 4800, 9600):
                timed(lab, measured, f"raw{size}_rate{rate}", 1,
                      [cli, "--method", "raw", "--rate", str(rate), network])
            if os.environ.get("VARNOCK_BENCH_KERNEL", "1") == "1":
                timed(lab, measured, f"kernel{size}", 1, NOBODY + [cli, "--method", "kernel", network])
    measured[f"hosts{size}"] = HOSTS[size]


def stale(lab, measured, cli):
    """A stale entry of a host whose firewall drops the kernel method's
    datagram: the kernel waits delay_first_probe_time (5 s) before its own
    probe, where one ARP request is answered at once. Whole processes."""
    hosts = spread_hosts(network_of("20"), HOSTS["20"])
    lab.set_hosts(hosts)
    firewalled = hosts[0]
    run(*lab.in_hosts("nft", "-f", "-"), input="""table inet raw_sweep {
    chain input {
        type filter hook input priority 0;
        meta l4proto udp drop
    }
}
""")
    lab.sysctl(lab.client, "net.ipv4.neigh.c0.base_reachable_time_ms", 300)
    lab.flush()
    for name, command in (("stale_kernel", NOBODY + [cli, "--method", "kernel"]),
                          ("stale_raw", [cli, "--method", "raw"])):
        run(*lab.in_client(*NOBODY, cli, "--method", "kernel", firewalled))
        deadline = time.monotonic() + 5
        while not re.search(r" (STALE|DELAY|PROBE)",
                            run(*lab.in_client("ip", "neigh", "show", firewalled, "dev", "c0")).stdout):
            if time.monotonic() > deadline:
                sys.exit(f"raw_sweep: the entry of {firewalled} never went stale")
            time.sleep(0.01)
        start = time.perf_counter()
        done = subprocess.run(lab.in_client(*command, firewalled), capture_output=True)
        measured[f"{name}_us"] = round((time.perf_counter() - start) * 1e6)
        if done.returncode != 0:
            sys.exit(f"raw_sweep: {name} exited {done.returncode}")
        print(f"  {name}: {measured[name + '_us']} us", file=sys.stderr)


def main():
    cli, results_path = sys.argv[1], sys.argv[2]
    sizes = sys.argv[3:] or ["20"]
    if os.geteuid() != 0:
        print("raw_sweep: needs root (namespaces, arp-scan)", file=sys.stderr)
        return 77
    needs_arpscan = any(size in ("20", "16") for size in sizes)
    for tool in (("ip", "setpriv") + (("arp-scan",) if needs_arpscan else ())
                 + (("nft",) if "stale" in sizes else ())):
        if shutil.which(tool) is None:
            print(f"raw_sweep: {tool} is missing", file=sys.stderr)
            return 77
    measured = {}
    with LabNetwork("vkraw") as lab:
        for size in sizes:
            if size != "stale":
                sweep(lab, measured, cli, size)
        if "stale" in sizes:
            stale(lab, measured, cli)
    try:
        with open(results_path) as f:
            results = json.load(f)
    except FileNotFoundError:
        results = {}
    results.update({f"raw_sweep_{key}": value for key, value in measured.items()})
    with open(results_path, "w") as f:
        json.dump(results, f, indent=2)
    return 0


if __name__ == "__main__":
    sys.exit(main())
