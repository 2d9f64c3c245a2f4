#include "tests/lookup/allocation_failure.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> armed{false};
std::atomic<int> remaining{0};
std::atomic<int> refused{0};

void* Allocate(std::size_t size) {
    if (armed.load() && remaining.fetch_sub(1) <= 0) {
        refused.fetch_add(1);
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace varnock::testing {

AllocationFailure::AllocationFailure(int allowed) {
    refused = 0;
    remaining = allowed;
    armed = true;
}

AllocationFailure::~AllocationFailure() {
    armed = false;
}

int AllocationFailure::Refused() {
    return refused.load();
}

}  // namespace varnock::testing
