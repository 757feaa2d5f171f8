#pragma once

#include <memory>
#include <stdexcept>

namespace game {

// The object behind a window-level reference; an empty reference is an error of the statement
// that uses it, not a crash.
template <class T> T& object(const std::unique_ptr<T>& reference)
{
    if (!reference)
        throw std::runtime_error("Object variable not set.");
    return *reference;
}

} // namespace game
