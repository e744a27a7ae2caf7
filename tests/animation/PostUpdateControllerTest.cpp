// Post-update controllers list themselves with the current renderer, which runs their second
// step at the start of the next frame.
#include "../render/RecordingRenderer.h"

#include "animation/PostUpdateController.h"
#include "media/ModuleManager.h"
#include "scene/Node.h"

#include <gtest/gtest.h>

#include <string>

namespace nuv {
namespace {

std::string gSteps;

class NamedStep : public PostUpdateController {
public:
    explicit NamedStep(const char* word) : word_(word) {}
    void PostUpdate() override { gSteps += word_ + " "; }

private:
    std::string word_;
};

// Makes a recording renderer the current one for the life of a test.
class CurrentRenderer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(test::UseRecordingRenderer(), 0);
        gSteps.clear();
    }
    void TearDown() override { ModuleManager::DestroyRenderer(); }
};

TEST_F(CurrentRenderer, ActiveControllersRunOncePerFrameInTheOrderTheyCame) {
    Renderer* renderer = ModuleManager::GetRenderer();
    ASSERT_TRUE(renderer);
    Pointer<Node> node(new Node());
    Pointer<NamedStep> first(new NamedStep("first")), second(new NamedStep("second")), off(new NamedStep("off"));
    off->SetActive(false);
    node->AddController(second.Get());
    node->AddController(first.Get());  // the newest applies first
    node->AddController(off.Get());
    node->Update(0.01);
    node->Update(0.01);  // listed once, however often it applies
    EXPECT_EQ(renderer->GetPreRenderCount(), 2);
    EXPECT_EQ(gSteps, "");
    ASSERT_EQ(renderer->BeginFrame(), 0);
    EXPECT_EQ(gSteps, "first second ");
    EXPECT_EQ(renderer->GetPreRenderCount(), 0);
    ASSERT_EQ(renderer->BeginFrame(), 0);
    EXPECT_EQ(gSteps, "first second ");  // the list was emptied
}

TEST(PostUpdateController, WithoutARendererNothingIsListed) {
    ModuleManager::DestroyRenderer();
    Pointer<NamedStep> step(new NamedStep("lonely"));
    step->Apply(0.0);
    EXPECT_EQ(step->GetReferenceCount(), 1);
}

} // namespace
} // namespace nuv
