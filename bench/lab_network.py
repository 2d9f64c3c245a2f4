"""The benchmarks' wide network, built for one run in namespaces of its own
(10.0.0.0/8 and 2001:db8::/32 never leave them): a client namespace whose c0
holds 10.0.0.1/8 and 2001:db8::1/64, and a hosts namespace whose macvlan
interfaces on the veth's other end each hold one address and answer only for
it, from a hardware address of their own. A third namespace can hold
permanent neighbour entries, which the kernel counts in the table that every
namespace shares. Root only.
"""
import ipaddress
import os
import subprocess


def run(*command, check=True, input=None):
    return subprocess.run(list(command), check=check, capture_output=True, text=True, input=input)


def spread_hosts(network, count):
    """`count` host addresses spread evenly over `network` (never its first two)."""
    net = ipaddress.ip_network(network)
    step = (net.num_addresses - 4) // count
    return [str(net.network_address + 2 + i * step + i % 3) for i in range(count)]


class LabNetwork:
    def __init__(self, tag="vkw"):
        tag = f"{tag}{os.getpid()}"
        self.client, self.hosts, self.holder = f"{tag}c", f"{tag}h", f"{tag}r"
        self.host_count = 0

    def __enter__(self):
        try:
            for ns in (self.client, self.hosts):
                run("ip", "netns", "add", ns)
                # IPv6 without duplicate address detection or router
                # solicitations: addresses work at once, nothing else talks.
                for conf in ("all", "default"):
                    self.sysctl(ns, f"net.ipv6.conf.{conf}.accept_dad", 0)
                    self.sysctl(ns, f"net.ipv6.conf.{conf}.router_solicitations", 0)
                run("ip", "-n", ns, "link", "set", "lo", "up")
            run("ip", "-n", self.client, "link", "add", "c0", "type", "veth", "peer", "name", "h0",
                "netns", self.hosts)
            self.batch(self.client, ["link set c0 address 02:00:0a:00:00:01",
                                     "addr add 10.0.0.1/8 dev c0",
                                     "addr add 2001:db8::1/64 dev c0 nodad",
                                     "link set c0 up"])
            run("ip", "-n", self.hosts, "link", "set", "h0", "up")
            # Each host answers only for its own address, from its own
            # hardware address.
            for conf in ("all", "default"):
                self.sysctl(self.hosts, f"net.ipv4.conf.{conf}.arp_ignore", 1)
                self.sysctl(self.hosts, f"net.ipv4.conf.{conf}.arp_announce", 2)
        except BaseException:
            self.__exit__()
            raise
        return self

    def __exit__(self, *_):
        for ns in (self.holder, self.hosts, self.client):
            run("ip", "netns", "del", ns, check=False)

    @staticmethod
    def sysctl(ns, name, value):
        run("ip", "netns", "exec", ns, "sysctl", "-qw", f"{name}={value}")

    @staticmethod
    def batch(ns, commands):
        run("ip", "-n", ns, "-batch", "-", input="\n".join(commands) + "\n")

    def set_hosts(self, addresses):
        """Live hosts at `addresses` (in place of any before), one macvlan each."""
        commands = [f"link del m{i}" for i in range(self.host_count)]
        for i, address in enumerate(addresses):
            six = ":" in address
            commands += [f"link add m{i} link h0 address 02:00:0b:00:{i // 256:02x}:{i % 256:02x} "
                         "type macvlan mode bridge",
                         f"addr add {address}/{64 if six else 8} dev m{i}" + (" nodad" if six else ""),
                         f"link set m{i} up"]
        self.batch(self.hosts, commands)
        self.host_count = len(addresses)

    def hold_entries(self, count):
        run("ip", "netns", "add", self.holder)
        self.batch(self.holder, ["link add r0 type veth peer name r1", "link set r0 up",
                                 "addr add 172.16.0.1/16 dev r0"] +
                   [f"neigh add 172.16.{i // 200}.{i % 200 + 2} lladdr 02:20:00:00:{i // 256:02x}:"
                    f"{i % 256:02x} dev r0 nud permanent" for i in range(count)])

    def release_entries(self):
        run("ip", "netns", "del", self.holder, check=False)

    def in_client(self, *command):
        return ["ip", "netns", "exec", self.client, *command]

    def in_hosts(self, *command):
        return ["ip", "netns", "exec", self.hosts, *command]

    def flush(self):
        """A cold table for the next run: the client's entries and those the
        hosts made for it, and the multicast ones (NOARP) that each IPv6
        solicitation makes for its solicited-node group, which `ip neigh
        flush` leaves and which would linger a minute into the next run."""
        for ns in (self.client, self.hosts):
            run("ip", "-n", ns, "neigh", "flush", "all")
            run("ip", "-n", ns, "-6", "neigh", "flush", "all")
            groups = [line.split()[:3] for line in
                      run("ip", "-n", ns, "-6", "neigh", "show", "nud", "noarp").stdout.splitlines()
                      if line.startswith("ff02::1:ff")]
            if groups:
                self.batch(ns, [f"neigh del {address} dev {device}"
                                for address, _, device in groups])
