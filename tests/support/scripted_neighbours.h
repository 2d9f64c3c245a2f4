#pragma once

// The one stand-in for the system's neighbours in every test, as the
// window's ARP request and as the console's resolver: it answers as the
// test scripts it (per address, after a delay, or by throwing), or passes
// the call on to a real request; it records every call, can hold an answer
// back until the test lets it go, and hands out resolvers and engines for
// code that makes its own, all answered and recorded here.

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifdef _WIN32
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format on
#else
#include <arpa/inet.h>
#endif

#include "lookup/arp_request.h"
#include "lookup/neighbour_resolver.h"
#include "lookup/threaded_neighbour_engine.h"

namespace varnock::testing {

class ScriptedNeighbours final : public ArpRequest, public NeighbourResolver {
public:
    using Clock = std::chrono::steady_clock;

    ScriptedNeighbours() { calls_.reserve(256); }

    struct Reply {
        std::uint32_t status = arp_status::kNoAnswer;
        // Written to the answer buffer, never past the length the caller
        // announced (the buffer may be no larger).
        std::vector<std::uint8_t> bytes;
        // The length reported back; the number of bytes when not set.
        std::optional<std::uint32_t> length;
        std::chrono::milliseconds delay{0};
        // Runs before anything else; may throw, as a request that cannot get
        // a socket does.
        std::function<void()> before;
    };

    struct Call {
        Ipv4Address destination = 0;  // an IPv4 address, as the window asks
        Ipv4Address source = 0;
        std::uint32_t requestedLength = 0;
        std::optional<std::uint32_t> status;  // nothing when the call threw
        Clock::time_point start;
        IpAddress address;                 // either family, as a resolver is asked
        std::uint32_t interfaceIndex = 0;  // a resolver's query only
        std::optional<std::chrono::milliseconds> maxWait;
    };

    // --- Set before use.
    Reply reply;                           // for any address not in `replies`
    std::map<std::string, Reply> replies;  // by dotted address, "192.0.2.2"
    std::unique_ptr<ArpRequest> passTo;    // when set, answers in place of the script
    std::function<void()> after;           // runs after each call, on every path

    // --- Read during or after use.
    std::vector<Call> Calls() const {
        const std::lock_guard lock(mutex_);
        return calls_;
    }
    std::size_t CallCount() const { return Calls().size(); }
    int MostInFlight() const {
        const std::lock_guard lock(mutex_);
        return mostInFlight_;
    }
    // How many resolvers MakeResolver handed out.
    int ResolversMade() const {
        const std::lock_guard lock(mutex_);
        return resolversMade_;
    }
    bool Holding() const {
        const std::lock_guard lock(mutex_);
        return holding_;
    }

    // Holds back the answer to the next call (only that one) until Release,
    // or for five seconds, so that a faulty caller fails its test rather
    // than hanging it.
    void Hold() {
        const std::lock_guard lock(mutex_);
        heldCall_ = calls_.size() + 1;
    }
    void Release() {
        {
            const std::lock_guard lock(mutex_);
            heldCall_ = 0;
        }
        released_.notify_all();
    }

    // A resolver of its own for code that makes one per worker; its queries
    // are answered and recorded here.
    std::unique_ptr<NeighbourResolver> MakeResolver() {
        {
            const std::lock_guard lock(mutex_);
            ++resolversMade_;
        }
        return std::make_unique<Forwarder>(*this);
    }

    // An engine whose lookups are answered and recorded here, as many at
    // once as the code under test submits (up to `mostAtOnce`).
    std::unique_ptr<NeighbourEngine> MakeEngine(std::size_t mostAtOnce = 256) {
        return std::make_unique<ThreadedNeighbourEngine>([this] { return MakeResolver(); },
                                                         mostAtOnce);
    }

    NeighbourAnswer Resolve(const NeighbourQuery& query) override {
        Call call;
        call.destination = query.address.IsV6() ? 0 : query.address.V4Value();
        call.source = query.source;
        call.address = query.address;
        call.interfaceIndex = query.interfaceIndex;
        call.maxWait = query.maxWait;
        NeighbourAnswer answer;
        answer.interfaceIndex = query.interfaceIndex;
        Answer(call, [&](const Reply& scripted) {
            if (passTo) {
                std::array<std::uint8_t, 8> buffer{};
                std::uint32_t length = 6;
                answer.status = passTo->Send(call.destination, call.source, buffer.data(), length);
                answer.hardwareAddress.assign(buffer.begin(),
                                              buffer.begin() + std::min<std::size_t>(length, 8));
            } else {
                answer.status = scripted.status;
                answer.hardwareAddress = scripted.bytes;
            }
            return answer.status;
        });
        return answer;
    }

    std::uint32_t Send(Ipv4Address destination, Ipv4Address source, void* answer,
                       std::uint32_t& answerLength) override {
        Call call;
        call.destination = destination;
        call.source = source;
        call.requestedLength = answerLength;
        call.address = IpAddress::V4(destination);
        return Answer(call, [&](const Reply& scripted) {
            if (passTo) {
                return passTo->Send(destination, source, answer, answerLength);
            }
            if (!scripted.bytes.empty()) {
                std::memcpy(answer, scripted.bytes.data(),
                            std::min<std::size_t>(scripted.bytes.size(), answerLength));
            }
            answerLength =
                scripted.length.value_or(static_cast<std::uint32_t>(scripted.bytes.size()));
            return scripted.status;
        });
    }

private:
    struct Forwarder final : NeighbourResolver {
        explicit Forwarder(ScriptedNeighbours& owner) : script(owner) {}
        NeighbourAnswer Resolve(const NeighbourQuery& query) override {
            return script.Resolve(query);
        }
        ScriptedNeighbours& script;
    };

    // Records `call`, finds its reply, holds it when asked to, then lets
    // `respond` answer (the reply's `before` first, after its delay) and
    // records the status it gave.
    template <typename Respond>
    std::uint32_t Answer(Call call, Respond respond) {
        // No allocation on this path but the record's own, and none of that
        // for the first calls: tests count the allocations of what they call.
        const Reply* scripted = &reply;
        std::size_t index = 0;
        {
            std::unique_lock lock(mutex_);
            index = calls_.size();
            call.start = Clock::now();
            calls_.push_back(call);
            mostInFlight_ = std::max(mostInFlight_, ++inFlight_);
            if (!replies.empty()) {
                if (const auto found = replies.find(Text(call.address)); found != replies.end()) {
                    scripted = &found->second;
                }
            }
            if (heldCall_ == index + 1) {
                holding_ = true;
                released_.wait_for(lock, std::chrono::seconds(5),
                                   [&] { return heldCall_ != index + 1; });
                holding_ = false;
            }
        }
        struct Finish {
            ScriptedNeighbours& self;
            ~Finish() {
                {
                    const std::lock_guard lock(self.mutex_);
                    --self.inFlight_;
                }
                if (self.after) {
                    self.after();
                }
            }
        } finish{*this};

        if (scripted->before) {
            scripted->before();
        }
        std::this_thread::sleep_for(scripted->delay);
        const std::uint32_t status = respond(*scripted);
        const std::lock_guard lock(mutex_);
        calls_[index].status = status;
        return status;
    }

    // The key of `replies` an address answers to: "a.b.c.d", or for IPv6
    // the key that names the same address, however it is written.
    std::string Text(const IpAddress& address) const {
        if (!address.IsV6()) {
            return Dotted(address.V4Value());
        }
        for (const auto& [key, scriptedReply] : replies) {
            if (key.find(':') != std::string::npos && SameV6(key, address)) {
                return key;
            }
        }
        return {};
    }
    static bool SameV6(const std::string& text, const IpAddress& address);

    // Network order in, "a.b.c.d" out.
    static std::string Dotted(Ipv4Address address) {
        unsigned char bytes[4];
        std::memcpy(bytes, &address, sizeof bytes);
        return std::to_string(bytes[0]) + '.' + std::to_string(bytes[1]) + '.' +
               std::to_string(bytes[2]) + '.' + std::to_string(bytes[3]);
    }

    mutable std::mutex mutex_;
    std::condition_variable released_;
    std::vector<Call> calls_;
    int resolversMade_ = 0;
    std::size_t heldCall_ = 0;
    bool holding_ = false;
    int inFlight_ = 0;
    int mostInFlight_ = 0;
};

inline ScriptedNeighbours::Reply Answer(std::vector<std::uint8_t> bytes,
                                        std::chrono::milliseconds delay = {}) {
    return {arp_status::kOk, std::move(bytes), std::nullopt, delay, {}};
}
inline ScriptedNeighbours::Reply Fails(std::uint32_t status, std::chrono::milliseconds delay = {}) {
    return {status, {}, std::nullopt, delay, {}};
}

// Whether `text` ("2001:db8::2") is `address`; inet_pton does the reading.
inline bool ScriptedNeighbours::SameV6(const std::string& text, const IpAddress& address) {
    std::array<std::uint8_t, 16> bytes{};
    return ::inet_pton(AF_INET6, text.c_str(), bytes.data()) == 1 && bytes == address.bytes;
}

}  // namespace varnock::testing

#ifdef __linux__
#include <libmnl/libmnl.h>
#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstddef>
#include <deque>
#include <stdexcept>

#include "lookup/linux/neighbour_table_questions.h"
#include "lookup/linux/notification_source.h"
#include "lookup/linux/probe_socket.h"
#include "lookup/linux/route_step.h"
#include "lookup/linux/unique_fd.h"

namespace varnock::testing {

// The kernel's neighbour notifications as the test scripts them: datagrams
// and losses, handed out in order, then nothing. Its descriptor (an
// eventfd, no socket) polls readable while anything is queued, as the
// subscription's does.
class ScriptedNotifications final : public linux_backend::NotificationSource {
public:
    ScriptedNotifications() : ready_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (!ready_) {
            throw std::runtime_error("eventfd");
        }
    }

    // One RTM_NEWNEIGH (or RTM_NEWLINK / RTM_DELLINK) message as the kernel
    // lays it out.
    static std::vector<std::byte> Neighbour(std::uint32_t interfaceIndex, Ipv4Address address,
                                            std::uint16_t state,
                                            std::vector<std::uint8_t> hardwareAddress = {}) {
        std::vector<std::byte> bytes(512);
        nlmsghdr* message = mnl_nlmsg_put_header(bytes.data());
        message->nlmsg_type = RTM_NEWNEIGH;
        auto* entry = static_cast<ndmsg*>(mnl_nlmsg_put_extra_header(message, sizeof(ndmsg)));
        entry->ndm_family = AF_INET;
        entry->ndm_ifindex = static_cast<int>(interfaceIndex);
        entry->ndm_state = state;
        mnl_attr_put(message, NDA_DST, sizeof address, &address);
        if (!hardwareAddress.empty()) {
            mnl_attr_put(message, NDA_LLADDR, hardwareAddress.size(), hardwareAddress.data());
        }
        bytes.resize(message->nlmsg_len);
        return bytes;
    }
    static std::vector<std::byte> Link(std::uint16_t type, std::uint32_t interfaceIndex) {
        std::vector<std::byte> bytes(512);
        nlmsghdr* message = mnl_nlmsg_put_header(bytes.data());
        message->nlmsg_type = type;
        auto* link =
            static_cast<ifinfomsg*>(mnl_nlmsg_put_extra_header(message, sizeof(ifinfomsg)));
        link->ifi_index = static_cast<int>(interfaceIndex);
        bytes.resize(message->nlmsg_len);
        return bytes;
    }

    void Queue(std::vector<std::byte> datagram) {
        queued_.push_back({std::move(datagram), false});
        Signal();
    }
    void QueueLoss() {
        queued_.push_back({{}, true});
        Signal();
    }
    std::size_t Queued() const { return queued_.size(); }

    linux_backend::NotificationBatch ReceiveNotifications() override {
        if (queued_.empty()) {
            return {};
        }
        current_ = std::move(queued_.front());
        queued_.pop_front();
        if (queued_.empty()) {
            std::uint64_t count = 0;
            [[maybe_unused]] const auto drained = ::read(ready_.Get(), &count, sizeof count);
        }
        return {{current_.bytes.data(), current_.bytes.size()}, current_.lost};
    }
    int Fd() const override { return ready_.Get(); }

private:
    void Signal() {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(ready_.Get(), &one, sizeof one);
    }

    linux_backend::UniqueFd ready_;
    struct Batch {
        std::vector<std::byte> bytes;
        bool lost = false;
    };
    std::deque<Batch> queued_;
    Batch current_;
};

// The kernel's routes, addresses and interfaces as the test scripts them,
// with every route question recorded.
class ScriptedRoutes final : public linux_backend::RouteQuestions {
public:
    struct RouteAsked {
        IpAddress destination;
        Ipv4Address source = 0;
        linux_backend::Flow flow;
    };

    // --- Set before use.
    std::optional<rtnl::Route> route;  // the answer to every route question
    std::map<IpAddress::Family, std::vector<rtnl::InterfaceAddress>> addresses;
    std::map<std::uint32_t, linux_backend::InterfaceFacts> interfaces;
    std::map<std::uint32_t, std::vector<std::uint8_t>> hardware;

    // A client with `client`/24 on interface `lan` (up, using ARP), every
    // route leading there.
    static std::unique_ptr<ScriptedRoutes> OnLan(std::uint32_t lan, Ipv4Address client) {
        auto routes = std::make_unique<ScriptedRoutes>();
        routes->route = rtnl::Route{RTN_UNICAST, lan, false};
        rtnl::InterfaceAddress own;
        own.interfaceIndex = lan;
        own.local = IpAddress::V4(client);
        own.prefixLength = 24;
        routes->addresses[IpAddress::Family::kV4] = {own};
        routes->interfaces[lan] = {"lan", true, true};
        return routes;
    }

    // --- Read after use.
    std::vector<RouteAsked> routesAsked;

    std::optional<rtnl::Route> Route(const IpAddress& destination, Ipv4Address source,
                                     const linux_backend::Flow& flow) override {
        routesAsked.push_back({destination, source, flow});
        return route;
    }
    const std::vector<rtnl::InterfaceAddress>& Addresses(IpAddress::Family family) override {
        return addresses[family];
    }
    std::optional<linux_backend::InterfaceFacts> Interface(std::uint32_t index) override {
        const auto found = interfaces.find(index);
        return found == interfaces.end() ? std::nullopt : std::optional(found->second);
    }
    std::optional<std::vector<std::uint8_t>> HardwareAddress(std::uint32_t index) override {
        const auto found = hardware.find(index);
        return found == hardware.end() ? std::nullopt : std::optional(found->second);
    }
};

// The neighbour table as the test scripts it, with what was asked of it
// counted.
class ScriptedTable final : public linux_backend::NeighbourTableQuestions {
public:
    // --- Set before use, and changed between an engine's steps.
    std::vector<rtnl::Neighbour> entries;

    // --- Read after use.
    int entriesAsked = 0;
    int wholeAsked = 0;

    std::optional<rtnl::Neighbour> Entry(const IpAddress& destination,
                                         std::uint32_t interfaceIndex) override {
        ++entriesAsked;
        for (const auto& entry : entries) {
            if (entry.interfaceIndex == interfaceIndex &&
                entry.destination.SameAddress(destination)) {
                return entry;
            }
        }
        return std::nullopt;
    }
    std::vector<rtnl::Neighbour> Whole() override {
        ++wholeAsked;
        return entries;
    }
};

// The kernel's method's datagram sockets as the test scripts them: every
// send is recorded and answered with `sendResult`, the refusals queued are
// handed out at the next reading, and nothing is ever sent.
class ScriptedProbes {
public:
    struct Sent {
        IpAddress destination;
        std::uint32_t boundInterface = 0;  // the probe's, as made
    };

    // --- Set before use.
    int sendResult = 0;  // the errno of every send; 0: it went out
    // Handed out at the next reading of any probe, then gone.
    std::vector<linux_backend::ProbeSocket::Refusal> refusals;

    // --- Read after use.
    std::vector<Sent> sent;

    // Makes probes that answer and record here; they must not outlive this.
    linux_backend::ProbeMaker Maker() {
        return [this](IpAddress::Family, std::uint32_t interfaceIndex, Ipv4Address) {
            return std::make_unique<Probe>(*this, interfaceIndex);
        };
    }

private:
    class Probe final : public linux_backend::ProbeSocket {
    public:
        Probe(ScriptedProbes& script, std::uint32_t interfaceIndex)
            : script_(script), flow_{interfaceIndex, 0} {}
        const linux_backend::Flow& FlowOf() const override { return flow_; }
        int Send(const IpAddress& destination) override {
            script_.sent.push_back({destination, flow_.boundInterface});
            return script_.sendResult;
        }
        std::vector<Refusal> TakeRefusals() override { return std::exchange(script_.refusals, {}); }
        int Fd() const override { return -1; }  // read when a lookup's wait ends

    private:
        ScriptedProbes& script_;
        linux_backend::Flow flow_;
    };
};

}  // namespace varnock::testing
#endif
