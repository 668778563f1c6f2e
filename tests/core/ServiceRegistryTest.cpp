#include "core/ServiceRegistry.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::vector<std::string> events;

template <int N> struct Service {
    Service() { events.push_back("create " + std::to_string(N)); }
    ~Service() { events.push_back("destroy " + std::to_string(N)); }
};

} // namespace

TEST(ServiceRegistry, CreatedOnFirstUseOnceAndDestroyedInReverse) {
    events.clear();
    {
        KVServiceRegistry registry;
        auto& one = registry.get<Service<1>>();
        registry.get<Service<2>>();
        EXPECT_EQ(&registry.get<Service<1>>(), &one);
        registry.get<Service<3>>();
        EXPECT_EQ(registry.find<Service<4>>(), nullptr);
    }
    EXPECT_EQ(events, (std::vector<std::string>{"create 1", "create 2", "create 3", "destroy 3", "destroy 2",
                                                "destroy 1"}));
}
