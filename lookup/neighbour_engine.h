#pragma once

// The lookup every front end uses: the window's Get (through ArpRequest),
// a single varnock-cli lookup, a sweep of a whole network and the watch's
// periodic sweep. One engine serves a process: it owns the sockets, the
// waits and the clock, and answers any number of lookups at once.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lookup/arp_status.h"
#include "lookup/ip_address.h"
#include "lookup/neighbour_entry.h"
#include "lookup/neighbour_observer.h"

namespace varnock {

// How an answer was known, for front ends that tell the user.
struct AnswerProvenance {
    // The host or the system confirmed the address lately; false for an
    // address the system holds but has not heard from lately.
    bool confirmed = true;
    std::string state;  // the system's word for its entry: "reachable", "stale", ...
    // How long ago the system last heard the host, when it says.
    std::optional<std::chrono::seconds> sinceConfirmed;
};

struct NeighbourQuery {
    IpAddress address;
    // Look up only through this interface: the route must leave through it.
    // 0: wherever the route leads (a link-local address's scope decides).
    std::uint32_t interfaceIndex = 0;
    // Caps the wait for an answer; without it the system's own schedule.
    std::optional<std::chrono::milliseconds> maxWait;
    // The source address to send from (IPv4 only; 0: the system's choice).
    Ipv4Address source = 0;
};

struct NeighbourAnswer {
    std::uint32_t status = arp_status::kNoAnswer;  // arp_status::kOk: answered
    // When answered; for arp_status::kNotConfirmed, the address the system
    // last knew, which nobody confirmed in time.
    std::vector<std::uint8_t> hardwareAddress;
    std::uint32_t interfaceIndex = 0;            // the interface asked, when known
    std::optional<AnswerProvenance> provenance;  // answers from the table as it stands,
                                                 // and the unconfirmed address
    // arp_status::kSystemError: why the system could not be asked;
    // arp_status::kInterfaceWouldNotSend: the interface's refusal (strerror).
    std::string systemError;
    // An IPv4 answer whose hardware address already answered for another
    // IPv4 address on the same interface in this engine's life: that address.
    // One machine answering for several addresses is proxy ARP (a router or a
    // firewall answering for hosts behind it), not proof of the host. The raw
    // method tells this; the kernel's method cannot.
    std::optional<IpAddress> alsoAnswersFor;
};

enum class ResolverMode {
    kLive,    // only answers the host or the system confirmed for this lookup
    kCached,  // what the table holds, sending nothing; answers carry provenance
};

// Answers arrive only from within Run, on Run's thread: never from Submit,
// Cancel or Observe, and never on another thread. An engine is used from one
// thread.
class NeighbourEngine {
public:
    using Clock = std::chrono::steady_clock;
    using Ticket = std::uint64_t;
    // Hears the final answer of one lookup. It may submit and cancel
    // lookups; it must not call Run.
    using Finished = std::function<void(Ticket ticket, NeighbourAnswer&& answer)>;

    virtual ~NeighbourEngine() = default;

    // Starts looking `query` up and returns its ticket. `finished` hears its
    // answer exactly once, from within Run, unless the lookup is cancelled
    // first; a lookup decided at once (a refusal, an entry the table holds)
    // is delivered by the next Run too. A lookup that cannot be made (no
    // descriptor, no memory, the kernel not answering) is answered with
    // arp_status::kSystemError and the reason, never as "no answer"; Submit
    // itself throws only std::bad_alloc.
    //
    // What may block: the kernel's method (Linux) asks the route, the table
    // and, at most every 10 s, the interface addresses synchronously over
    // rtnetlink, and sends its datagram, before it returns; the kernel
    // answers each within the request (microseconds), and each is bounded
    // at 2 s for a kernel that does not. The raw method asks nothing in
    // Submit (its routes are asked within Run), and the threaded engine
    // (Windows) only queues the lookup.
    virtual Ticket Submit(const NeighbourQuery& query, Finished finished) = 0;

    // Ends the lookup at once: nothing more is sent for it and its answer is
    // never delivered. A ticket already answered or unknown is ignored.
    // Never blocks.
    virtual void Cancel(Ticket ticket) = 0;

    // Waits for answers and delivers them until no lookup is in flight or
    // `until` has passed, whichever comes first (while observed, see
    // Observe). It asks the kernel within the same 2 s bounds as Submit.
    // Throws std::system_error when the wait or the subscription fails, or
    // when an observed table cannot be read after a loss; a lookup's own failures
    // are answers, never throws. The lookups stay in flight after a throw.
    virtual void Run(Clock::time_point until) = 0;

    // Lookups submitted and not yet delivered nor cancelled.
    virtual std::size_t InFlight() const = 0;

    // Tells `observer` of every change of the table on `interfaceIndex`'s
    // interface (0: every interface that resolves neighbours) from within Run
    // and on Run's thread, and returns the observed table as it stands. While
    // observed, Run waits until its `until` even with no lookup in flight,
    // and returns early when the observer's StopRunning says so (asked after
    // each change or loss it tells, when a signal interrupts its wait, and
    // where the engine reads the table over and over, after each reading).
    // One observer at a time, for the engine's life; the observer must
    // outlive the engine's last Run. Nothing where the engine cannot tell
    // changes. Reads the whole table before it returns (up to 5 s on Linux);
    // throws std::system_error when that fails.
    virtual std::optional<std::vector<NeighbourEntry>> Observe(NeighbourObserver& /*observer*/,
                                                               std::uint32_t /*interfaceIndex*/) {
        return std::nullopt;
    }
};

// The engine of the platform the program was built for. Throws
// std::system_error when the system cannot be asked at all (no socket).
std::unique_ptr<NeighbourEngine> MakeSystemNeighbourEngine(ResolverMode mode);

// Submits `query` and runs `engine` until it is answered: for front ends that
// ask one address at a time.
NeighbourAnswer ResolveNow(NeighbourEngine& engine, const NeighbourQuery& query);

// The system's interfaces by name and index; nothing for an unknown one.
std::optional<std::uint32_t> InterfaceIndexNamed(const std::string& name);
std::string InterfaceNameOf(std::uint32_t index);

// A network directly attached to an interface that resolves neighbours and
// can send: what "every host of the local networks" means.
struct AttachedNetwork {
    std::uint32_t interfaceIndex = 0;
    Ipv4Address address = 0;  // the interface's own address on it
    std::uint8_t prefixLength = 0;
};
// The IPv4 networks of such interfaces (only `interfaceIndex`'s, when not 0).
// Throws std::system_error when the system cannot tell them whole.
std::vector<AttachedNetwork> AttachedIpv4Networks(std::uint32_t interfaceIndex = 0);

// How many more neighbour entries of a family the system's table takes
// before the kernel starts evicting other entries to make room (on Linux:
// what is left below gc_thresh2, less a reserve for the machine's own
// traffic, the count being the machine's over every namespace). Each call
// reads the table afresh, and the gauge learns from the kernel's own
// counters over its calls what the count cannot show (entries of other
// namespaces that the kernel never collects); a table full of such entries
// gets room for one lookup at a time, never none for ever. Nothing where
// the system has no such limit to heed or it cannot be read.
using NeighbourTableGauge = std::function<std::optional<std::size_t>(IpAddress::Family)>;
NeighbourTableGauge MakeNeighbourTableGauge();

}  // namespace varnock
