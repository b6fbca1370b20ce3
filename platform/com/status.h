// SPDX-License-Identifier: MIT
#pragma once
// Outcomes of the automation stand-in's calls, in place of the platform's HRESULT codes.

#include <cstdint>
#include <string>

namespace marrowtune::com {

/// The outcome of a creation, an invocation or a value conversion.
enum class Status {
    Ok,
    NotInitialized,     // the calling thread has not initialised the library
    ClassNotRegistered, // no class under that program identifier or class identifier
    UnknownName,        // the object has no member of that name and kind
    BadParamCount,      // too few or too many arguments for the member
    TypeMismatch,       // a value cannot be changed to the kind asked for
    Overflow,           // a number does not fit the kind asked for
    Exception,          // the object raised an error; see ExceptionInfo
    InvalidArgument,    // a null object or a malformed request
};

/// True for Status::Ok.
inline bool succeeded(Status status)
{
    return status == Status::Ok;
}

/// An error raised by an object while it ran a member.
struct ExceptionInfo {
    /// Error number in the style of the platform's script engines (5 = invalid procedure call).
    std::int32_t code = 0;
    /// Where the error came from, e.g. the engine's name.
    std::u16string source;
    /// The engine's own description of the error.
    std::u16string description;
};

/// A short name of the status, for logs and test output.
const char* statusName(Status status);

} // namespace marrowtune::com
