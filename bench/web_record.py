#!/usr/bin/env python3
"""Writes a watch record (the watch's --state format) of N devices, one address each.

  web_record.py FILE [N]      (N defaults to 10000, the watch's cap)

The addresses are text in a file, never looked up: the documentation ranges
(192.0.2.0/24, 198.51.100.0/24, 203.0.113.0/24), then 2001:db8::/64. One in
ten is stopped, one in four has a locally administered hardware address, and
the times spread over the last thirty days.
"""
import ipaddress
import json
import sys
from datetime import datetime, timedelta, timezone


def addresses():
    for network in ("192.0.2.0/24", "198.51.100.0/24", "203.0.113.0/24"):
        for address in ipaddress.ip_network(network).hosts():
            yield str(address)
    for address in ipaddress.ip_network("2001:db8::/64").hosts():
        yield str(address)


def utc(time):
    return time.strftime("%Y-%m-%dT%H:%M:%SZ")


def record(count):
    now = datetime(2026, 12, 8, 12, 0, 0, tzinfo=timezone.utc)
    neighbours = []
    for i, address in zip(range(count), addresses()):
        first_octet = 0x02 if i % 4 == 0 else 0x00
        hardware = [first_octet, 0x1A, 0x2B, (i >> 16) & 0xFF, (i >> 8) & 0xFF, i & 0xFF]
        first = now - timedelta(minutes=(i * 37) % (30 * 24 * 60))
        last = first + (now - first) * ((i % 7) / 6)
        neighbours.append({
            "address": address,
            "interface": "eth0" if i % 3 else "eth1",
            "hardware_address": ":".join(f"{b:02X}" for b in hardware),
            "first_seen": utc(first),
            "last_seen": utc(last),
            "answering": i % 10 != 0,
        })
    return {"version": 1, "neighbours": neighbours}


def main():
    path = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 10000
    with open(path, "w") as f:
        json.dump(record(count), f, indent=1)
        f.write("\n")


if __name__ == "__main__":
    main()
