#pragma once

#include <gtest/gtest.h>

#include "support/fake_fatal.h"
#include "support/scratch.h"

// A test of the file code: a fresh current folder, start settings, no
// fatal_error seen yet; the kept lines freed afterwards.
class scratch_test : public testing::Test {
  protected:
    void SetUp() override {
        enter_scratch_folder();
        reset_app_state();
        last_fatal = fatal_record{};
    }
    void TearDown() override {
        reset_app_state();
    }
};
