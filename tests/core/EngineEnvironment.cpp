// Starts the engine once for a test program, as the host does, so that the class factory
// knows every class linked in.
#include "core/Engine.h"

#include <gtest/gtest.h>

namespace {

class EngineEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(nuv::InitializeEngine(), 0); }
    void TearDown() override { EXPECT_EQ(nuv::ShutdownEngine(), 0); }
};

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new EngineEnvironment);

} // namespace
