#include "lookup/linux/neighbour_arp_request.h"

#include "lookup/linux/table_answers.h"

namespace varnock::linux_backend {

std::uint32_t NeighbourArpRequest::Send(Ipv4Address destination, Ipv4Address source, void* answer,
                                        std::uint32_t& answerLength) {
    if (answer == nullptr) {
        return arp_status::kInvalidParameter;
    }
    NeighbourQuery query;
    query.address = IpAddress::V4(destination);
    query.maxWait = maxWait_;
    query.source = source;
    const NeighbourAnswer found = resolver_.Resolve(query);
    if (found.status != arp_status::kOk) {
        return found.status;
    }
    return CopyAnswer(found.hardwareAddress, answer, answerLength);
}

}  // namespace varnock::linux_backend

namespace varnock {

std::unique_ptr<ArpRequest> MakeSystemArpRequest(std::optional<std::chrono::milliseconds> maxWait) {
    auto request = std::make_unique<linux_backend::NeighbourArpRequest>();
    if (maxWait) {
        request->LimitWait(*maxWait);
    }
    return request;
}

}  // namespace varnock
