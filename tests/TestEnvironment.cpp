// Builds the start-up tables once per test process, as the engine does.
#include <gtest/gtest.h>

#include "Magic.h"
#include "Tables.h"

namespace {

struct EngineTables : ::testing::Environment {
    void SetUp() override {
        BuildMagicTables();
        InitTables();
    }
};

[[maybe_unused]] auto* const Registered = ::testing::AddGlobalTestEnvironment(new EngineTables);

}  // namespace
