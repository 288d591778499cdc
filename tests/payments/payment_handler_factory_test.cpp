#include "payments/PaymentHandlerFactory.h"

#include "payments/LarchHandler.h"

#include "CardStore.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace tavlo::test {
namespace {

TEST(PaymentHandlerFactoryTest, RaisesBeforeItsInitialiser) {
    // A process of its own, where no test made the factory yet.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            try {
                PaymentHandlerFactory::getInstance();
            } catch (const InconsistencyError& e) {
                std::fputs(e.what(), stderr);
                std::_Exit(0);
            }
            std::_Exit(1);
        },
        ::testing::ExitedWithCode(0),
        "^\\[PaymentHandlerFactory getInstance\\] cannot be called until the init method has been called once$");
}

TEST(PaymentHandlerFactoryTest, FindsAHandlerWhateverTheCase) {
    TempHome home;
    auto store = ObjectStore::open(LocalStoreModel::build(), ObjectStore::defaultPath(), nullptr);
    ASSERT_TRUE(store);
    ObjectContext main(store);
    PaymentHandlerFactory& factory = PaymentHandlerFactory::initWithMOC(&main);
    EXPECT_EQ(&PaymentHandlerFactory::getInstance(), &factory);
    EXPECT_EQ(factory.managedObjectContext(), &main);

    int made = 0;
    factory.registerHandler("Fake", [&](ObjectContext* context) {
        ++made;
        return std::make_shared<FakePaymentHandler>(context);
    });
    factory.registerHandler("broken", [](ObjectContext*) { return nullptr; });

    std::shared_ptr<PaymentHandlerAdapter> handler = factory.getPaymentHandler("fake");
    ASSERT_TRUE(handler);
    EXPECT_EQ(handler->hostName(), "FAKE");
    EXPECT_EQ(handler->managedObjectContext(), &main);
    for (const char* name : {"FAKE", "Fake", "fAkE"}) EXPECT_EQ(factory.getPaymentHandler(name), handler) << name;
    EXPECT_EQ(made, 1);

    EXPECT_FALSE(factory.getPaymentHandler(std::nullopt));
    EXPECT_FALSE(factory.getPaymentHandler("VISA"));
    EXPECT_FALSE(factory.getPaymentHandler(""));
    EXPECT_FALSE(factory.getPaymentHandler("broken"));
    EXPECT_EQ(made, 1);

    // The Larch gateway's handler is known from the start.
    std::shared_ptr<PaymentHandlerAdapter> larch = factory.getPaymentHandler("larch");
    ASSERT_TRUE(std::dynamic_pointer_cast<LarchHandler>(larch));
    EXPECT_EQ(larch->hostName(), "LARCH");
    for (const char* name : {"LARCH", "Larch"}) EXPECT_EQ(factory.getPaymentHandler(name), larch) << name;
}

TEST(PaymentHandlerFactoryTest, HandlersFollowTheContextTheFactoryIsGiven) {
    TempHome home;
    auto store = ObjectStore::open(LocalStoreModel::build(), ObjectStore::defaultPath(), nullptr);
    ASSERT_TRUE(store);
    auto first = std::make_unique<ObjectContext>(store);
    PaymentHandlerFactory& factory = PaymentHandlerFactory::initWithMOC(first.get());
    std::shared_ptr<PaymentHandlerAdapter> old = factory.getPaymentHandler("LARCH");
    ASSERT_TRUE(old);
    EXPECT_EQ(old->managedObjectContext(), first.get());

    // The store opened again: the first context is gone, and no handler may still use it.
    first.reset();
    ObjectContext second(store);
    EXPECT_EQ(&PaymentHandlerFactory::initWithMOC(&second), &factory);
    EXPECT_EQ(factory.managedObjectContext(), &second);
    std::shared_ptr<PaymentHandlerAdapter> now = factory.getPaymentHandler("larch");
    ASSERT_TRUE(now);
    EXPECT_NE(now, old);
    EXPECT_EQ(now->managedObjectContext(), &second);
    EXPECT_EQ(factory.getPaymentHandler("LARCH"), now); // kept again for this context

    // A thread's own handler: made for the context it is given, and kept by nobody.
    ObjectContext threads(store);
    std::shared_ptr<PaymentHandlerAdapter> own = factory.makePaymentHandler("Larch", &threads);
    ASSERT_TRUE(std::dynamic_pointer_cast<LarchHandler>(own));
    EXPECT_EQ(own->managedObjectContext(), &threads);
    EXPECT_NE(own, factory.makePaymentHandler("LARCH", &threads));
    EXPECT_EQ(factory.getPaymentHandler("LARCH"), now);
    EXPECT_FALSE(factory.makePaymentHandler("VISA", &threads));
    EXPECT_FALSE(factory.makePaymentHandler(std::nullopt, &threads));
}

} // namespace
} // namespace tavlo::test
