// Allocations whose size comes from outside data: a failure is a result,
// not an exception that would end the process.
#pragma once

#include <new>
#include <stdexcept>
#include <vector>

namespace vorn {

// Resizes v to count elements; false (v unchanged) when memory runs out.
template <typename T>
bool TryResize(std::vector<T>& v, size_t count) {
    try {
        v.resize(count);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
}

// Replaces v's content with count copies of value; false (v emptied) when memory runs out.
template <typename T>
bool TryAssign(std::vector<T>& v, size_t count, const T& value) {
    try {
        v.assign(count, value);
        return true;
    } catch (const std::bad_alloc&) {
        std::vector<T>().swap(v);
        return false;
    } catch (const std::length_error&) {
        std::vector<T>().swap(v);
        return false;
    }
}

}  // namespace vorn
