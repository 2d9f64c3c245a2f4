#include "lookup/linux/neighbour_table_questions.h"

#include <chrono>

#include "lookup/linux/kernel_queries.h"
#include "lookup/linux/kernel_timing.h"

namespace varnock::linux_backend {

std::optional<rtnl::Neighbour> KernelNeighbourTable::Entry(const IpAddress& destination,
                                                           std::uint32_t interfaceIndex) {
    requests_.SetDeadline(std::chrono::steady_clock::now() + kKernelAnswer);
    return QueryNeighbour(requests_, destination, interfaceIndex);
}

std::vector<rtnl::Neighbour> KernelNeighbourTable::Whole() {
    requests_.SetDeadline(std::chrono::steady_clock::now() + kTableDeadline);
    return QueryNeighbours(requests_);
}

}  // namespace varnock::linux_backend
