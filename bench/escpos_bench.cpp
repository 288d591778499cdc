// Printing speed. A picture on a receipt is turned into ESC/POS raster bands while the person at
// the terminal waits: goal under 5 ms for a full-width 576 x 800 picture. A kitchen ticket is
// composed for every kitchen printer of every order sent: one ticket of a 30-line order, with the
// store look-ups it makes (server, recipe descriptions, preparations, settings), timed on its own.
#include "core/order/Order.h"
#include "core/session/DBHelper.h"
#include "core/session/Session.h"
#include "platform/graphics/PixelImage.h"
#include "platform/store/ObjectContext.h"
#include "printing/EscPosCommands.h"
#include "printing/KitchenAnnouncer.h"
#include "printing/KitchenTicketOutput.h"
#include "support/StoreFixture.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

using namespace tavlo;

// A 576 x 800 picture of grey diagonal stripes with a transparent margin: every pixel's test runs
// and the bands are neither all white nor all black.
PixelImage stripes() {
    PixelImage picture(576, 800);
    for (int y = 40; y < 760; ++y) {
        for (int x = 16; x < 560; ++x) {
            uint8_t* p = picture.pixel(x, y);
            uint8_t level = ((x + y) / 12) % 2 ? 40 : 230;
            p[0] = p[1] = p[2] = level;
            p[3] = 255;
        }
    }
    return picture;
}

void BM_RasterOfAFullWidthPicture(benchmark::State& state) {
    const PixelImage picture = stripes();
    for (auto _ : state) {
        EscPosCommands commands;
        commands.image(picture);
        benchmark::DoNotOptimize(commands.data().data());
    }
}
BENCHMARK(BM_RasterOfAFullWidthPicture)->Unit(benchmark::kMillisecond);

void BM_KitchenTicketOfThirtyLines(benchmark::State& state) {
    test::StoreFixture store;
    store.buildSmallStore();
    ObjectContext* context = store.context().get();
    for (int i = 0; i < 10; ++i) {
        ManagedObjectPtr recipe = context->insert("Recipe");
        recipe->setValue("recipeId", "R" + std::to_string(i));
        recipe->setValue("descript", "Recipe description " + std::to_string(i));
        ManagedObjectPtr preparation = context->insert("Preparation");
        preparation->setValue("preparationId", "P" + std::to_string(i));
        preparation->setValue("name", "Preparation " + std::to_string(i));
    }
    DBHelper::saveStoreParam("ANNOUNCER_SHOW_RECIPE_DESCRIPTION", std::string("YES"), context);
    DBHelper::saveStoreParam("DINE_IN_KITCHEN_COLOR", std::string("1"), context);
    store.save();

    Order order;
    order.setName("Table 40");
    order.setOrderType(OrderType::DineIn);
    order.setServerId("U-ANN");
    std::vector<std::string> recipes;
    for (int i = 0; i < 10; ++i) recipes.push_back("R" + std::to_string(i));
    for (int i = 0; i < 30; ++i) {
        auto line = std::make_shared<Selection>();
        line->setName("Item " + std::to_string(i));
        line->setRecipeId("R" + std::to_string(i % 10));
        line->setNewQuantity(1 + i % 3);
        if (i % 3 == 0) line->setComment("no salt, sauce on the side");
        line->addPreparation(Preparation("P" + std::to_string(i % 10)));
        auto side = std::make_shared<Selection>();
        side->setName("Side " + std::to_string(i));
        line->addSide(side);
        order.addSelection(line, nullptr);
    }
    Session session(context);
    KitchenAnnouncer announcer(session);
    size_t size = 0;
    for (auto _ : state) {
        EscPosTicketOutput ticket;
        announcer.writeTicket(order, "Grill", recipes, false, 1, 2, ticket);
        size = ticket.commands().size();
        benchmark::DoNotOptimize(ticket.commands().data().data());
    }
    state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_KitchenTicketOfThirtyLines)->Unit(benchmark::kMicrosecond);

} // namespace
