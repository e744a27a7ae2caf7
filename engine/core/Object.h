#pragma once

#include "core/Array.h"
#include "core/ClassFactory.h"
#include "core/Engine.h"
#include "core/Named.h"
#include "core/Pointer.h"
#include "core/RefCounted.h"
#include "core/Rtti.h"
#include "core/Status.h"

#include <cstdint>
#include <new>

namespace nuv {

class Controller;
class LinkVisitor;
class Stream;

// Root of every persistent engine class: a name, a process-wide ID that is never reused, and
// a list of controllers that the object advances in Update.
class Object : public Named, public RefCounted {
public:
    static const Rtti TYPE;
    static int Create(Object** out);

    Object();
    explicit Object(const String& name);
    ~Object() override;

    virtual const Rtti& GetType() const { return TYPE; }
    // Persisted fields: name, controller count, controllers from the oldest to the newest.
    virtual int Save(Stream& stream);
    virtual int Load(Stream& stream);
    // This object when the name matches exactly, else the first match among the controllers.
    virtual Object* FindByName(const String& name);
    // Appends this object when it derives from type, then asks the controllers.
    virtual void CollectByType(const Rtti& type, Array<Object*>& found);
    // Applies every controller with the time step, the most recently added first.
    virtual void Update(double time);
    // Shows the visitor every counted link this object holds to another object, in the order
    // Save writes them, and drops those it refuses. Here: the controllers, oldest first.
    virtual void VisitLinks(LinkVisitor& visitor);

    int32_t GetId() const { return id_; }
    bool IsExactly(const Rtti& type) const { return &GetType() == &type; }
    bool IsDerived(const Rtti& type) const { return GetType().IsDerived(type); }

    // 3 for null, 2 without memory, 1 when the controller is this object or controls it;
    // else 0 and the controller goes to the head of the list.
    int AddController(Controller* controller);
    int GetControllerCount() const;
    // Counted from the head (0 is the most recently added); null when out of range.
    Controller* GetController(int index) const;
    // True when object is one of the controllers, or of theirs, at any depth.
    bool HasInControllers(const Object* object) const;
    // Removes and releases every controller.
    void RemoveAllControllers();

private:
    struct ControllerNode;
    ControllerNode* controllers_ = nullptr;
    int32_t id_;
};

// Checked downcast: the object when it derives from T, else null.
template <class T>
T* DynamicCast(Object* object) {
    return object && object->IsDerived(T::TYPE) ? static_cast<T*>(object) : nullptr;
}
template <class T>
const T* DynamicCast(const Object* object) {
    return object && object->IsDerived(T::TYPE) ? static_cast<const T*>(object) : nullptr;
}

namespace detail {

template <class T>
int CreateObject(Object** out) {
    if (!out) return kStatusNotFound;
    T* object = new (std::nothrow) T();
    if (!object) return kStatusNoMemory;
    *out = object;
    return kStatusOk;
}

inline int CreateAbstract(Object**) {
    return kStatusFailed;
}

// Queues a class's factory registration and removal on the engine's function lists, once.
template <class T>
struct ClassRegistrar {
    static int Initialize() {
        return ClassFactory::RegisterClass(T::TYPE.GetName(), T::Create) ? kStatusOk : kStatusFailed;
    }
    static int Shutdown() {
        ClassFactory::UnregisterClass(T::TYPE.GetName());
        return kStatusOk;
    }
    ClassRegistrar() {
        AddInitFunction(&Initialize);
        AddShutdownFunction(&Shutdown);
    }
};

} // namespace detail

} // namespace nuv

// Inside the class body of every persistent class.
#define NUV_DECLARE_OBJECT                                            \
public:                                                               \
    static const ::nuv::Rtti TYPE;                                    \
    static int Create(::nuv::Object** out);                           \
    const ::nuv::Rtti& GetType() const override { return TYPE; }

// In the class's source file, inside namespace nuv: the type record "Nuv.<Class>" with its
// parent's record, the creation function and the static registration.
#define NUV_IMPLEMENT_OBJECT(Class, Parent)                                       \
    const ::nuv::Rtti Class::TYPE("Nuv." #Class, &Parent::TYPE);                  \
    int Class::Create(::nuv::Object** out) {                                      \
        return ::nuv::detail::CreateObject<Class>(out);                           \
    }                                                                             \
    static const ::nuv::detail::ClassRegistrar<Class> nuvRegistrar##Class;

// The same for an abstract class: its creation function fails silently.
#define NUV_IMPLEMENT_ABSTRACT_OBJECT(Class, Parent)                              \
    const ::nuv::Rtti Class::TYPE("Nuv." #Class, &Parent::TYPE);                  \
    int Class::Create(::nuv::Object** out) {                                      \
        return ::nuv::detail::CreateAbstract(out);                                \
    }                                                                             \
    static const ::nuv::detail::ClassRegistrar<Class> nuvRegistrar##Class;
