#pragma once

// Helpers shared by the persistence tests: request documents parsed back, contexts on the test
// store, and the few rows records link to.

#include "core/order/ComboSelection.h"
#include "platform/store/ObjectContext.h"
#include "support/LocalStoreScope.h"
#include "xml/XmlHelper.h"

#include <gtest/gtest.h>
#include <libxml/tree.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::test {

// A request document parsed back: `record` is the one element under the `tavloRequest` root.
struct ParsedRequest {
    XmlDocPtr doc;
    xmlNodePtr root = nullptr;
    xmlNodePtr record = nullptr;

    explicit ParsedRequest(const std::optional<std::string>& text) {
        if (!text) return;
        doc = XmlHelper::parse(*text);
        if (!doc) return;
        root = xmlDocGetRootElement(doc.get());
        for (xmlNodePtr n = root ? root->children : nullptr; n && !record; n = n->next)
            if (n->type == XML_ELEMENT_NODE) record = n;
    }
    std::optional<std::string> text(const char* name) const {
        return XmlHelper::getChildValue(doc.get(), record, name);
    }
    std::optional<std::string> attribute(const char* name) const { return XmlHelper::getAttributeValue(record, name); }
};

// The names of an element's child elements, in document order.
inline std::vector<std::string> childNames(xmlNodePtr element) {
    std::vector<std::string> names;
    for (xmlNodePtr n = element ? element->children : nullptr; n; n = n->next)
        if (n->type == XML_ELEMENT_NODE) names.emplace_back(reinterpret_cast<const char*>(n->name));
    return names;
}

// A second context on the test store: what another thread or a later run would read.
inline std::unique_ptr<ObjectContext> otherContext(const LocalStoreScope& scope) {
    return std::make_unique<ObjectContext>(scope.context()->store());
}

inline ManagedObjectPtr addRow(ObjectContext& context, const char* entity, const char* key, const std::string& id) {
    ManagedObjectPtr row = context.insert(entity);
    row->setValue(key, id);
    return row;
}

inline ManagedObjectPtr addUser(ObjectContext& context, const std::string& userId) {
    return addRow(context, "User", "userId", userId);
}

inline std::vector<std::pair<std::string, int32_t>> sorted(const TaxAmounts& amounts) {
    std::vector<std::pair<std::string, int32_t>> v(amounts.begin(), amounts.end());
    std::sort(v.begin(), v.end());
    return v;
}

// What of a line a reader reads back: every field the local store keeps, or only those a figure
// or report uses (StoredOrders: not the seat, the course, the comment, the comp's description or
// who ordered it, which read as none).
enum class LineFields { Stored, Figures };

// Every field of a line that the local store keeps, with its preparations, sides and combo parts.
// (`itemId`, `referenceId` and `newQuantity` are not kept; a part's group comes back from its link.)
inline void expectSameStoredLine(const Selection& got, const Selection& want, const std::string& where = "line",
                                 LineFields fields = LineFields::Stored) {
    SCOPED_TRACE(where + " " + want.remoteId().value_or("?"));
    EXPECT_EQ(got.remoteId(), want.remoteId());
    EXPECT_EQ(got.name(), want.name());
    EXPECT_EQ(got.recipeId(), want.recipeId());
    EXPECT_EQ(got.menuId(), want.menuId());
    EXPECT_EQ(got.price(), want.price());
    EXPECT_EQ(got.additionPrice(), want.additionPrice());
    if (fields == LineFields::Stored) {
        EXPECT_EQ(got.comment(), want.comment());
        EXPECT_EQ(got.seat(), want.seat());
        EXPECT_EQ(got.course(), want.course());
        EXPECT_EQ(got.compDescription(), want.compDescription());
        EXPECT_EQ(got.orderedBy(), want.orderedBy());
    } else {
        EXPECT_EQ(got.comment(), std::nullopt);
        EXPECT_EQ(got.seat(), 0);
        EXPECT_EQ(got.course(), 0);
        EXPECT_EQ(got.compDescription(), std::nullopt);
        EXPECT_EQ(got.orderedBy(), std::nullopt);
    }
    EXPECT_EQ(got.quantity(), want.quantity());
    EXPECT_EQ(got.multiplier(), want.multiplier());
    EXPECT_EQ(got.includedSides(), want.includedSides());
    EXPECT_EQ(got.defaultSideCount(), want.defaultSideCount());
    EXPECT_EQ(got.taxIncluded(), want.taxIncluded());
    EXPECT_EQ(got.compName(), want.compName());
    EXPECT_EQ(got.compPercent(), want.compPercent());
    EXPECT_EQ(got.compBy(), want.compBy());
    EXPECT_EQ(got.created(), want.created());
    EXPECT_EQ(got.deleted(), want.deleted());
    EXPECT_EQ(got.newQuantity(), 0);
    EXPECT_FALSE(got.new_());
    EXPECT_FALSE(got.modified());
    EXPECT_EQ(got.taxExemptions(), want.taxExemptions());
    EXPECT_EQ(got.defaultTaxExemptions(), want.defaultTaxExemptions());
    EXPECT_EQ(sorted(got.predefinedTaxes()), sorted(want.predefinedTaxes()));
    EXPECT_EQ(sorted(got.additionPredefinedTaxes()), sorted(want.additionPredefinedTaxes()));
    ASSERT_EQ(got.selectedPreparations().size(), want.selectedPreparations().size());
    for (size_t i = 0; i < want.selectedPreparations().size(); ++i) {
        const Preparation& g = got.selectedPreparations()[i];
        const Preparation& w = want.selectedPreparations()[i];
        EXPECT_EQ(g.preparationId(), w.preparationId());
        EXPECT_EQ(g.charge(), w.charge());
        EXPECT_EQ(sorted(g.predefinedTaxes()), sorted(w.predefinedTaxes()));
    }
    ASSERT_EQ(got.selectedSides().size(), want.selectedSides().size());
    for (size_t i = 0; i < want.selectedSides().size(); ++i)
        expectSameStoredLine(*got.selectedSides()[i], *want.selectedSides()[i], "side", fields);
    auto* wantCombo = dynamic_cast<const ComboSelection*>(&want);
    auto* gotCombo = dynamic_cast<const ComboSelection*>(&got);
    ASSERT_EQ(gotCombo != nullptr, wantCombo != nullptr);
    if (!wantCombo) return;
    ASSERT_EQ(gotCombo->selections().size(), wantCombo->selections().size());
    for (size_t i = 0; i < wantCombo->selections().size(); ++i)
        expectSameStoredLine(*gotCombo->selections()[i], *wantCombo->selections()[i], "part", fields);
    // An emptied group keeps its list in memory; the store has nothing for it.
    auto groups = [](const ComboSelection& c) {
        std::vector<std::string> names;
        for (const std::string& g : c.getGroups())
            if (c.getSelectionCount(g) > 0) names.push_back(g);
        return names;
    };
    ASSERT_EQ(groups(*gotCombo), groups(*wantCombo));
    for (const std::string& group : groups(*wantCombo)) {
        const auto& g = *gotCombo->getSelections(group);
        const auto& w = *wantCombo->getSelections(group);
        ASSERT_EQ(g.size(), w.size());
        for (size_t i = 0; i < w.size(); ++i) {
            expectSameStoredLine(*g[i], *w[i], "group part", fields);
            EXPECT_EQ(g[i]->referenceId(), group);
        }
    }
}

// The store rows lines link to: users, recipes and preparations.
inline void addCatalogue(ObjectContext& context) {
    for (const char* user : {"u1", "u2", "mgr"}) addUser(context, user);
    for (const char* recipe : {"r-burger", "r-fries", "r-salad", "r-slaw", "r-wrap", "r-soda", "r-tea", "r-cake"})
        addRow(context, "Recipe", "recipeId", recipe);
    for (const char* preparation : {"p-rare", "p-nosalt", "p-extra"})
        addRow(context, "Preparation", "preparationId", preparation);
}

inline SelectionPtr makeLine(const std::string& remoteId, const std::string& recipeId, int32_t price) {
    auto line = std::make_shared<Selection>();
    line->setRemoteId(remoteId);
    line->setRecipeId(recipeId);
    line->setMenuId("m-lunch");
    line->setName("Line " + recipeId);
    line->setPrice(price);
    line->setOrderedBy("u1");
    line->setNewQuantity(1);
    return line;
}

// A burger with two sides (the fries within the allowance, two salads charged), two preparations
// with fixed taxes, exemptions, fixed and addition taxes and a comp.
inline SelectionPtr makeBurger(const std::string& id = "sel-burger") {
    SelectionPtr line = makeLine(id, "r-burger", 1295);
    line->setComment("No onions");
    line->setSeat(2);
    line->setCourse(1);
    line->setQuantity(2);
    line->setMultiplier(150);
    line->setIncludedSides(1);
    line->setDefaultSideCount(1);
    line->setTaxIncluded(false);
    line->setCompName("Birthday");
    line->setCompDescription("Guest's birthday");
    line->setCompPercent(5000);
    line->setCompBy("mgr");
    Preparation rare("p-rare", 0);
    rare.setPredefinedTax(0, "City");
    Preparation extra("p-extra", 150);
    extra.setPredefinedTax(12, "State");
    line->addPreparation(rare);
    line->addPreparation(extra);
    line->addTaxExemption("City");
    line->addDefaultTaxExemption("Liquor");
    line->setPredefinedTax(25, "State");
    line->setAdditionPredefinedTax(5, "State");
    line->setAdditionPredefinedTax(3, "County");
    SelectionPtr fries = makeLine(id + "-fries", "r-fries", 300);
    fries->setAdditionPrice(0);
    SelectionPtr salad = makeLine(id + "-salad", "r-salad", 450);
    salad->setAdditionPrice(200);
    salad->setQuantity(2);
    salad->addPreparation(Preparation("p-nosalt", 0));
    line->addSide(fries);
    line->addSide(salad);
    return line;
}

// A combo with one fixed part and one part in the drinks group.
inline std::shared_ptr<ComboSelection> makeCombo(const std::string& id = "sel-combo") {
    auto combo = std::make_shared<ComboSelection>();
    combo->setRemoteId(id);
    combo->setMenuId("m-lunch");
    combo->setName("Wrap combo");
    combo->setPrice(899);
    combo->setOrderedBy("u1");
    combo->setNewQuantity(1);
    SelectionPtr wrap = makeLine(id + "-wrap", "r-wrap", 0);
    wrap->addSide(makeLine(id + "-wrap-slaw", "r-slaw", 100));
    combo->addSelection(wrap);
    SelectionPtr soda = makeLine(id + "-soda", "r-soda", 0);
    soda->setAdditionPrice(150);
    combo->addSelection(soda, "g-drinks");
    return combo;
}

// 1 January 1965, 00:00 UTC.
inline Date date1965() { return Date(-157766400.0); }

} // namespace tavlo::test
