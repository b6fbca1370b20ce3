// SPDX-License-Identifier: MIT
#pragma once
// Per-thread initialisation and the class registry of the automation stand-in, in place of
// CoInitialize / CoUninitialize and object creation from a class name.

#include "platform/com/dispatch.h"
#include "platform/com/status.h"

#include <functional>
#include <string>
#include <string_view>

namespace marrowtune::com {

/// Makes a new instance of a registered class.
using ClassFactory = std::function<ObjectPtr()>;

/// Initialises the library on the calling thread; counted, pair each call with uninitialize.
Status initialize();
/// Undoes one initialize on the calling thread; extra calls do nothing.
void uninitialize();
/// True while the calling thread holds at least one initialize.
bool isInitialized();

/// One initialisation of the library on the calling thread, undone when released or destroyed,
/// so that no path out of its owner can leave the count raised. Declare it before the objects
/// made under it: they are then let go first.
class ThreadInitialization {
public:
    /// Initialises the library on the calling thread.
    ThreadInitialization();
    /// Undoes the initialisation when it is still held.
    ~ThreadInitialization();
    ThreadInitialization(const ThreadInitialization&) = delete;
    ThreadInitialization& operator=(const ThreadInitialization&) = delete;

    /// Undoes the initialisation now; later calls do nothing.
    void release();

private:
    bool m_held;
};

/// Registers a class under its program identifier ("VBScript.RegExp") and its class identifier
/// in braces ("{3F4DACA4-...}"). Returns false, changing nothing, when either is taken or
/// empty or the factory is empty. Thread-safe.
bool registerClass(std::string progId, std::string classId, ClassFactory factory);
/// True when a class is registered under this program identifier or class identifier.
bool isRegistered(std::string_view name);

/// Creates an instance. A name that begins with "{" is a class identifier in braces, any other
/// a program identifier; both are matched ignoring ASCII case. Fails with NotInitialized on a
/// thread that has not initialised, ClassNotRegistered for an unknown name; `object` is set
/// only on success.
Status createObject(std::string_view name, ObjectPtr& object);

} // namespace marrowtune::com
