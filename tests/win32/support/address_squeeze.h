// Reserves nearly all of a 32-bit process's free address space, so that a
// large allocation fails as it would in a crowded process.
#pragma once

#include <cstddef>
#include <vector>

namespace vorn::test {

class AddressSqueeze {
  public:
    // Leaves about leaveBytes free (in blocks of at most 1 MiB) for small allocations.
    explicit AddressSqueeze(size_t leaveBytes);
    ~AddressSqueeze();
    AddressSqueeze(const AddressSqueeze&) = delete;
    AddressSqueeze& operator=(const AddressSqueeze&) = delete;

    // False in a 64-bit process, whose address space cannot be filled.
    static bool Possible() { return sizeof(void*) == 4; }

  private:
    std::vector<void*> blocks_;
};

}  // namespace vorn::test
