// SPDX-License-Identifier: Apache-2.0
#pragma once
// A growable array of plain values held in one malloc block. Unlike
// std::vector it can start as lazily zeroed memory (calloc maps fresh pages
// that cost nothing until touched) and it grows by realloc, which moves large
// blocks by remapping pages instead of copying them and so never holds the
// old and the new block at once.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace ostrel {

template <class T>
class PodBuffer {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    PodBuffer() = default;
    ~PodBuffer() { std::free(m_data); }
    PodBuffer(const PodBuffer& other) { *this = other; }
    PodBuffer(PodBuffer&& other) noexcept { swap(other); }
    PodBuffer& operator=(const PodBuffer& other)
    {
        if (this != &other) {
            PodBuffer copy;
            copy.reserve(other.m_size);
            if (other.m_size)
                std::memcpy(copy.m_data, other.m_data, other.m_size * sizeof(T));
            copy.m_size = other.m_size;
            swap(copy);
        }
        return *this;
    }
    PodBuffer& operator=(PodBuffer&& other) noexcept
    {
        PodBuffer moved(std::move(other));
        swap(moved);
        return *this;
    }
    void swap(PodBuffer& other) noexcept
    {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
    }

    // `size` zero values; throws std::bad_alloc when the memory is not there.
    static PodBuffer zeroed(size_t size)
    {
        PodBuffer buffer;
        if (size == 0)
            return buffer;
        buffer.m_data = static_cast<T*>(std::calloc(size, sizeof(T)));
        if (!buffer.m_data)
            throw std::bad_alloc();
        buffer.m_size = buffer.m_capacity = size;
        return buffer;
    }

    T* data() { return m_data; }
    const T* data() const { return m_data; }
    size_t size() const { return m_size; }
    size_t capacity() const { return m_capacity; }
    bool empty() const { return m_size == 0; }
    T& operator[](size_t i) { return m_data[i]; }
    const T& operator[](size_t i) const { return m_data[i]; }

    void reserve(size_t capacity)
    {
        if (capacity > m_capacity)
            reallocate(capacity);
    }
    void push_back(const T& value)
    {
        if (m_size == m_capacity)
            reallocate(m_capacity < 16 ? 16 : m_capacity * 2);
        m_data[m_size++] = value;
    }
    // Shrinks or grows; new elements are left uninitialised.
    void resize(size_t size)
    {
        reserve(size);
        m_size = size;
    }
    // Gives back memory when less than half of the block is in use.
    void shrinkToFit()
    {
        if (m_capacity / 2 > m_size)
            reallocate(m_size);
    }
    void release()
    {
        std::free(m_data);
        m_data = nullptr;
        m_size = m_capacity = 0;
    }

private:
    void reallocate(size_t capacity)
    {
        if (capacity == 0) {
            release();
            return;
        }
        if (capacity > SIZE_MAX / sizeof(T))
            throw std::bad_alloc();
        T* grown = static_cast<T*>(std::realloc(m_data, capacity * sizeof(T)));
        if (!grown)
            throw std::bad_alloc();
        m_data = grown;
        m_capacity = capacity;
    }

    T* m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

} // namespace ostrel
