// Tests of the install steps on the real registry and files of a Wine
// prefix. They change the prefix, so they run only where it is the run's own
// (VELMORA_FRESH_PREFIX=1: tests/servers/run_unit.py gives each run a warm
// session that is put back afterwards); anywhere else they fail in set-up.
#pragma once
#include <gtest/gtest.h>
#include "test_support.h"

class PrefixTest : public ::testing::Test {
protected:
    void SetUp() final {
        ASSERT_TRUE(OnFreshPrefix()) << "changes the prefix: run in a prefix of the run's own (VELMORA_FRESH_PREFIX=1)";
        Prepare();
    }
    void TearDown() final {
        if (OnFreshPrefix()) Clean();
    }
    virtual void Prepare() {}
    virtual void Clean() {}
};
