// Allocation failures at every point of the operations that change the
// history: the records, their cached file lines and the file stay one.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "engine/core/history_file.h"
#include "engine/tests/engine_fixture.h"

namespace {

// Allocations left before the next one fails; negative: none fails.
std::atomic<long> g_allocationsLeft{-1};

} // namespace

void* operator new(std::size_t size) {
    long left = g_allocationsLeft.load();
    while (left >= 0 && !g_allocationsLeft.compare_exchange_weak(left, left - 1)) {
    }
    if (left == 0) {
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

// Every form, so that no allocation is made by one allocator and freed by
// another.
void* operator new[](std::size_t size) {
    return operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

void operator delete[](void* p) noexcept {
    std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace qlx::engine::testing {
namespace {

using EngineAllocation = EngineTest;

TEST_F(EngineAllocation, FailuresLeaveTheHistoryAndItsFileConsistent) {
    Init();
    for (int i = 0; i < 3; ++i) {
        BlockOutcome o;
        engine_->Block("T", "http://a.b/", "http://p.q/" + std::to_string(i), "x.exe", {}, o);
    }
    const std::vector<std::function<void()>> operations = {
        [&] {
            BlockOutcome o;
            engine_->Block("Title\twith a tab", "http://a.b/c", "http://p.q/1", "x.exe", {}, o);
        },
        [&] {
            BlockOutcome o;
            engine_->Block("T", "http://a.b/c", "http://p.q/9", "x.exe", {}, o); // let open
        },
        [&] {
            BlockOutcome o;
            engine_->Block2("http://a.b", "y.exe", {}, o);
        },
        [&] {
            engine_->DeleteFromHistory({1, 0});
        },
        [&] { engine_->SaveParams(); },
    };
    for (size_t op = 0; op < operations.size(); ++op) {
        for (long failAt = 0;; ++failAt) {
            g_allocationsLeft = failAt;
            bool failed = false;
            try {
                operations[op]();
            } catch (const std::bad_alloc&) {
                failed = true;
            }
            g_allocationsLeft = -1;
            // Whatever the history holds now is what the next write puts in
            // its file, line for line.
            ASSERT_EQ(engine_->SaveParams(), Status::Ok);
            ASSERT_EQ(folder_.Read("\\history.log"), FormatHistoryFile(engine_->history()))
                << "operation " << op << ", allocation " << failAt;
            if (!failed) {
                break;
            }
        }
    }
}

} // namespace
} // namespace qlx::engine::testing
