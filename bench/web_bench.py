#!/usr/bin/python3
"""varnock-web over a 10,000-device record, against nginx serving the same bytes.

  web_bench.py --web VARNOCK_WEB --results FILE [--seconds 10] [--skip-browser]

Everything listens on 127.0.0.1 only, on free ports, for a bounded time:
  - the JSON API (/api/v1/devices) under wrk, 50 connections, against nginx
    (its own configuration and files in a temporary folder) serving the body
    varnock-web answered as a static file: requests a second and p99 latency;
  - the page with 10,000 devices in headless chromium: time to the table
    shown and to a filter applied, and the same page's bytes from nginx;
  - varnock-web's peak resident memory (VmHWM) after all of it.
Results go into FILE (JSON, merged with what is there); measure.py table
prints them.
"""
import argparse
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

import web_record

CONNECTIONS = 50


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def until_answers(url, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            with urllib.request.urlopen(url, timeout=5) as response:
                return response.read()
        except OSError:
            time.sleep(0.1)
    raise SystemExit(f"{url} did not answer within {seconds} s")


def wrk(url, seconds):
    """Requests a second and p99 latency in ms, wrk's latency report."""
    command = ["wrk", "-t2", f"-c{CONNECTIONS}", f"-d{seconds}s", "--timeout", "30s", "--latency", url]
    output = subprocess.run(command, capture_output=True, text=True, check=True,
                            timeout=seconds + 30).stdout
    rate = float(re.search(r"Requests/sec:\s*([\d.]+)", output).group(1))
    value, unit = re.search(r"^\s*99%\s+([\d.]+)(us|ms|s)\s*$", output, re.M).groups()
    p99 = float(value) * {"us": 0.001, "ms": 1.0, "s": 1000.0}[unit]
    errors = re.search(r"Non-2xx or 3xx responses:\s*(\d+)", output)
    if errors or "Socket errors" in output:
        raise SystemExit(f"wrk saw errors against {url}:\n{output}")
    return rate, p99


NGINX_CONF = """
worker_processes 2;
pid {root}/nginx.pid;
error_log {root}/error.log;
daemon off;
events {{ worker_connections 256; }}
http {{
    access_log off;
    client_body_temp_path {root}/tmp;
    proxy_temp_path {root}/tmp;
    fastcgi_temp_path {root}/tmp;
    uwsgi_temp_path {root}/tmp;
    scgi_temp_path {root}/tmp;
    types {{ application/json json; text/html html; text/css css; application/javascript js;
             image/svg+xml svg; }}
    server {{
        listen 127.0.0.1:{port};
        root {root}/files;
        location = / {{ try_files /index.html =404; }}
    }}
}}
"""


def start_nginx(root, port):
    os.makedirs(f"{root}/tmp", exist_ok=True)
    with open(f"{root}/nginx.conf", "w") as f:
        f.write(NGINX_CONF.format(root=root, port=port))
    return subprocess.Popen(["/usr/sbin/nginx", "-c", f"{root}/nginx.conf", "-p", root],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def peak_memory_kb(pid):
    with open(f"/proc/{pid}/status") as f:
        return int(re.search(r"VmHWM:\s*(\d+)", f.read()).group(1))


PAGE_TIMING = """
const done = arguments[arguments.length - 1];
const nav = performance.getEntriesByType('navigation')[0];
const paint = performance.getEntriesByName('first-contentful-paint')[0];
done({dom: nav.domContentLoadedEventEnd, load: nav.loadEventEnd,
      paint: paint ? paint.startTime : null,
      rows: document.querySelectorAll('#devices tbody tr').length});
"""
FILTER_TIMING = """
const [text, done] = [arguments[0], arguments[arguments.length - 1]];
const q = document.getElementById('q');
const rows = () => Array.from(document.querySelectorAll('#devices tbody tr'))
    .filter(r => r.offsetParent !== null).length;
const before = rows();
const start = performance.now();
q.value = text;
q.dispatchEvent(new Event('input', {bubbles: true}));
const frame = () => {
  const now = rows();
  if (now !== before) { requestAnimationFrame(() => done({ms: performance.now() - start, rows: now})); }
  else if (performance.now() - start > 20000) { done({ms: null, rows: now}); }
  else { requestAnimationFrame(frame); }
};
requestAnimationFrame(frame);
"""


def browser_timings(urls, runs=5):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    work = tempfile.mkdtemp(prefix="varnock-bench-chromium.")
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update",
                 "--disable-sync", "--disable-dev-shm-usage", "--window-size=1280,900",
                 f"--user-data-dir={work}/profile"):
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.set_page_load_timeout(60)
    driver.set_script_timeout(30)
    results = {}
    try:
        for name, url in urls.items():
            shown, filtered = [], []
            for _ in range(runs):
                driver.get(url)
                timing = driver.execute_async_script(PAGE_TIMING)
                if timing["rows"] < 10000:
                    raise SystemExit(f"{name}: only {timing['rows']} rows shown")
                shown.append(timing["paint"] or timing["dom"])
                if name == "varnock-web":
                    applied = driver.execute_async_script(FILTER_TIMING, "2001:db8::1f")
                    if applied["ms"] is None:
                        raise SystemExit("the filter was not applied within 20 s")
                    filtered.append(applied["ms"])
            results[name] = {"shown_ms": sorted(shown)[len(shown) // 2]}
            if filtered:
                results[name]["filter_ms"] = sorted(filtered)[len(filtered) // 2]
    finally:
        driver.quit()
        shutil.rmtree(work, ignore_errors=True)
    return results


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--web", required=True)
    parser.add_argument("--results", required=True)
    parser.add_argument("--seconds", type=int, default=10)
    parser.add_argument("--skip-browser", action="store_true")
    args = parser.parse_args()
    for tool in ("wrk", "/usr/sbin/nginx"):
        if not shutil.which(tool):
            raise SystemExit(f"{tool} is not installed (tools/packages/bench.txt)")

    work = tempfile.mkdtemp(prefix="varnock-web-bench.")
    os.chmod(work, 0o755)  # nginx's workers run as nobody when started by root
    processes = []
    try:
        record = f"{work}/eth0.json"
        with open(record, "w") as f:
            json.dump(web_record.record(10000), f, indent=1)
        web_port, nginx_port = free_port(), free_port()
        web = subprocess.Popen([args.web, "--state", record, "--listen", f"127.0.0.1:{web_port}"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        processes.append(web)
        api = f"http://127.0.0.1:{web_port}/api/v1/devices"
        body = until_answers(api)
        if body.count(b'"hardware_address"') < 10000:
            raise SystemExit(f"the API lists {body.count(b'hardware_address')} devices, not 10000")
        page = until_answers(f"http://127.0.0.1:{web_port}/")

        # nginx: the same bytes, the page with its assets at the same paths.
        files = f"{work}/nginx/files"
        os.makedirs(f"{files}/api/v1", exist_ok=True)
        with open(f"{files}/api/v1/devices.json", "wb") as f:
            f.write(body)
        with open(f"{files}/index.html", "wb") as f:
            f.write(page)
        for asset in set(re.findall(rb'(?:src|href)="(/assets/[^"]+)"', page)):
            path = asset.decode()
            os.makedirs(os.path.dirname(files + path), exist_ok=True)
            with open(files + path, "wb") as f:
                f.write(until_answers(f"http://127.0.0.1:{web_port}{path}"))
        processes.append(start_nginx(f"{work}/nginx", nginx_port))
        static = f"http://127.0.0.1:{nginx_port}/api/v1/devices.json"
        until_answers(static)

        # A short warm-up each, then the measured runs, in turns.
        wrk(api, 2)
        wrk(static, 2)
        web_rate, web_p99 = wrk(api, args.seconds)
        nginx_rate, nginx_p99 = wrk(static, args.seconds)
        results = {
            "web_api_bytes": len(body),
            "web_api_rps": web_rate, "web_api_p99_ms": web_p99,
            "nginx_api_rps": nginx_rate, "nginx_api_p99_ms": nginx_p99,
        }
        if not args.skip_browser:
            timings = browser_timings({
                "varnock-web": f"http://127.0.0.1:{web_port}/",
                "nginx": f"http://127.0.0.1:{nginx_port}/",
            })
            results["web_page_shown_ms"] = timings["varnock-web"]["shown_ms"]
            results["web_page_filter_ms"] = timings["varnock-web"]["filter_ms"]
            results["nginx_page_shown_ms"] = timings["nginx"]["shown_ms"]
            results["web_page_bytes"] = len(page)
        results["web_peak_rss_kb"] = peak_memory_kb(web.pid)
        print(json.dumps(results, indent=2))
    finally:
        for process in processes:
            process.send_signal(signal.SIGTERM)
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
        shutil.rmtree(work, ignore_errors=True)

    try:
        with open(args.results) as f:
            merged = json.load(f)
    except FileNotFoundError:
        merged = {}
    merged.update(results)
    with open(args.results, "w") as f:
        json.dump(merged, f, indent=2)


if __name__ == "__main__":
    sys.exit(main())
