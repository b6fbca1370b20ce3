#include "platform/com/status.h"

namespace marrowtune::com {

const char* statusName(Status status)
{
    switch (status) {
    case Status::Ok:
        return "Ok";
    case Status::NotInitialized:
        return "NotInitialized";
    case Status::ClassNotRegistered:
        return "ClassNotRegistered";
    case Status::UnknownName:
        return "UnknownName";
    case Status::BadParamCount:
        return "BadParamCount";
    case Status::TypeMismatch:
        return "TypeMismatch";
    case Status::Overflow:
        return "Overflow";
    case Status::Exception:
        return "Exception";
    case Status::InvalidArgument:
        return "InvalidArgument";
    }
    return "?";
}

} // namespace marrowtune::com
// SPDX-License-Identifier: MIT
