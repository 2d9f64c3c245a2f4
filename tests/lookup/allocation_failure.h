#pragma once

namespace varnock::testing {

// While an instance lives, the process's allocations fail (operator new
// throws std::bad_alloc) once `allowed` more of them have succeeded: the
// way to see what code does when memory runs out at a given step.
class AllocationFailure {
public:
    explicit AllocationFailure(int allowed = 0);
    ~AllocationFailure();
    AllocationFailure(const AllocationFailure&) = delete;
    AllocationFailure& operator=(const AllocationFailure&) = delete;

    // How many allocations were refused while armed.
    static int Refused();
};

}  // namespace varnock::testing
