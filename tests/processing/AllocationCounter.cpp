#include "AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> g_bCounting{false};
std::atomic<std::int64_t> g_nCount{0};
std::atomic<std::int64_t> g_nFailCountdown{-1};

void* Allocate(std::size_t size) {
    if (g_bCounting.load(std::memory_order_relaxed)) {
        g_nCount.fetch_add(1, std::memory_order_relaxed);
    }
    if (g_nFailCountdown.load(std::memory_order_relaxed) >= 0 &&
        g_nFailCountdown.fetch_sub(1, std::memory_order_relaxed) == 0) {
        return nullptr;
    }
    return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

namespace allocation {

void StartCounting() {
    g_nCount = 0;
    g_bCounting = true;
}

std::int64_t StopCounting() {
    g_bCounting = false;
    return g_nCount.load();
}

void FailAfter(std::int64_t countFromNow) {
    g_nFailCountdown = countFromNow;
}

void StopFailing() {
    g_nFailCountdown = -1;
}

}  // namespace allocation

void* operator new(std::size_t size) {
    if (void* p = Allocate(size)) {
        return p;
    }
    throw std::bad_alloc();
}

void* operator new[](std::size_t size) {
    return operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}

void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
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
