#!/usr/bin/python3
"""The inventory page in a real browser, inside the namespace lab.

Runs on the lab's client as root (run-in-lab.sh --privileged), which it needs
only to take a lab host down and bring it up again. A watch keeps a record as
nobody, varnock-web serves it as nobody on 127.0.0.1, and Debian's chromium,
headless and driven through chromedriver, checks that:
  - the lab's live hosts are listed with their vendors and names;
  - a host brought up in the lab appears without a reload;
  - the filter and the column sorting work in place, and without scripts;
  - the device view shows the host's history from the watch's log;
  - hostile vendor and name texts show as text, and nothing runs (an alert
    hook, the DOM, the console, the page's CSP violation reports);
  - the CSV export neutralises formulas;
  - axe-core finds no serious or critical violation, light or dark.
Screenshots (light and dark) are left in the artifacts folder.

  browser_test.py --cli VARNOCK_CLI --web VARNOCK_WEB --axe AXE_JS --artifacts DIR
Exit status 0 passed, 1 failed, 77 cannot run here (1 under VARNOCK_REQUIRE_LAB=1).
"""
import argparse
import csv
import io
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.error
import urllib.request

REQUIRED = os.environ.get("VARNOCK_REQUIRE_LAB") == "1"


def cannot_run(why):
    print(f"browser test: cannot run here: {why}", file=sys.stderr)
    sys.exit(1 if REQUIRED else 77)


try:
    from selenium import webdriver
    from selenium.common.exceptions import StaleElementReferenceException, TimeoutException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    cannot_run("python3-selenium is not installed (call /usr/bin/python3)")

LIVE_MAC = "02:1A:2B:3C:4D:5E"
LATE_MAC = "02:1A:2B:00:00:18"  # m8, 192.0.2.18: down at the start
SCRIPT = "<script>alert(1)</script>"
IMAGE = '"><img src=x onerror=alert(1)>'
FORMULA = "=cmd|' /C calc'!A0"
# Vendors by prefix (the user's list format, PREFIX<TAB>NAME); the longest
# prefix wins, so the live host and the eight more hosts get different ones.
VENDORS = {"021A2B3C4": FORMULA, "021A2B000": IMAGE, "021A2B": "Lab Devices & Co"}
NAMES = (f"{LIVE_MAC} {SCRIPT} # {IMAGE} {FORMULA}\n"
         "02:1A:2B:00:00:11 printer # by the door\n"
         f"02:1A:2B:00:00:12 {FORMULA.replace(' ', '')}\n")
# Before any page script: alert, confirm and prompt only note their call,
# and every CSP violation is kept.
HOOKS = """
window.__calls = [];
for (const name of ['alert', 'confirm', 'prompt', 'print']) {
  window[name] = (...args) => { window.__calls.push(name + ': ' + args.join(' ')); };
}
window.__violations = [];
document.addEventListener('securitypolicyviolation', (e) => {
  window.__violations.push(e.violatedDirective + ' ' + e.blockedURI);
});
"""

failures = []


def check(what, condition, detail=""):
    if condition:
        print(f"ok: {what}")
    else:
        failures.append(what)
        print(f"FAILED: {what}{': ' + str(detail) if detail else ''}", file=sys.stderr)


def until(condition, seconds, step=0.2):
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(step)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def as_nobody(command):
    """Every capability dropped and, as the lab runs as real root, nobody."""
    drop = ["setpriv", "--bounding-set=-all", "--inh-caps=-all", "--no-new-privs"]
    if not os.environ.get("VARNOCK_LAB_IN_USERNS"):
        drop += ["--reuid=65534", "--regid=65534", "--clear-groups"]
    return drop + command


def fetch(url):
    with urllib.request.urlopen(url, timeout=10) as response:
        return response.read().decode()


class Lab:
    def __init__(self):
        self.prefix = os.environ["VARNOCK_LAB_PREFIX"]
        self.many = f"{self.prefix}-m"

    def host(self, name, up):
        subprocess.run(["ip", "-n", self.many, "link", "set", name, "up" if up else "down"],
                       check=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--web", required=True)
    parser.add_argument("--axe", required=True)
    parser.add_argument("--artifacts", required=True)
    args = parser.parse_args()
    if "VARNOCK_LAB_PREFIX" not in os.environ:
        cannot_run("not inside the namespace lab (tests/lab/run-in-lab.sh --privileged)")
    for tool in ("/usr/bin/chromium", "/usr/bin/chromedriver"):
        if not os.access(tool, os.X_OK):
            cannot_run(f"{tool} is not installed (chromium, chromium-driver)")
    if not os.path.isfile(args.axe):
        cannot_run(f"no axe-core at {args.axe}")
    os.makedirs(args.artifacts, exist_ok=True)

    # In /tmp: the lab's own TMPDIR is root's alone, and nobody must reach this.
    work = tempfile.mkdtemp(prefix="varnock-browser.", dir="/tmp")
    os.chmod(work, 0o777)
    processes = []
    driver = None
    lab = Lab()
    try:
        vendors = os.path.join(work, "vendors.txt")
        with open(vendors, "w") as f:
            f.writelines(f"{prefix}\t{name}\n" for prefix, name in VENDORS.items())
        names = os.path.join(work, "names")
        with open(names, "w") as f:
            f.write(NAMES)
        record = os.path.join(work, "record.json")
        log = os.path.join(work, "events.jsonl")

        # 192.0.2.18 is down until the page is open.
        lab.host("m8", False)
        subprocess.run(["ip", "neigh", "flush", "dev", "c0"], check=True)
        watch = subprocess.Popen(
            as_nobody([args.cli, "--watch", "--state", record, "--log", log,
                       "192.0.2.2", "192.0.2.11", "192.0.2.12"]),
            stdout=open(os.path.join(args.artifacts, "watch.txt"), "w"),
            stderr=subprocess.STDOUT, cwd=work)
        processes.append(watch)

        def record_holds(*macs):
            try:
                with open(record) as f:
                    text = f.read()
            except OSError:
                return False
            return all(f'"{mac}"' in text for mac in macs)

        check("the watch's record holds the three live hosts",
              until(lambda: watch.poll() is not None
                    or record_holds(LIVE_MAC, "02:1A:2B:00:00:11", "02:1A:2B:00:00:12"), 30)
              and watch.poll() is None)

        port = free_port()
        base = f"http://127.0.0.1:{port}"
        web = subprocess.Popen(
            as_nobody([args.web, "--state", record, "--log", log, "--names", names,
                       "--vendor-file", vendors, "--listen", f"127.0.0.1:{port}"]),
            stdout=open(os.path.join(args.artifacts, "web.txt"), "w"),
            stderr=subprocess.STDOUT, cwd=work)
        processes.append(web)

        def answers():
            if web.poll() is not None:
                return "ended"
            try:
                return fetch(base + "/api/v1/records")
            except urllib.error.HTTPError as error:
                return f"status {error.code}"  # up; what it says is checked below
            except OSError:
                return None

        if until(answers, 20) in (None, "ended"):
            check("varnock-web answers on 127.0.0.1", False, f"exit status {web.poll()}")
            return

        without_scripts(base)

        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                     "--no-first-run", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync",
                     "--disable-dev-shm-usage", "--window-size=1280,900",
                     f"--user-data-dir={work}/chromium"):
            options.add_argument(flag)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        driver.set_page_load_timeout(30)
        driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": HOOKS})

        in_browser(driver, base, lab, args)
    finally:
        if driver is not None:
            driver.quit()
        for process in reversed(processes):
            process.send_signal(signal.SIGTERM)
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
        lab.host("m8", True)
        shutil.rmtree(work, ignore_errors=True)


def without_scripts(base):
    """The server's own table, filtered by the form's query: no script needed."""
    page = fetch(base + "/?q=printer")
    check("without scripts, ?q=printer renders only the printer's row",
          page.count("<tr data-device=") == 1 and 'data-device="c0/02:1A:2B:00:00:11"' in page,
          page.count("<tr data-device="))


# The live update builds the table's body again whenever the record changes,
# so rows are read in one script each time, never held as elements.
SHOWN = """return Array.from(document.querySelectorAll('#devices tbody tr[data-device]'))
    .filter(r => r.offsetParent !== null).map(r => r.getAttribute('data-device'));"""


def shown(driver):
    return driver.execute_script(SHOWN)


def row_text(driver, mac):
    """The row's text as shown, or None when there is no such row."""
    return driver.execute_script(
        "const r = document.querySelector(`#devices tbody tr[data-device=\"${arguments[0]}\"]`);"
        "return r ? r.innerText : null;", f"c0/{mac}")


def fresh(action, tries=5):
    """Runs an action on elements found anew, again if the body was rebuilt meanwhile."""
    for attempt in range(tries):
        try:
            return action()
        except StaleElementReferenceException:
            if attempt == tries - 1:
                raise
            time.sleep(0.2)


def in_browser(driver, base, lab, args):
    driver.get(base + "/")
    until(lambda: len(shown(driver)) >= 3, 20)
    listed = set(shown(driver))
    check("the page lists the lab's three live hosts",
          {f"c0/{m}" for m in (LIVE_MAC, "02:1A:2B:00:00:11", "02:1A:2B:00:00:12")} <= listed, listed)
    live_text = row_text(driver, LIVE_MAC) or ""
    check("the live host's vendor and name show as text", FORMULA in live_text and SCRIPT in live_text,
          live_text)
    check("the other hosts' vendor shows as text", IMAGE in (row_text(driver, "02:1A:2B:00:00:11") or ""))
    check("the hostile texts made no element",
          driver.execute_script(
              "return document.querySelectorAll('img[src=\"x\"], tbody script').length") == 0)
    check("a locally administered address is marked",
          driver.execute_script(
              "return document.querySelectorAll("
              "`#devices tbody tr[data-device=\"c0/${arguments[0]}\"] abbr.random`).length", LIVE_MAC) == 1)

    # The watchers themselves: the hook notes a call, and the page's policy
    # refuses an inline script and reports it. Then both start empty.
    driver.execute_script("alert('probe');")
    driver.execute_script(
        "const s = document.createElement('script'); s.textContent = 'window.__ran = 1;';"
        "document.head.appendChild(s);")
    reported = until(lambda: driver.execute_script("return window.__violations.length"), 5)
    check("the alert hook notes a call", driver.execute_script("return window.__calls") == ["alert: probe"])
    check("the page's policy refuses an inline script, and says so",
          reported and not driver.execute_script("return window.__ran === 1"))
    driver.execute_script("window.__calls = []; window.__violations = [];")
    driver.get_log("browser")  # the refusal's console message is ours, not the page's

    # A host that comes up appears by itself.
    driver.execute_script("window.__sameDocument = true;")
    lab.host("m8", True)
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.sendto(b"", ("192.0.2.18", 9))  # the kernel resolves it: the watch hears
    appeared = until(lambda: row_text(driver, LATE_MAC) is not None, 40, 0.5)
    check("a host brought up appears without a reload",
          appeared and driver.execute_script("return window.__sameDocument === true;"))
    counts = driver.find_element(By.ID, "counts").get_attribute("data-total")
    check("the counts follow (4 devices)", counts == "4", counts)

    # Filtering in place.
    q = driver.find_element(By.ID, "q")
    q.send_keys("printer")
    filtered = until(lambda: shown(driver) == ["c0/02:1A:2B:00:00:11"], 10)
    check("typing in the filter leaves the printer's row only", filtered, shown(driver))
    csv_export(driver)
    q.clear()
    q.send_keys(" ")  # clear() alone sends no input event
    q.clear()
    driver.execute_script("arguments[0].dispatchEvent(new Event('input', {bubbles: true}));", q)
    check("clearing the filter shows every row again", until(lambda: len(shown(driver)) == 4, 10))

    # Sorting by a column, both ways.
    def order():
        return shown(driver)

    def sort_by(column):
        def click():
            header = driver.find_element(By.CSS_SELECTOR, f'#devices th[data-sort="{column}"]')
            buttons = header.find_elements(By.TAG_NAME, "button")
            (buttons[0] if buttons else header).click()
        fresh(click)

    sort_by("hardware_address")
    first = until(lambda: order() if order() == sorted(order()) else None, 5)
    sort_by("hardware_address")
    second = until(lambda: order() if order() == sorted(order(), reverse=True) else None, 5)
    check("a header sorts the rows ascending, then descending", first and second, order())
    sort_by("hardware_address")

    messages = console_errors(driver)
    check("no hook was called on the inventory", not driver.execute_script("return window.__calls"),
          driver.execute_script("return window.__calls"))
    check("no CSP violation on the inventory", not driver.execute_script("return window.__violations"),
          driver.execute_script("return window.__violations"))
    check("no error in the console on the inventory", not messages, messages)

    looks(driver, args, "inventory")
    accessible(driver, args.axe, "the inventory")

    # The device view, through the row's link.
    fresh(lambda: driver.find_element(
        By.CSS_SELECTOR, f'#devices tbody tr[data-device="c0/{LIVE_MAC}"] a[href*="/device/"]').click())
    WebDriverWait(driver, 10).until(lambda d: "/device/" in d.current_url)
    body = driver.find_element(By.TAG_NAME, "body").text
    check("the device view names the host's address", "192.0.2.2" in body, body[:300])
    check("and its history: the watch's 'new' event",
          driver.find_elements(By.XPATH, "//table//td[normalize-space()='new']"), body[-300:])
    check("and its name as text", SCRIPT in body)
    check("no hook was called on the device view", not driver.execute_script("return window.__calls"))
    check("no CSP violation on the device view",
          not driver.execute_script("return window.__violations"),
          driver.execute_script("return window.__violations"))
    messages = console_errors(driver)
    check("no error in the console on the device view", not messages, messages)
    looks(driver, args, "device")
    accessible(driver, args.axe, "the device view")


def console_errors(driver):
    return [e["message"] for e in driver.get_log("browser") if e.get("level") == "SEVERE"]


def csv_export(driver):
    href = driver.find_element(By.ID, "export-csv").get_attribute("href")
    check("the CSV link carries the filter", "q=printer" in href, href)
    everything = href.split("?")[0]
    text = fetch(everything)
    table = list(csv.reader(io.StringIO(text)))
    cells = [cell for line in table[1:] for cell in line]
    check("the CSV holds the devices", any(LIVE_MAC in c for c in cells), text[:300])
    dangerous = [c for c in cells if c[:1] in ("=", "+", "-", "@", "\t", "\r")]
    check("no CSV cell starts with a formula character", not dangerous, dangerous)
    check("the formula is there, neutralised", any(c.endswith(FORMULA) and c != FORMULA for c in cells))


def looks(driver, args, name):
    """Light and dark screenshots; the dark one must really be dark."""
    def background():
        return driver.execute_script(
            "return getComputedStyle(document.body).backgroundColor")

    driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": [
        {"name": "prefers-color-scheme", "value": "light"}]})
    light = background()
    driver.save_screenshot(os.path.join(args.artifacts, f"{name}-light.png"))
    driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": [
        {"name": "prefers-color-scheme", "value": "dark"}]})
    dark = background()
    driver.save_screenshot(os.path.join(args.artifacts, f"{name}-dark.png"))
    check(f"the {name} follows prefers-color-scheme ({light} / {dark})",
          light != dark and brightness(dark) < brightness(light))
    accessible(driver, args.axe, f"the {name}, dark")
    driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": [
        {"name": "prefers-color-scheme", "value": "light"}]})


def brightness(css_colour):
    digits = [float(x) for x in css_colour[css_colour.index("(") + 1:-1].split(",")[:3]]
    return sum(digits)


def accessible(driver, axe, where):
    with open(axe) as f:
        driver.execute_script(f.read())
    driver.set_script_timeout(60)
    result = driver.execute_async_script(
        "const done = arguments[arguments.length - 1];"
        "axe.run(document, {resultTypes: ['violations']})"
        ".then(r => done(r.violations.map(v => ({id: v.id, impact: v.impact,"
        " nodes: v.nodes.slice(0, 3).map(n => n.target.join(' '))}))))"
        ".catch(e => done([{id: 'axe failed', impact: 'critical', nodes: [String(e)]}]));")
    bad = [v for v in result if v["impact"] in ("serious", "critical")]
    check(f"axe-core: no serious or critical violation on {where}", not bad, json.dumps(bad))


if __name__ == "__main__":
    try:
        main()
    except SystemExit:
        raise
    except Exception as error:  # a broken page must fail the test, with why
        failures.append(repr(error))
        print(f"FAILED: {error!r}", file=sys.stderr)
    print(f"{len(failures)} failed" if failures else "all browser checks passed")
    sys.exit(1 if failures else 0)
