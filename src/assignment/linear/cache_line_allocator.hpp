// An allocator that starts every block on a 64-byte cache line, so that a caller can rely on
// which elements share a line (the strategy queue prefetches whole subtrees of its heap).
#pragma once

#include <cstddef>
#include <new>

namespace vemo {

inline constexpr std::size_t kCacheLineBytes = 64;

template <class T>
struct CacheLineAllocator {
    using value_type = T;

    CacheLineAllocator() noexcept = default;
    template <class U>
    CacheLineAllocator(const CacheLineAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) {
        return static_cast<T*>(::operator new(count * sizeof(T), kAlignment));
    }
    void deallocate(T* block, std::size_t) noexcept { ::operator delete(block, kAlignment); }

    template <class U>
    bool operator==(const CacheLineAllocator<U>&) const noexcept {
        return true;
    }

private:
    static constexpr std::align_val_t kAlignment{kCacheLineBytes};
};

}  // namespace vemo
