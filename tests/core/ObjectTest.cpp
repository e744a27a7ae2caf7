#include "TestClasses.h"
#include "TestSupport.h"

#include "core/ColorBuffer.h"
#include "core/Controller.h"
#include "core/Vector3Buffer.h"
#include "core/Vector4Buffer.h"

#include <gtest/gtest.h>

namespace nuv {
namespace {

TEST(Object, IdsCountEveryConstructionIncludingTheFactory) {
    Pointer<TestThing> a(new TestThing("a"));
    Pointer<TestThing> b(new TestThing("b"));
    EXPECT_EQ(b->GetId(), a->GetId() + 1);
    Object* made = nullptr;
    ASSERT_EQ(TestThing::Create(&made), 0);
    Pointer<Object> held(made);
    EXPECT_EQ(made->GetId(), b->GetId() + 1);
    EXPECT_EQ(made->GetReferenceCount(), 1);
}

TEST(Object, TypeQueriesFollowTheParentRecords) {
    Pointer<Vector3Buffer> v(new Vector3Buffer);
    EXPECT_EQ(Vector3Buffer::TYPE.GetName(), "Nuv.Vector3Buffer");
    EXPECT_EQ(Vector3Buffer::TYPE.GetParent(), &Buffer::TYPE);
    EXPECT_TRUE(v->IsDerived(Vector3Buffer::TYPE));
    EXPECT_TRUE(v->IsDerived(Buffer::TYPE));
    EXPECT_TRUE(v->IsDerived(Object::TYPE));
    EXPECT_TRUE(v->IsExactly(Vector3Buffer::TYPE));
    EXPECT_FALSE(v->IsExactly(Buffer::TYPE));
    EXPECT_FALSE(v->IsDerived(Controller::TYPE));

    Pointer<ColorBuffer> c(new ColorBuffer(2));
    EXPECT_TRUE(c->IsExactly(ColorBuffer::TYPE));
    EXPECT_FALSE(c->IsExactly(Vector4Buffer::TYPE));
    EXPECT_FALSE(c->IsDerived(Vector4Buffer::TYPE));
    EXPECT_EQ(DynamicCast<Vector4Buffer>(c.Get()), nullptr);
    EXPECT_EQ(DynamicCast<Buffer>(c.Get()), c.Get());
}

TEST(Object, ControllersRunNewestFirstAndKnowTheirOwner) {
    test::LogRecorder log;
    Pointer<TestThing> thing(new TestThing("thing"));
    Pointer<TestController> a(new TestController);
    Pointer<TestController> b(new TestController);
    EXPECT_EQ(thing->AddController(a.Get()), 0);
    EXPECT_EQ(thing->AddController(b.Get()), 0);
    EXPECT_EQ(thing->GetControllerCount(), 2);
    EXPECT_EQ(thing->GetController(0), b.Get());
    EXPECT_EQ(thing->GetController(1), a.Get());
    EXPECT_EQ(thing->GetController(2), nullptr);
    EXPECT_EQ(thing->GetController(-1), nullptr);
    EXPECT_EQ(a->GetOwner(), thing.Get());
    EXPECT_EQ(a->GetReferenceCount(), 2);

    TestController::order.clear();
    a->SetActive(false);
    thing->Update(0.25);
    a->SetActive(true);
    thing->Update(0.5);
    EXPECT_EQ(TestController::order, (std::vector<TestController*>{b.Get(), b.Get(), a.Get()}));
    EXPECT_DOUBLE_EQ(b->total, 0.75);
    EXPECT_DOUBLE_EQ(a->total, 0.5);

    EXPECT_EQ(thing->AddController(nullptr), 3);
    EXPECT_TRUE(log.Contains(1, "Указатель на устанавливаемый контроллер равен 0. Имя[thing] ID[" +
                                    std::to_string(thing->GetId()) + "]"));
    // The same controller twice is in the list twice, and runs twice.
    thing->AddController(a.Get());
    EXPECT_EQ(thing->GetControllerCount(), 3);
    thing.Reset();
    EXPECT_EQ(a->GetReferenceCount(), 1);
    EXPECT_EQ(b->GetReferenceCount(), 1);
}

TEST(Object, ControllerListsCannotLeadBackToTheirOwner) {
    // A file can ask for such a list; it would keep the objects alive forever and make
    // FindByName and CollectByType walk in circles.
    Pointer<TestController> a(new TestController), b(new TestController);
    EXPECT_EQ(a->AddController(a.Get()), 1);
    EXPECT_EQ(a->AddController(b.Get()), 0);
    EXPECT_EQ(b->AddController(a.Get()), 1);
    Pointer<TestController> c(new TestController);
    EXPECT_EQ(b->AddController(c.Get()), 0);
    EXPECT_EQ(c->AddController(a.Get()), 1);
    EXPECT_EQ(a->FindByName("missing"), nullptr);
}

TEST(Object, FindByNameIsExactAndSearchesControllers) {
    Pointer<TestThing> thing(new TestThing("Lamp"));
    Pointer<TestController> c(new TestController);
    c->SetName("Blink");
    thing->AddController(c.Get());
    EXPECT_EQ(thing->FindByName("Lamp"), thing.Get());
    EXPECT_EQ(thing->FindByName("Blink"), c.Get());
    EXPECT_EQ(thing->FindByName("lamp"), nullptr);
    EXPECT_EQ(thing->FindByName("Lam"), nullptr);

    Array<Object*> found;
    thing->CollectByType(Controller::TYPE, found);
    ASSERT_EQ(found.GetCount(), 1);
    EXPECT_EQ(found[0], c.Get());
    found.Clear();
    thing->CollectByType(Object::TYPE, found);
    EXPECT_EQ(found.GetCount(), 2);
}

TEST(ClassFactory, FirstRegistrationWinsAndAbstractClassesRefuse) {
    test::LogRecorder log;
    EXPECT_EQ(ClassFactory::FindCreateFunction("Nuv.TestThing"), &TestThing::Create);
    EXPECT_FALSE(ClassFactory::RegisterClass("Nuv.TestThing", &TestController::Create));
    EXPECT_EQ(ClassFactory::FindCreateFunction("Nuv.TestThing"), &TestThing::Create);
    EXPECT_EQ(ClassFactory::FindCreateFunction("nuv.testthing"), nullptr);
    EXPECT_EQ(ClassFactory::FindCreateFunction("Nuv.Vector3Buffer"), &Vector3Buffer::Create);

    Object* out = nullptr;
    EXPECT_EQ(ClassFactory::FindCreateFunction("Nuv.Object")(&out), 1);
    EXPECT_EQ(out, nullptr);
    EXPECT_TRUE(log.Contains(3, "Создание объекта абстрактного класса [Object]."));
    log.lines.clear();
    EXPECT_EQ(ClassFactory::FindCreateFunction("Nuv.Buffer")(&out), 1);
    EXPECT_EQ(ClassFactory::FindCreateFunction("Nuv.Controller")(&out), 1);
    EXPECT_EQ(out, nullptr);
    EXPECT_TRUE(log.lines.empty());
}

TEST(RefCounted, DestroyingAHeldObjectWarns) {
    test::LogRecorder log;
    {
        TestThing onStack("stack");
        onStack.AddReference();
    }
    EXPECT_TRUE(log.Contains(1, "Удаление объекта, имеющего ссылки. Количество ссылок [1]."));
}

} // namespace
} // namespace nuv
