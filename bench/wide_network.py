"""A /20 with 100 live hosts, built for the run in namespaces of its own
(10.0.0.0/8 never leaves them): the console program as nobody with the
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

NETWORK = "10.0.0.0/20"
HOSTS = 100
HELD_ENTRIES = 470
FOUND = re.compile(r"^\d+\.\d+\.\d+\.\d+\s+[0-9A-Fa-f]{2}(:[0-9A-Fa-f]{2}){5}\b")
NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--bounding-set=-all",
          "--inh-caps=-all", "--no-new-privs"]


def run(*command, check=True):
    return subprocess.run(list(command), check=check, capture_output=True, text=True)


def host_address(index):
    """Host `index` of HOSTS, spread evenly over the /20 (never .0.0 or .0.1)."""
    offset = 2 + index * (4094 - 2) // HOSTS
    return f"10.0.{offset // 256}.{offset % 256}"


class WideNetwork:
    """Client namespace with c0 at 10.0.0.1/20; a hosts namespace whose
    macvlan interfaces on one veth each hold one address and answer only for
    it; optionally a third namespace holding permanent entries."""

    def __init__(self):
        tag = f"vkw{os.getpid()}"
        self.client, self.hosts, self.router = f"{tag}c", f"{tag}h", f"{tag}r"

    def __enter__(self):
        for ns in (self.client, self.hosts):
            run("ip", "netns", "add", ns)
        run("ip", "-n", self.client, "link", "add", "c0", "type", "veth", "peer", "name", "h0",
            "netns", self.hosts)
        run("ip", "-n", self.client, "addr", "add", "10.0.0.1/20", "dev", "c0")
        run("ip", "-n", self.client, "link", "set", "c0", "up")
        run("ip", "-n", self.hosts, "link", "set", "h0", "up")
        for name in ("all", "default"):
            run("ip", "netns", "exec", self.hosts, "sysctl", "-qw", f"net.ipv4.conf.{name}.arp_ignore=1")
        batch = []
        for index in range(HOSTS):
            mac = f"02:10:00:00:{index // 256:02x}:{index % 256:02x}"
            batch += [f"link add m{index} link h0 address {mac} type macvlan mode bridge",
                      f"addr add {host_address(index)}/20 dev m{index}",
                      f"link set m{index} up"]
        subprocess.run(["ip", "-n", self.hosts, "-batch", "-"], input="\n".join(batch) + "\n",
                       check=True, text=True, capture_output=True)
        return self

    def hold_entries(self):
        run("ip", "netns", "add", self.router)
        run("ip", "-n", self.router, "link", "add", "r0", "type", "veth", "peer", "name", "r1")
        run("ip", "-n", self.router, "link", "set", "r0", "up")
        run("ip", "-n", self.router, "addr", "add", "172.16.0.1/16", "dev", "r0")
        batch = [f"neigh add 172.16.{i // 200}.{i % 200 + 2} lladdr 02:20:00:00:{i // 256:02x}:"
                 f"{i % 256:02x} dev r0 nud permanent" for i in range(HELD_ENTRIES)]
        subprocess.run(["ip", "-n", self.router, "-batch", "-"], input="\n".join(batch) + "\n",
                       check=True, text=True, capture_output=True)

    def release_entries(self):
        run("ip", "netns", "del", self.router, check=False)

    def __exit__(self, *_):
        for ns in (self.router, self.hosts, self.client):
            run("ip", "netns", "del", ns, check=False)

    def in_client(self, *command):
        return ["ip", "netns", "exec", self.client, *command]

    def flush(self):
        run(*self.in_client("ip", "neigh", "flush", "dev", "c0"))


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
    with WideNetwork() as network:
        # The kernel's defaults for the client's interface: 3 probes 1 s
        # apart, whatever the lab set.
        for setting, value in (("retrans_time_ms", 1000), ("mcast_solicit", 3), ("app_solicit", 0)):
            run(*network.in_client("sysctl", "-qw", f"net.ipv4.neigh.c0.{setting}={value}"))
        results["wide_arpscan"] = arpscan(network)
        wait_for_quiet_table(network)
        results["wide_quiet"] = sweep_as_nobody(network, build)
        network.hold_entries()
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
