// Builds the start-up tables once per test process, as the engine does.
#include <gtest/gtest.h>

#include "Init.h"
#include "Magic.h"

namespace {

struct EngineTables : ::testing::Environment {
    void SetUp() override {
        BuildMagicTables();
        InitTables();
    }
};

[[maybe_unused]] auto* const Registered = ::testing::AddGlobalTestEnvironment(new EngineTables);

}  // namespace
