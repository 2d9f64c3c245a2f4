#!/usr/bin/python3
"""The Prometheus lab test's helpers (lab_prometheus_test.sh), on loopback only.

  prometheus_lab.py receive ADDRESS PORT FILE   a webhook receiver: appends each POST's body
                                                to FILE, one line each
  prometheus_lab.py alerts FILE                 the alerts FILE received, one a line:
                                                "firing KnownDeviceDown instance=... name=..."
  prometheus_lab.py query URL PROMQL            an instant query's results, one a line:
                                                "instance=... interface=... VALUE"
  prometheus_lab.py configure KIND EXAMPLE KEY=VALUE...
                                                the example configuration (packaging/prometheus)
                                                with what a test must change, as YAML on stdout
"""
import http.server
import json
import sys
import urllib.parse
import urllib.request

import yaml


def receive(address, port, path):
    class Receiver(http.server.BaseHTTPRequestHandler):
        def do_POST(self):
            body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
            with open(path, "ab") as received:
                received.write(body.replace(b"\n", b" ") + b"\n")
            self.send_response(200)
            self.end_headers()

        def log_message(self, *_):
            pass

    http.server.HTTPServer((address, int(port)), Receiver).serve_forever()


def labels_text(labels):
    return " ".join(f"{key}={labels[key]}" for key in sorted(labels) if key != "__name__")


def alerts(path):
    try:
        lines = open(path, encoding="utf-8").read().splitlines()
    except FileNotFoundError:
        return
    for line in lines:
        for alert in json.loads(line)["alerts"]:
            labels = dict(alert["labels"])
            name = labels.pop("alertname")
            print(alert["status"], name, labels_text(labels))


def query(url, promql):
    address = url + "/api/v1/query?" + urllib.parse.urlencode({"query": promql})
    with urllib.request.urlopen(address, timeout=5) as response:
        answer = json.load(response)
    for result in answer["data"]["result"]:
        print(labels_text(result["metric"]), result["value"][1])


def configure(kind, example, settings):
    config = yaml.safe_load(open(example, encoding="utf-8"))
    values = dict(setting.split("=", 1) for setting in settings)
    if kind == "prometheus":
        config["global"].update(scrape_interval=values["interval"],
                                scrape_timeout=values["interval"],
                                evaluation_interval=values["interval"])
        config["rule_files"] = [values["rules"]]
        config["alerting"]["alertmanagers"][0]["static_configs"][0]["targets"] = [
            values["alertmanager"]]
        config["scrape_configs"][0]["static_configs"][0]["targets"] = values["targets"].split(",")
    elif kind == "alertmanager":
        config["route"].update(group_wait=values["wait"], group_interval=values["wait"])
        config["receivers"][0]["webhook_configs"][0]["url"] = values["webhook"]
    else:
        sys.exit(f"unknown kind {kind}")
    yaml.safe_dump(config, sys.stdout, sort_keys=False)


if __name__ == "__main__":
    command, arguments = sys.argv[1], sys.argv[2:]
    if command == "receive":
        receive(*arguments)
    elif command == "alerts":
        alerts(*arguments)
    elif command == "query":
        query(*arguments)
    elif command == "configure":
        configure(arguments[0], arguments[1], arguments[2:])
    else:
        sys.exit(__doc__)
