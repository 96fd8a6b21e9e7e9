#pragma once
// Growing a store collection by one record without losing it when memory runs out.

#include <climits>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

namespace sorvane {

namespace detail {
// True when a test has asked the current append to fail.
bool AppendFailureDue();
}  // namespace detail

// Appends item to v. On allocation failure returns false and leaves v exactly
// as it was (push_back of a type with a non-throwing move gives that guarantee).
// A collection never grows past what an int index can reach.
template <class T>
bool TryAppend(std::vector<T>& v, T&& item) {
    if (v.size() >= static_cast<std::size_t>(INT_MAX))
        return false;
    try {
        if (detail::AppendFailureDue())
            throw std::bad_alloc();
        v.push_back(std::move(item));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
}

// While it lives, makes TryAppend on this thread fail as if memory had run out,
// after `successesFirst` appends that still succeed. For tests of the failure path.
class ScopedAppendFailure {
  public:
    explicit ScopedAppendFailure(int successesFirst = 0);
    ~ScopedAppendFailure();
    ScopedAppendFailure(const ScopedAppendFailure&) = delete;
    ScopedAppendFailure& operator=(const ScopedAppendFailure&) = delete;

  private:
    int saved_;
};

}  // namespace sorvane
