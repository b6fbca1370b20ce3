// SPDX-License-Identifier: MIT
#pragma once
// Windows only: the bridge from this library to the system's own automation (COM). Objects
// the program does not register itself are created by the system from their program or class
// identifier and reached through IDispatch, their members declared from their type
// information, so callers cannot tell them from the program's own classes.

#include "platform/com/dispatch.h"
#include "platform/com/status.h"

#include <string_view>

namespace marrowtune::com::detail {

/// Initialises the system's COM on the calling thread (single-threaded apartment); counted
/// together with com::initialize.
Status initializeSystem();
/// Undoes one initializeSystem on the calling thread.
void uninitializeSystem();
/// Creates a system object by program identifier or class identifier in braces and wraps it.
Status createSystemObject(std::string_view name, ObjectPtr& object);

} // namespace marrowtune::com::detail
