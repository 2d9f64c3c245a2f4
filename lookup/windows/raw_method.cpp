// Windows has no raw method: SendARP is its only way to ask.

#include "lookup/raw_method.h"

namespace varnock {

bool RawMethodExists() {
    return false;
}

std::unique_ptr<NeighbourEngine> OpenRawNeighbourEngine(const RawMethodSettings&) {
    return nullptr;
}

void DropPrivileges() {}

}  // namespace varnock
