#pragma once

#include "runtime/cxx_standard.h"

#include <memory>
#include <utility>

namespace vexel {

// A registry of objects linked newest first through their own `_succ` field, the shape of
// every list of pluggable parts in the framework (pixmap loaders, stream factories, audio
// drivers, sample loaders, font loaders): linking puts an object at the head, so the newest
// is asked first, and callers walk the list from Head() along `_succ`. Objects stay linked
// for the rest of the run; only Clear, for tests that start over, unlinks them. Main thread
// only.
template <typename T>
class Registry {
  public:
    // Puts `object` at the head of the list.
    void Link(std::shared_ptr<T> object) {
        object->_succ = std::move(head_);
        head_ = std::move(object);
    }

    // The newest object; null while the list is empty.
    const std::shared_ptr<T>& Head() const { return head_; }

    // The first object from the head for which `wanted(object)` is true; null when none.
    template <typename Predicate>
    std::shared_ptr<T> Find(Predicate wanted) const {
        for (auto object = head_; object; object = object->_succ) {
            if (wanted(*object)) return object;
        }
        return nullptr;
    }

    // Unlinks every object, each from its successor too, so none keeps the rest alive.
    void Clear() {
        std::shared_ptr<T> at = std::move(head_);
        while (at)
            at = std::exchange(at->_succ, nullptr);
    }

  private:
    std::shared_ptr<T> head_;
};

}  // namespace vexel
