#pragma once

#include "conditions/ConditionEnvironment.h"
#include "core/KVPtr.h"
#include "support/FakeHook.h"
#include "support/FakeSources.h"

#include <gtest/gtest.h>

// A condition environment whose every source is a fake the test drives.
struct ConditionFixture : ::testing::Test {
    KVFakeHook hook;
    KVFakeKeyboardState keyboard;
    KVFakeApplicationState applications;
    KVFakeLayoutSource layouts;
    KVPtr<KVConditionEnvironment> environment = std::make_shared<KVConditionEnvironment>(
        KVConditionEnvironment{&hook, &keyboard, &applications, &layouts});
};
