#pragma once

#include <cstdint>
#include <exception>

namespace zk::core::detail {

// Runs body(i) for i = 0 .. count - 1 on an OpenMP team of `threads` with a static schedule. An
// exception leaving an OpenMP region would terminate the process, so the first one a worker throws
// (an allocation failure inside a decomposition, say) is kept and rethrown on the calling thread once
// the team has joined; the remaining iterations still run.
template <typename Body>
void parallelFor(std::int64_t count, int threads, Body&& body) {
    std::exception_ptr failure;
#pragma omp parallel for num_threads(threads) schedule(static)
    for (std::int64_t i = 0; i < count; ++i) {
        try {
            body(i);
        } catch (...) {
#pragma omp critical(zk_parallel_for_failure)
            if (!failure) {
                failure = std::current_exception();
            }
        }
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

}  // namespace zk::core::detail
