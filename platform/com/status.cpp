// SPDX-License-Identifier: MIT
#include "platform/com/status.h"

#include <array>
#include <cstddef>

namespace marrowtune::com {

const char* statusName(Status status)
{
    // In the order of the enumeration; InvalidArgument is its last value.
    static constexpr std::array<const char*, 9> Names = {
        "Ok",           "NotInitialized", "ClassNotRegistered", "UnknownName",    "BadParamCount",
        "TypeMismatch", "Overflow",       "Exception",          "InvalidArgument"};
    static_assert(Names.size() == static_cast<std::size_t>(Status::InvalidArgument) + 1);
    const auto index = static_cast<std::size_t>(status);
    return index < Names.size() ? Names[index] : "?";
}

} // namespace marrowtune::com
