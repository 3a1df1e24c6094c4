#pragma once

#include "runtime/cxx_standard.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <list>
#include <memory>
#include <vector>

namespace vexel {

// An ordered list of values (usually shared object references) that may be changed while it
// is being walked: removing the element being visited is safe, and elements appended during
// a walk are visited by it. Removal during a walk leaves a tombstone that later walks skip;
// tombstones are swept once no walk is in progress. Main thread only.
template <typename T>
class TList {
    struct Entry {
        T value;
        bool removed = false;
    };
    using Entries = std::list<Entry>;

  public:
    class Iterator {
      public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = const T*;
        using reference = const T&;

        Iterator() = default;
        // The element at this position.
        // @{
        const T& operator*() const { return position_->value; }
        const T* operator->() const { return &position_->value; }
        // @}
        // The next element still in the list.
        // @{
        Iterator& operator++() {
            ++position_;
            SkipRemoved();
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++*this;
            return before;
        }
        // @}
        // Iterators compare by position only; end() of a list is reached whatever was
        // appended, because std::list's end never moves.
        bool operator==(const Iterator& other) const { return position_ == other.position_; }

      private:
        friend class TList;
        Iterator(typename Entries::iterator position, typename Entries::iterator end,
                 std::shared_ptr<const int> walk)
            : position_(position), end_(end), walk_(std::move(walk)) {
            SkipRemoved();
        }
        void SkipRemoved() {
            while (position_ != end_ && position_->removed)
                ++position_;
        }

        typename Entries::iterator position_{};
        typename Entries::iterator end_{};
        // Holding the token marks a walk in progress, which defers physical removal.
        std::shared_ptr<const int> walk_;
    };

    TList() = default;
    TList(const TList&) = delete;
    TList& operator=(const TList&) = delete;

    // A walk over the elements in order; elements removed during the walk are skipped.
    // @{
    Iterator begin() {
        Sweep();
        return Iterator(entries_.begin(), entries_.end(), walk_token_);
    }
    Iterator end() { return Iterator(entries_.end(), entries_.end(), nullptr); }
    // @}

    // Appends `value`.
    void AddLast(T value) {
        Sweep();
        entries_.push_back(Entry{std::move(value)});
        ++count_;
    }

    // Inserts `value` in front.
    void AddFirst(T value) {
        Sweep();
        entries_.push_front(Entry{std::move(value)});
        ++count_;
    }

    // Removes the first element equal to `value`; false when there is none.
    bool Remove(const T& value) {
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->removed || !(it->value == value)) continue;
            --count_;
            if (Walking()) {
                // The value stays until the sweep: the walker may still be using it.
                it->removed = true;
                needs_sweep_ = true;
            } else {
                entries_.erase(it);
            }
            return true;
        }
        return false;
    }

    // True when an element equals `value`.
    bool Contains(const T& value) const {
        return std::any_of(entries_.begin(), entries_.end(),
                           [&](const Entry& e) { return !e.removed && e.value == value; });
    }

    // Removes every element (a walk in progress ends at its next step).
    void Clear() {
        if (Walking()) {
            for (auto& entry : entries_) {
                entry.removed = true;
            }
            needs_sweep_ = true;
        } else {
            entries_.clear();
        }
        count_ = 0;
    }

    // The number of elements, and whether there are none.
    // @{
    size_t Count() const { return count_; }
    bool IsEmpty() const { return count_ == 0; }
    // @}

    // Stable sort; `less(a, b)` is true when a belongs before b.
    template <typename Less>
    void Sort(Less less) {
        Sweep();
        entries_.sort([&](const Entry& a, const Entry& b) { return less(a.value, b.value); });
    }

    // A copy of the elements in order.
    std::vector<T> ToVector() const {
        std::vector<T> out;
        out.reserve(count_);
        for (const auto& entry : entries_) {
            if (!entry.removed) out.push_back(entry.value);
        }
        return out;
    }

  private:
    bool Walking() const { return walk_token_.use_count() > 1; }

    void Sweep() {
        if (!needs_sweep_ || Walking()) return;
        entries_.remove_if([](const Entry& e) { return e.removed; });
        needs_sweep_ = false;
    }

    Entries entries_;
    size_t count_ = 0;
    bool needs_sweep_ = false;
    std::shared_ptr<const int> walk_token_ = std::make_shared<const int>(0);
};

}  // namespace vexel
