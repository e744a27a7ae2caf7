// The SDL engine window, on SDL's offscreen driver.
#include "platform/SystemWindow.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace nuv {
namespace {

class SystemWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        unsetenv("DISPLAY");
    }
};

TEST_F(SystemWindowTest, FullScreenAndWindowedWindowsTakeTheirSizeAndGo) {
    void* window = nullptr;
    EXPECT_EQ(CreateSystemWindow(nullptr, String("t"), nullptr, false, 32, 0, 0, 10, 10), 3);
    ASSERT_EQ(CreateSystemWindow(&window, String("Full"), nullptr, true, 32, 0, 0, 320, 200), 0);
    ASSERT_NE(window, nullptr);
    int w = 0, h = 0;
    SDL_GetWindowSize(static_cast<SDL_Window*>(window), &w, &h);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 200);
    EXPECT_TRUE(SDL_GetWindowFlags(static_cast<SDL_Window*>(window)) & SDL_WINDOW_OPENGL);
    EXPECT_EQ(DestroySystemWindow(window), 0);
    // Gone: a second destroy is a failure, a null window only a warning.
    EXPECT_EQ(DestroySystemWindow(window), 1);
    EXPECT_EQ(DestroySystemWindow(nullptr), 0);

    ASSERT_EQ(CreateSystemWindow(&window, String("Windowed"), nullptr, false, 32, 5, 6, 100, 80), 0);
    SDL_GetWindowSize(static_cast<SDL_Window*>(window), &w, &h);
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 80);
    EXPECT_EQ(DestroySystemWindow(window), 0);
    // Every window let go of the video subsystem it took.
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
}

} // namespace
} // namespace nuv
