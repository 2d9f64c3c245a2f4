#!/usr/bin/env python3
"""/metrics of a 10,000-device record with 500 named devices, against node_exporter's own /metrics
in the same run (bench/run.sh; measure.py imports the table rows).

  metrics_bench.py BUILD RESULTS [VARNOCK_WEB]

Renders the text in process (bench/metrics_render: the formatter alone) and, when a varnock-web
program is given, fetches its /metrics over HTTP the way node_exporter's is fetched: both servers
listen on 127.0.0.1 on a port the kernel picks, and only there. The record holds only
documentation addresses; it is data, nothing is sent to them.
"""
import json
import os
import socket
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.request

DEVICES = 10_000
NAMED = 500
FETCHES = 30


def write_record(folder):
    """A record as the watch writes it: 762 devices with an IPv4 address of the three documentation
    networks, the rest with one in 2001:db8::/64; every twentieth named."""
    networks = ["192.0.2", "198.51.100", "203.0.113"]
    neighbours, names = [], []
    for i in range(DEVICES):
        hardware = "02:00:%02X:%02X:%02X:%02X" % (i >> 24 & 255, i >> 16 & 255, i >> 8 & 255, i & 255)
        if i < 3 * 254:
            address = f"{networks[i // 254]}.{i % 254 + 1}"
        else:
            address = f"2001:db8::{i:x}"
        neighbours.append({"address": address, "interface": "eth0", "hardware_address": hardware,
                           "first_seen": "2026-12-07T14:00:00Z", "last_seen": "2026-12-07T15:00:00Z",
                           "answering": i % 7 != 0})
        if i % (DEVICES // NAMED) == 0:
            names.append(f"{hardware} device-{i}")
    record = os.path.join(folder, "eth0.json")
    with open(record, "w") as f:
        json.dump({"version": 1, "neighbours": neighbours}, f, indent=0)
    names_file = os.path.join(folder, "names")
    with open(names_file, "w") as f:
        f.write("\n".join(names) + "\n")
    return record, names_file


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def fetch(url):
    with urllib.request.urlopen(url, timeout=10) as response:
        return response.read()


def measure_server(command, url):
    """Median ms of FETCHES fetches of `url` from the server `command` starts, its bytes and series."""
    server = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 20
        while True:
            try:
                body = fetch(url)
                break
            except OSError:
                if time.monotonic() > deadline or server.poll() is not None:
                    raise RuntimeError(f"{command[0]} did not answer at {url}")
                time.sleep(0.1)
        times = []
        for _ in range(FETCHES):
            start = time.perf_counter()
            body = fetch(url)
            times.append((time.perf_counter() - start) * 1000)
        series = sum(1 for line in body.decode().splitlines() if line and not line.startswith("#"))
        return statistics.median(times), len(body), series
    finally:
        server.terminate()
        server.wait(timeout=10)


def measure(build, results, web=None):
    with tempfile.TemporaryDirectory() as folder:
        record, names = write_record(folder)
        rendered = json.loads(subprocess.run([f"{build}/bench/metrics_render", record, names, "30"],
                                             check=True, capture_output=True, text=True).stdout)
        results.update(metrics_render_ms=rendered["render_ms"], metrics_bytes=rendered["bytes"],
                       metrics_series=rendered["series"])
        port = free_port()
        node = measure_server(["prometheus-node-exporter", f"--web.listen-address=127.0.0.1:{port}"],
                              f"http://127.0.0.1:{port}/metrics")
        results.update(node_exporter_ms=node[0], node_exporter_bytes=node[1],
                       node_exporter_series=node[2])
        if web:
            port = free_port()
            served = measure_server([web, "--state", record, "--names", names,
                                     "--listen", f"127.0.0.1:{port}"],
                                    f"http://127.0.0.1:{port}/metrics")
            results.update(metrics_web_ms=served[0], metrics_web_bytes=served[1],
                           metrics_web_series=served[2])


def table_rows(r, row):
    if "metrics_render_ms" not in r:
        return []
    peer = (f"node_exporter /metrics ({r['node_exporter_series']} series, "
            f"{r['node_exporter_bytes'] / 1024:.0f} KiB)")
    lines = [row(f"/metrics text of 10,000 devices, 500 named, rendered in process "
                 f"({r['metrics_series']} series, {r['metrics_bytes'] / 1024:.0f} KiB)",
                 r["metrics_render_ms"], "ms", peer, r["node_exporter_ms"],
                 "≤ node_exporter's fetch; series bound by the names")]
    if "metrics_web_ms" in r:
        lines.append(row(f"varnock-web /metrics over HTTP, the same record "
                         f"({r['metrics_web_series']} series, {r['metrics_web_bytes'] / 1024:.0f} KiB)",
                         r["metrics_web_ms"], "ms", peer, r["node_exporter_ms"],
                         "≤ node_exporter's fetch"))
    return lines


def main():
    build, path = sys.argv[1], sys.argv[2]
    web = sys.argv[3] if len(sys.argv) > 3 else None
    try:
        with open(path) as f:
            results = json.load(f)
    except FileNotFoundError:
        results = {}
    measure(build, results, web)
    with open(path, "w") as f:
        json.dump(results, f, indent=2)


if __name__ == "__main__":
    main()
