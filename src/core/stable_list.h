#pragma once
// A list of large records whose records never move when others leave it.
// The records live in a pool in huge-page-backed memory; the list's order is
// a separate array of pool slots. Removing a record in the middle of a long
// list then moves four bytes per later record rather than the records
// themselves, and its slot is reused by the next record added. Reads go
// through the order array: the list offers the usual random-access interface
// of a vector over the records, but no contiguous storage.
//
// A list can be frozen: another thread then reads the records as they were
// at that moment while this one goes on changing them. Nothing is copied
// when it freezes but the order; the first change of a record afterwards
// keeps a copy of the small run of slots around it for the reader, so an
// edit pays for the records it touches, never for the whole list. Every
// access that can write a record (a non-const reference or iterator) counts
// as a change.
#include "core/large_allocator.h"
#include "core/page_writes.h"

#include <algorithm>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <mutex>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qm {

template <class T>
class StableList;

// A list's records as they were when it was frozen (StableList::freeze),
// readable on any one thread while the list changes on its own.
template <class T>
class FrozenList {
public:
    FrozenList() = default;

    std::size_t size() const noexcept { return m_state ? m_state->order.size() : 0; }

    // Calls each(record) for the records in their order, and between() after
    // every run of them. The list waits for a run while it is read, never
    // for a between(): that is where slow work (writing to a file) belongs.
    template <class Each, class Between>
    void forEach(Each&& each, Between&& between) const
    {
        if (!m_state)
            return;
        State& s = *m_state;
        const std::size_t n = s.order.size();
        for (std::size_t i = 0; i < n;) {
            {
                std::lock_guard<std::mutex> hold(s.lock);
                for (const std::size_t end = std::min(i + kRun, n); i < end; ++i) {
                    const uint32_t slot = s.order[i];
                    const uint32_t chunk = slot / kChunk;
                    each(s.kept[chunk] ? s.copies.find(chunk)->second[slot % kChunk] : s.live[slot]);
                }
            }
            between();
        }
    }

private:
    friend class StableList<T>;

    // Slots whose records are kept together once one of them changes: small
    // enough that an edit copies little, large enough that a long change
    // (a rename in every record) copies in few steps.
    static constexpr uint32_t kChunk = 64;
    // Records read under one hold of the lock.
    static constexpr std::size_t kRun = 64;

    struct State {
        std::mutex lock;              // held while the reader reads and while the list keeps or moves
        const T* live = nullptr;      // the list's records, where no copy was kept
        LargeVector<uint32_t> order;  // the order when frozen
        uint32_t slots = 0;           // slots in use when frozen; later ones are never read
        std::vector<uint8_t> kept;    // per chunk: whether copies holds it
        std::unordered_map<uint32_t, std::vector<T>> copies;
        LargeVector<T> orphan;  // the records themselves, once the list has let go of them
    };

    explicit FrozenList(std::shared_ptr<State> state)
        : m_state(std::move(state))
    {
    }

    std::shared_ptr<State> m_state;
};

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
        Iter(pointer pool, const uint32_t* at, StableList* owner = nullptr)
            : m_pool(pool)
            , m_at(at)
            , m_owner(owner)
        {
        }
        // Every iterator converts to its const kind.
        template <bool C = Const, class = std::enable_if_t<C>>
        Iter(const Iter<false>& other)
            : m_pool(other.m_pool)
            , m_at(other.m_at)
        {
        }

        reference operator*() const { return at(*m_at); }
        pointer operator->() const { return &at(*m_at); }
        reference operator[](difference_type n) const { return at(m_at[n]); }

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
        // A record reached through a non-const iterator may be written.
        reference at(uint32_t slot) const
        {
            if constexpr (!Const)
                if (m_owner)
                    m_owner->touch(slot);
            return m_pool[slot];
        }
        pointer m_pool = nullptr;
        const uint32_t* m_at = nullptr;
        StableList* m_owner = nullptr;  // set on non-const iterators only
    };

public:
    using value_type = T;
    using size_type = std::size_t;
    using difference_type = std::ptrdiff_t;
    using reference = T&;
    using const_reference = const T&;
    using iterator = Iter<false>;
    using const_iterator = Iter<true>;
    using Frozen = FrozenList<T>;

    StableList() = default;
    StableList(const StableList& other)
        : m_pool(other.m_pool)
        , m_order(other.m_order)
        , m_free(other.m_free)
    {
    }
    StableList(StableList&& other) noexcept
        : m_pool(std::move(other.m_pool))
        , m_order(std::move(other.m_order))
        , m_free(std::move(other.m_free))
        , m_frozen(std::move(other.m_frozen))
        , m_spareOrder(std::move(other.m_spareOrder))
    {
    }
    StableList& operator=(const StableList& other)
    {
        if (this != &other) {
            letGo();
            m_pool = other.m_pool;
            m_order = other.m_order;
            m_free = other.m_free;
        }
        return *this;
    }
    StableList& operator=(StableList&& other) noexcept
    {
        if (this != &other) {
            letGo();
            m_pool.swap(other.m_pool);
            m_order.swap(other.m_order);
            m_free.swap(other.m_free);
            m_frozen.swap(other.m_frozen);
            other.clear();
        }
        return *this;
    }
    ~StableList() { letGo(); }
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

    T& operator[](size_type i) { return written(m_order[i]); }
    const T& operator[](size_type i) const { return m_pool[m_order[i]]; }
    T& at(size_type i) { return written(m_order.at(i)); }
    const T& at(size_type i) const { return m_pool[m_order.at(i)]; }
    T& front() { return written(m_order.front()); }
    const T& front() const { return m_pool[m_order.front()]; }
    T& back() { return written(m_order.back()); }
    const T& back() const { return m_pool[m_order.back()]; }

    iterator begin() noexcept { return {m_pool.data(), m_order.data(), this}; }
    iterator end() noexcept { return {m_pool.data(), m_order.data() + m_order.size(), this}; }
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
        movePool([&] { m_pool.reserve(n); });
        m_order.reserve(n);
    }
    void shrink_to_fit()
    {
        if (m_free.empty())
            movePool([&] { m_pool.shrink_to_fit(); });
        m_order.shrink_to_fit();
    }
    void clear() noexcept
    {
        letGo();
        m_pool.clear();
        m_order.clear();
        m_free.clear();
    }

    // The records as they are now, for one reader on another thread; the
    // list stays free to change. A list holds one freeze at a time: a new
    // one first gives a reader still on the last a copy of all it reads.
    Frozen freeze()
    {
        if (m_frozen) {
            if (m_frozen.use_count() > 1)
                for (uint32_t slot = 0; slot < m_frozen->slots; slot += Frozen::kChunk)
                    keep(slot);
            thaw();
        }
        auto state = std::make_shared<typename Frozen::State>();
        // The order's copy goes where the last one went: memory already
        // touched costs no page faults.
        state->order = std::move(m_spareOrder);
        state->order.assign(m_order.begin(), m_order.end());
        state->slots = uint32_t(m_pool.size());
        state->live = m_pool.data();
        state->kept.assign((m_pool.size() + Frozen::kChunk - 1) / Frozen::kChunk, 0);
        m_frozen = state;
        return Frozen(std::move(state));
    }
    // Lets go of the last freeze once no reader holds it; the list does so
    // by itself at its next change.
    void thaw()
    {
        if (!m_frozen || m_frozen.use_count() > 1)
            return;
        m_spareOrder = std::move(m_frozen->order);
        m_frozen.reset();
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
        return {m_pool.data(), m_order.data() + at, this};
    }
    template <class... Args>
    iterator emplace(const_iterator pos, Args&&... args)
    {
        const size_type at = indexOf(pos);
        const uint32_t slot = place(std::forward<Args>(args)...);
        m_order.insert(m_order.begin() + difference_type(at), slot);
        return {m_pool.data(), m_order.data() + at, this};
    }

    iterator erase(const_iterator pos) { return erase(pos, pos + 1); }
    iterator erase(const_iterator first, const_iterator last)
    {
        const size_type from = indexOf(first), to = indexOf(last);
        if (from == to)
            return {m_pool.data(), m_order.data() + from, this};
        if (to - from == m_order.size()) {
            clear();
            return end();
        }
        for (size_type k = from; k < to; ++k) {
            // The slot keeps an empty record, which gives back what the
            // removed one held, until a new record takes it.
            written(m_order[k]) = T{};
            m_free.push_back(m_order[k]);
        }
        prepareWrites(m_order.data() + from, (m_order.size() - from) * sizeof(uint32_t));
        m_order.erase(m_order.begin() + difference_type(from), m_order.begin() + difference_type(to));
        return {m_pool.data(), m_order.data() + from, this};
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
                written(m_order[k]) = T{};
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
            T made(std::forward<Args>(args)...);
            written(slot) = std::move(made);
            m_free.pop_back();
            return slot;
        }
        if (m_pool.size() == m_pool.capacity())
            movePool([&] { m_pool.emplace_back(std::forward<Args>(args)...); });
        else
            m_pool.emplace_back(std::forward<Args>(args)...);
        return uint32_t(m_pool.size() - 1);
    }

    T& written(uint32_t slot)
    {
        touch(slot);
        return m_pool[slot];
    }
    void touch(uint32_t slot)
    {
        if (m_frozen) [[unlikely]]
            keep(slot);
    }
    // Before the record in that slot changes, a reader of the freeze gets
    // its own copy of the slot's chunk, unless it has one or needs none.
    void keep(uint32_t slot)
    {
        typename Frozen::State& s = *m_frozen;
        if (m_frozen.use_count() == 1) {
            thaw();
            return;
        }
        const uint32_t chunk = slot / Frozen::kChunk;
        if (slot >= s.slots || s.kept[chunk])
            return;
        const uint32_t from = chunk * Frozen::kChunk, to = std::min(from + Frozen::kChunk, s.slots);
        std::vector<T> copy(m_pool.begin() + from, m_pool.begin() + to);
        std::lock_guard<std::mutex> hold(s.lock);
        s.copies.emplace(chunk, std::move(copy));
        s.kept[chunk] = 1;
    }
    // The records move to new memory (as they are: their values stay).
    template <class Move>
    void movePool(Move move)
    {
        if (!m_frozen || m_frozen.use_count() == 1) {
            thaw();
            move();
            return;
        }
        std::lock_guard<std::mutex> hold(m_frozen->lock);
        move();
        m_frozen->live = m_pool.data();
    }
    // The records are about to be destroyed or replaced wholesale: a reader
    // of the freeze takes them over, and the list starts on new memory.
    void letGo() noexcept
    {
        if (!m_frozen)
            return;
        if (m_frozen.use_count() > 1) {
            LargeVector<T> records;
            records.swap(m_pool);
            std::lock_guard<std::mutex> hold(m_frozen->lock);
            m_frozen->orphan.swap(records);
            m_frozen->live = m_frozen->orphan.data();
        }
        m_frozen.reset();
    }

    LargeVector<T> m_pool;
    LargeVector<uint32_t> m_order;
    std::vector<uint32_t> m_free;
    std::shared_ptr<typename Frozen::State> m_frozen;  // the last freeze, while a reader may hold it
    LargeVector<uint32_t> m_spareOrder;                // a freeze's order memory, for the next
};

}  // namespace qm
