#include "mt/core/ServiceRegistry.h"

#include <gtest/gtest.h>

#include <memory>

using mt::ServiceRegistry;

TEST(ServiceRegistry, FreshRegistryIsEmpty) {
    auto registry = std::make_unique<ServiceRegistry>();
    for (int id = 0; id < ServiceRegistry::SLOT_COUNT; ++id) ASSERT_EQ(registry->getService(id), nullptr) << id;
}

TEST(ServiceRegistry, RegisterReplaceAndUnregister) {
    auto registry = std::make_unique<ServiceRegistry>();
    int first = 1, second = 2;
    EXPECT_FALSE(registry->registerService(nullptr, mt::SERVICE_FILE_MANAGER));
    EXPECT_EQ(registry->getService(18), nullptr);
    EXPECT_TRUE(registry->registerService(&first, 18));
    EXPECT_FALSE(registry->registerService(nullptr, 18));
    EXPECT_EQ(registry->getService(18), &first);
    EXPECT_TRUE(registry->registerService(&second, 18));
    EXPECT_EQ(registry->getService(18), &second);
    EXPECT_TRUE(registry->unregisterService(18));
    EXPECT_FALSE(registry->unregisterService(18));
    EXPECT_EQ(registry->getService(18), nullptr);
}

TEST(ServiceRegistry, IdsOutsideTheTableAreRefused) {
    auto registry = std::make_unique<ServiceRegistry>();
    int service = 0;
    EXPECT_FALSE(registry->registerService(&service, -1));
    EXPECT_FALSE(registry->registerService(&service, ServiceRegistry::SLOT_COUNT));
    EXPECT_TRUE(registry->registerService(&service, ServiceRegistry::SLOT_COUNT - 1));
    EXPECT_EQ(registry->getService(ServiceRegistry::SLOT_COUNT), nullptr);
    EXPECT_FALSE(registry->unregisterService(5000));
}

TEST(ServiceRegistry, GlobalLookupNeedsAPublishedRegistry) {
    ASSERT_EQ(mt::g_serviceRegistry, nullptr);
    EXPECT_EQ(mt::findService(18), nullptr);
    ServiceRegistry registry;
    int manager = 0;
    registry.registerService(&manager, 18);
    mt::g_serviceRegistry = &registry;
    EXPECT_EQ(mt::findService(18), &manager);
    mt::g_serviceRegistry = nullptr;
}
