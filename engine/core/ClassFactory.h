#pragma once

#include "core/String.h"

namespace nuv {

class Object;

// Creates an object by its default construction and stores the plain pointer (not yet
// counted) in out; 0 on success, 2 when memory runs out, 1 for an abstract class.
using CreateFunction = int (*)(Object** out);

// Process-wide map from class name ("Nuv.Node") to its creation function. Filled by the
// engine's start and emptied by its stop (see Engine.h).
class ClassFactory {
public:
    // False (and no change) when the name is already registered or memory runs out.
    static bool RegisterClass(const String& name, CreateFunction create);
    static void UnregisterClass(const String& name);
    // Exact, case-sensitive match; null when absent.
    static CreateFunction FindCreateFunction(const String& name);
    static int GetClassCount();
};

} // namespace nuv
