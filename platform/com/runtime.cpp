// SPDX-License-Identifier: MIT
#include "platform/com/runtime.h"

#include "base/ascii.h"

#ifdef _WIN32
#include "platform/com/system_objects.h"
#endif

#include <algorithm>
#include <mutex>
#include <vector>

namespace marrowtune::com {

namespace {

struct ClassEntry {
    std::string progId;
    std::string classId;
    ClassFactory factory;
};

struct Registry {
    std::mutex mutex;
    std::vector<ClassEntry> classes;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

thread_local int initializeCount = 0;

const ClassEntry* findClass(const std::vector<ClassEntry>& classes, std::string_view name)
{
    const bool byClassId = !name.empty() && name.front() == '{';
    for (const ClassEntry& entry : classes) {
        if (equalsIgnoringAsciiCase(byClassId ? entry.classId : entry.progId, name)) {
            return &entry;
        }
    }
    return nullptr;
}

} // namespace

Status initialize()
{
#ifdef _WIN32
    if (const Status status = detail::initializeSystem(); status != Status::Ok) {
        return status;
    }
#endif
    ++initializeCount;
    return Status::Ok;
}

void uninitialize()
{
    if (initializeCount > 0) {
        --initializeCount;
#ifdef _WIN32
        detail::uninitializeSystem();
#endif
    }
}

bool isInitialized()
{
    return initializeCount > 0;
}

ThreadInitialization::ThreadInitialization() : m_held(initialize() == Status::Ok)
{
}

ThreadInitialization::~ThreadInitialization()
{
    release();
}

void ThreadInitialization::release()
{
    if (m_held) {
        m_held = false;
        uninitialize();
    }
}

bool registerClass(std::string progId, std::string classId, ClassFactory factory)
{
    if (progId.empty() || progId.front() == '{' || classId.size() < 2 || classId.front() != '{' ||
        classId.back() != '}' || !factory) {
        return false;
    }
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    if (findClass(reg.classes, progId) || findClass(reg.classes, classId)) {
        return false;
    }
    reg.classes.push_back({std::move(progId), std::move(classId), std::move(factory)});
    return true;
}

bool isRegistered(std::string_view name)
{
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    return findClass(reg.classes, name) != nullptr;
}

Status createObject(std::string_view name, ObjectPtr& object)
{
    if (!isInitialized()) {
        return Status::NotInitialized;
    }
    ClassFactory factory;
    {
        Registry& reg = registry();
        std::lock_guard lock(reg.mutex);
        const ClassEntry* entry = findClass(reg.classes, name);
        if (!entry) {
#ifdef _WIN32
            // Not one of the program's own classes: one of the system's.
            return detail::createSystemObject(name, object);
#else
            return Status::ClassNotRegistered;
#endif
        }
        factory = entry->factory;
    }
    // The factory runs outside the lock: a class may create other objects while it starts.
    ObjectPtr created = factory();
    if (!created) {
        return Status::ClassNotRegistered;
    }
    object = std::move(created);
    return Status::Ok;
}

} // namespace marrowtune::com
