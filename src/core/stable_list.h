#pragma once
// A list of large records whose records never move when others leave it.
// The records live in a pool in huge-page-backed memory; the list's order is
// a separate array of pool slots. Removing a record in the middle of a long
// list then moves four bytes per later record rather than the records
// themselves, and its slot is reused by the next record added. Reads go
// through the order array: the list offers the usual random-access interface
// of a vector over the records, but no contiguous storage.
#include "core/large_allocator.h"
#include "core/page_writes.h"

#include <compare>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <type_traits>
#include <utility>
#include <vector>

namespace qm {

template <class T>
class StableList {
    template <bool Const>
    class Iter {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using iterator_concept = std::random_access_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = std::conditional_t<Const, const T*, T*>;
        using reference = std::conditional_t<Const, const T&, T&>;

        Iter() = default;
        Iter(pointer pool, const uint32_t* at)
            : m_pool(pool)
            , m_at(at)
        {
        }
        // Every iterator converts to its const kind.
        template <bool C = Const, class = std::enable_if_t<C>>
        Iter(const Iter<false>& other)
            : m_pool(other.m_pool)
            , m_at(other.m_at)
        {
        }

        reference operator*() const { return m_pool[*m_at]; }
        pointer operator->() const { return &m_pool[*m_at]; }
        reference operator[](difference_type n) const { return m_pool[m_at[n]]; }

        Iter& operator++()
        {
            ++m_at;
            return *this;
        }
        Iter operator++(int)
        {
            Iter was = *this;
            ++m_at;
            return was;
        }
        Iter& operator--()
        {
            --m_at;
            return *this;
        }
        Iter operator--(int)
        {
            Iter was = *this;
            --m_at;
            return was;
        }
        Iter& operator+=(difference_type n)
        {
            m_at += n;
            return *this;
        }
        Iter& operator-=(difference_type n)
        {
            m_at -= n;
            return *this;
        }
        friend Iter operator+(Iter it, difference_type n) { return it += n; }
        friend Iter operator+(difference_type n, Iter it) { return it += n; }
        friend Iter operator-(Iter it, difference_type n) { return it -= n; }
        friend difference_type operator-(const Iter& a, const Iter& b) { return a.m_at - b.m_at; }
        friend bool operator==(const Iter& a, const Iter& b) { return a.m_at == b.m_at; }
        friend std::strong_ordering operator<=>(const Iter& a, const Iter& b) { return a.m_at <=> b.m_at; }

    private:
        friend class StableList;
        friend class Iter<true>;
        pointer m_pool = nullptr;
        const uint32_t* m_at = nullptr;
    };

public:
    using value_type = T;
    using size_type = std::size_t;
    using difference_type = std::ptrdiff_t;
    using reference = T&;
    using const_reference = const T&;
    using iterator = Iter<false>;
    using const_iterator = Iter<true>;

    StableList() = default;
    StableList(std::initializer_list<T> records) { assign(records.begin(), records.end()); }
    template <class It>
    StableList(It first, It last)
    {
        assign(first, last);
    }
    StableList& operator=(std::initializer_list<T> records)
    {
        assign(records.begin(), records.end());
        return *this;
    }

    template <class It>
    void assign(It first, It last)
    {
        clear();
        for (; first != last; ++first)
            push_back(*first);
    }

    size_type size() const noexcept { return m_order.size(); }
    bool empty() const noexcept { return m_order.empty(); }

    T& operator[](size_type i) { return m_pool[m_order[i]]; }
    const T& operator[](size_type i) const { return m_pool[m_order[i]]; }
    T& at(size_type i) { return m_pool[m_order.at(i)]; }
    const T& at(size_type i) const { return m_pool[m_order.at(i)]; }
    T& front() { return m_pool[m_order.front()]; }
    const T& front() const { return m_pool[m_order.front()]; }
    T& back() { return m_pool[m_order.back()]; }
    const T& back() const { return m_pool[m_order.back()]; }

    iterator begin() noexcept { return {m_pool.data(), m_order.data()}; }
    iterator end() noexcept { return {m_pool.data(), m_order.data() + m_order.size()}; }
    const_iterator begin() const noexcept { return {m_pool.data(), m_order.data()}; }
    const_iterator end() const noexcept { return {m_pool.data(), m_order.data() + m_order.size()}; }
    const_iterator cbegin() const noexcept { return begin(); }
    const_iterator cend() const noexcept { return end(); }

    // Asks the memory for where record i lies, for a loop that will reach
    // it soon: the record's address takes a read of the order first.
    void prefetchPlace(size_type i) const { __builtin_prefetch(m_order.data() + i); }

    // Where the records are held: it changes whenever they all move.
    const void* storage() const noexcept { return m_pool.data(); }

    // Records the pool holds room for before it must move them all.
    size_type capacity() const noexcept { return m_pool.capacity(); }
    void reserve(size_type n)
    {
        m_pool.reserve(n);
        m_order.reserve(n);
    }
    void shrink_to_fit()
    {
        if (m_free.empty())
            m_pool.shrink_to_fit();
        m_order.shrink_to_fit();
    }
    void clear() noexcept
    {
        m_pool.clear();
        m_order.clear();
        m_free.clear();
    }

    void push_back(const T& record) { emplace_back(record); }
    void push_back(T&& record) { emplace_back(std::move(record)); }
    template <class... Args>
    T& emplace_back(Args&&... args)
    {
        const uint32_t slot = place(std::forward<Args>(args)...);
        m_order.push_back(slot);
        return m_pool[slot];
    }

    iterator insert(const_iterator pos, const T& record) { return emplace(pos, record); }
    iterator insert(const_iterator pos, T&& record) { return emplace(pos, std::move(record)); }
    template <class It>
    iterator insert(const_iterator pos, It first, It last)
    {
        const size_type at = indexOf(pos);
        size_type k = at;
        for (; first != last; ++first)
            m_order.insert(m_order.begin() + difference_type(k++), place(*first));
        return {m_pool.data(), m_order.data() + at};
    }
    template <class... Args>
    iterator emplace(const_iterator pos, Args&&... args)
    {
        const size_type at = indexOf(pos);
        const uint32_t slot = place(std::forward<Args>(args)...);
        m_order.insert(m_order.begin() + difference_type(at), slot);
        return {m_pool.data(), m_order.data() + at};
    }

    iterator erase(const_iterator pos) { return erase(pos, pos + 1); }
    iterator erase(const_iterator first, const_iterator last)
    {
        const size_type from = indexOf(first), to = indexOf(last);
        if (from == to)
            return {m_pool.data(), m_order.data() + from};
        if (to - from == m_order.size()) {
            clear();
            return end();
        }
        for (size_type k = from; k < to; ++k) {
            // The slot keeps an empty record, which gives back what the
            // removed one held, until a new record takes it.
            m_pool[m_order[k]] = T{};
            m_free.push_back(m_order[k]);
        }
        prepareWrites(m_order.data() + from, (m_order.size() - from) * sizeof(uint32_t));
        m_order.erase(m_order.begin() + difference_type(from), m_order.begin() + difference_type(to));
        return {m_pool.data(), m_order.data() + from};
    }
    void pop_back() { erase(end() - 1); }

    // Removes the records at these positions (ascending, each once) with
    // one pass over the order from the first of them.
    void eraseAt(const std::vector<size_type>& positions)
    {
        if (positions.empty())
            return;
        if (positions.size() == m_order.size()) {
            clear();
            return;
        }
        const size_type first = positions.front();
        prepareWrites(m_order.data() + first, (m_order.size() - first) * sizeof(uint32_t));
        size_type kept = first, next = 0;
        for (size_type k = first; k < m_order.size(); ++k) {
            if (next < positions.size() && positions[next] == k) {
                ++next;
                m_pool[m_order[k]] = T{};
                m_free.push_back(m_order[k]);
            } else {
                m_order[kept++] = m_order[k];
            }
        }
        m_order.resize(kept);
    }

    friend bool operator==(const StableList& a, const StableList& b)
    {
        if (a.size() != b.size())
            return false;
        for (size_type i = 0; i < a.size(); ++i)
            if (!(a[i] == b[i]))
                return false;
        return true;
    }

private:
    size_type indexOf(const_iterator it) const { return size_type(it.m_at - m_order.data()); }

    // A slot holding a new record: a free one, else one more.
    template <class... Args>
    uint32_t place(Args&&... args)
    {
        if (!m_free.empty()) {
            const uint32_t slot = m_free.back();
            m_free.pop_back();
            m_pool[slot] = T(std::forward<Args>(args)...);
            return slot;
        }
        m_pool.emplace_back(std::forward<Args>(args)...);
        return uint32_t(m_pool.size() - 1);
    }

    LargeVector<T> m_pool;
    LargeVector<uint32_t> m_order;
    std::vector<uint32_t> m_free;
};

}  // namespace qm
