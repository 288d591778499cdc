#include "StoreTestModel.h"

#include "platform/store/TextMatch.h"

#include <map>
#include <set>

namespace tavlo::test {
namespace {

// Known rows; each entity's rows are told apart by one text attribute.
void addRows(ObjectContext& c) {
    std::map<std::string, ManagedObjectPtr> o;
    auto make = [&](const char* entity, const char* key, std::vector<std::pair<const char*, Value>> values) {
        auto obj = c.insert(entity);
        for (auto& [k, v] : values) obj->setValue(k, v);
        o[key] = obj;
        return obj;
    };
    make("Terminal", "t1", {{"terminalId", "t1"}, {"name", "Bar"}, {"networkName", "bar.local"}, {"disabled", false}});
    make("Terminal", "t2", {{"terminalId", "t2"}, {"name", "Patio"}, {"disabled", true}});
    make("Terminal", "t3", {{"terminalId", "t3"}, {"name", "Kitchen"}, {"networkName", "k.local"}});
    make("TerminalParam", "p1", {{"name", "TS_UID"}, {"value", "dev1"}})->setToOne("terminal", o["t1"]);
    make("TerminalParam", "p2", {{"name", "HOST_LARCH_URL"}, {"value", "u"}})->setToOne("terminal", o["t2"]);
    make("TerminalParam", "p3", {{"name", "HOST_LARCH_ID"}, {"value", "x"}});
    make("TerminalParam", "p4", {{"name", "HOST_OAK_URL"}, {"value", "y"}});
    make("TerminalParam", "p5", {{"name", "host_larch_lower"}});
    make("Area", "a1", {{"areaId", "a1"}, {"name", "Main"}, {"disabled", false}});
    make("Area", "a2", {{"areaId", "a2"}, {"name", "Terrace"}, {"disabled", true}});
    make("AreaLocation", "l1", {{"areaLocationId", "l1"}, {"seats", 4}})->setToOne("area", o["a1"]);
    make("AreaLocation", "l2", {{"areaLocationId", "l2"}, {"seats", 0}})->setToOne("area", o["a2"]);
    make("AreaLocation", "l3", {{"areaLocationId", "l3"}, {"seats", 2}});
    make("StoreBatch", "b1", {{"remoteId", "1"}, {"batchId", 1}, {"openedOn", Date(1000)}, {"closedOn", Date(2000)}});
    make("StoreBatch", "b2", {{"remoteId", "2"}, {"batchId", 2}, {"openedOn", Date(3000)}});
    make("User", "u1", {{"userId", "u1"}, {"name", "Ann"}});
    make("User", "u2", {{"userId", "u2"}, {"name", "Bob"}});
    auto order = [&](const char* key, std::vector<std::pair<const char*, Value>> values, const char* batch,
                     const char* location, const char* user) {
        values.emplace_back("remoteId", key);
        auto obj = make("Order", key, values);
        if (batch) obj->setToOne("storeBatch", o[batch]);
        if (location) obj->setToOne("areaLocation", o[location]);
        if (user) obj->setToOne("user", o[user]);
    };
    order("o1", {{"name", "\xC3\x81lvarez"}, {"type", 3}, {"closed", Date(2500)}, {"total", 100}, {"storeWide", true}},
          "b1", "l1", "u1");
    order("o2", {{"name", "alvarez"}, {"type", -9}, {"sentDate", Date(2600)}, {"total", 0}, {"storeWide", false}}, "b2",
          nullptr, "u1");
    order("o3", {{"name", "Baker"}, {"type", 3}, {"closed", Date(3500)}, {"total", -5}}, "b2", "l2", "u2");
    order("o4", {{"name", "Carter*"}, {"type", 1}, {"total", 50}}, nullptr, nullptr, nullptr);
}

const std::map<std::string, std::string> kKeys = {{"Terminal", "terminalId"},
                                                  {"TerminalParam", "name"},
                                                  {"AreaLocation", "areaLocationId"},
                                                  {"Order", "remoteId"},
                                                  {"StoreBatch", "remoteId"}};

struct Case {
    const char* entity;
    const char* format;
    std::vector<PredicateArgument> args;
    std::set<std::string> expected;
};

using Names = std::vector<std::string>;

const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        // equality with and without parentheses and blanks
        {"Terminal", "name == %@", {"Bar"}, {"t1"}},
        {"Terminal", "name==%@", {"Bar"}, {"t1"}},
        {"Terminal", "(name == %@)", {"Patio"}, {"t2"}},
        {"Terminal", " terminalId == %@ ", {"t3"}, {"t3"}},
        {"Terminal", "terminalId== %@", {"t3"}, {"t3"}},
        {"Terminal", "TRUEPREDICATE", {}, {"t1", "t2", "t3"}},
        // booleans against texts, literals and arguments; nil tests
        {"Terminal", "networkName != nil and disabled='NO'", {}, {"t1"}},
        {"Terminal", "networkName != nil && disabled='NO'", {}, {"t1"}},
        {"Terminal", "disabled == 'NO'", {}, {"t1"}},
        {"Terminal", "disabled==%@", {"NO"}, {"t1"}},
        {"Terminal", "disabled == YES", {}, {"t2"}},
        {"Terminal", "disabled == nil", {}, {"t3"}},
        {"Terminal", "disabled != nil", {}, {"t1", "t2"}},
        {"Terminal", "networkName == %@", {nullptr}, {"t2"}},
        {"Terminal", "networkName != %@", {"bar.local"}, {"t2", "t3"}},
        // LIKE, CONTAINS, BEGINSWITH with and without [c] / [cd]
        {"Terminal", "(name like 'Bar' || name like 'Patio' || name like 'Kitchen') && networkName == nil", {}, {"t2"}},
        {"Terminal", "name LIKE 'Ba?'", {}, {"t1"}},
        {"Terminal", "name LIKE 'ba*'", {}, {}},
        {"Terminal", "name LIKE[c] 'ba*'", {}, {"t1"}},
        {"Terminal", "name CONTAINS[cd] %@", {"ATI"}, {"t2"}},
        {"TerminalParam", " name LIKE 'HOST_LARCH_*'", {}, {"HOST_LARCH_URL", "HOST_LARCH_ID"}},
        {"TerminalParam",
         "name BEGINSWITH[c] 'host_larch'",
         {},
         {"HOST_LARCH_URL", "HOST_LARCH_ID", "host_larch_lower"}},
        {"Order", "name ==[cd] %@", {"ALVAREZ"}, {"o1", "o2"}},
        {"Order", "name BEGINSWITH[cd] 'a'", {}, {"o1", "o2"}},
        {"Order", "name BEGINSWITH 'a'", {}, {"o2"}},
        {"Order", "name CONTAINS[c] 'LV'", {}, {"o1", "o2"}},
        {"Order", "name ENDSWITH '*'", {}, {"o4"}},
        // IN and NOT IN
        {"Terminal", " NOT (name IN %@)", {Names{"Bar", "Patio"}}, {"t3"}},
        {"Terminal", "NOT (networkName IN %@)", {Names{"bar.local"}}, {"t2", "t3"}},
        {"Terminal", "name IN %@", {Names{}}, {}},
        {"Terminal", "name IN %@", {Names{"Kitchen", "Nope", "Bar"}}, {"t1", "t3"}},
        {"Terminal", "NOT (name IN %@)", {Names{}}, {"t1", "t2", "t3"}},
        // key paths through to-ones, one and more steps; relationships against nil
        {"TerminalParam", "name == %@ AND terminal.terminalId == %@", {"TS_UID", "t1"}, {"TS_UID"}},
        {"TerminalParam", "terminal.terminalId == %@", {"t2"}, {"HOST_LARCH_URL"}},
        {"TerminalParam", "terminal == nil", {}, {"HOST_LARCH_ID", "HOST_OAK_URL", "host_larch_lower"}},
        {"TerminalParam", "terminal.name == nil", {}, {"HOST_LARCH_ID", "HOST_OAK_URL", "host_larch_lower"}},
        {"TerminalParam", "value == %@", {nullptr}, {"host_larch_lower"}},
        {"AreaLocation", "area.disabled='NO'", {}, {"l1"}},
        {"AreaLocation", "seats > 0 AND area.disabled='NO'", {}, {"l1"}},
        {"Order", "storeBatch.remoteId == %@", {"2"}, {"o2", "o3"}},
        {"Order", "storeBatch.batchId == %d", {1}, {"o1"}},
        {"Order", "closed==nil && areaLocation==nil", {}, {"o2", "o4"}},
        {"Order", "closed==nil &&areaLocation==nil", {}, {"o2", "o4"}},
        {"Order", "closed==nil && areaLocation==nil && user.userId==%@", {"u1"}, {"o2"}},
        {"Order", "areaLocation.area.areaId == %@", {"a1"}, {"o1"}},
        {"Order", "user.userId == %@ && closed == nil && sentDate != nil", {"u1"}, {"o2"}},
        // numbers, texts that read as numbers, dates, order comparisons
        {"AreaLocation", "seats > 0", {}, {"l1", "l3"}},
        {"AreaLocation", "seats > %@", {2}, {"l1"}},
        {"AreaLocation", "seats <= 2", {}, {"l2", "l3"}},
        {"AreaLocation", "seats >= %d", {4}, {"l1"}},
        {"AreaLocation", "seats < %@", {"3"}, {"l2", "l3"}},
        {"Order", "type == %@", {"3"}, {"o1", "o3"}},
        {"Order", "type == %d", {3}, {"o1", "o3"}},
        {"Order", "type == %ld", {int64_t{-9}}, {"o2"}},
        {"Order", "total > -1", {}, {"o1", "o2", "o4"}},
        {"Order", "total < %@", {0}, {"o3"}},
        {"Order", "closed == %@", {Date(2500)}, {"o1"}},
        {"Order", "(closed == %@)", {Date(2500)}, {"o1"}},
        {"Order", "closed > %@", {Date(2000)}, {"o1", "o3"}},
        {"Order", "closed <= %@", {Date(2500)}, {"o1"}},
        {"Order", "closed != nil", {}, {"o1", "o3"}},
        {"Order", "sentDate != nil", {}, {"o2"}},
        {"Order", "storeWide == YES", {}, {"o1"}},
        {"Order", "remoteId == %@ OR name == %@", {"o4", "Baker"}, {"o3", "o4"}},
        {"Order", "%@ == remoteId", {"o1"}, {"o1"}},
        {"Order", "remoteId == %@", {nullptr}, {}},
        {"StoreBatch", "closedOn == nil", {}, {"2"}},
        {"StoreBatch", "closedOn==nil", {}, {"2"}},
        {"StoreBatch", "(openedOn == %@)", {Date(1000)}, {"1"}},
        {"StoreBatch", "batchId==%ld", {2}, {"2"}},
        {"StoreBatch", "remoteId == %@", {2}, {"2"}},
        // aggregates over the whole entity, whatever the other conjunct keeps
        {"StoreBatch", "max(openedOn) == openedOn", {}, {"2"}},
        {"Order", "max(closed) == closed", {}, {"o3"}},
        {"Order", "min(closed) == closed && sentDate == nil", {}, {"o1"}},
        {"Order", "max(closed) == closed && storeBatch.remoteId == %@", {"1"}, {}},
        {"Order", "max(closed) == closed && storeBatch.remoteId == %@", {"2"}, {"o3"}},
        {"AreaLocation", "max(seats) == seats", {}, {"l1"}},
    };
    return all;
}

std::set<std::string> keysOf(const std::string& entity, const std::vector<ManagedObjectPtr>& objects) {
    std::set<std::string> out;
    for (const auto& o : objects) out.insert(o->text(kKeys.at(entity)).value_or("?"));
    return out;
}

TEST_F(StoreTest, EveryPredicateFormGivesTheExpectedRowsFromSqlAndInMemory) {
    {
        auto c = newContext();
        addRows(*c);
        ASSERT_TRUE(c->save());
    }
    auto saved = newContext();
    // The same rows, never saved, in an empty store: every fetch is judged in memory.
    Error error;
    auto empty = ObjectStore::open(storeTestModel(), home.path() / "unsaved.sqlite", &error);
    ASSERT_TRUE(empty) << error.localizedDescription();
    ObjectContext unsaved(empty);
    addRows(unsaved);

    for (const Case& k : cases()) {
        SCOPED_TRACE(std::string(k.entity) + ": " + k.format);
        FetchRequest request(k.entity, Predicate::withArguments(k.format, k.args));
        Error fetchError;
        EXPECT_EQ(keysOf(k.entity, saved->fetch(request, &fetchError)), k.expected);
        EXPECT_FALSE(fetchError.isSet()) << fetchError.localizedDescription();
        EXPECT_EQ(keysOf(k.entity, unsaved.fetch(request)), k.expected);
        EXPECT_EQ(saved->count(request), k.expected.size());
        EXPECT_EQ(unsaved.count(request), k.expected.size());
    }
}

TEST_F(StoreTest, SortsAcrossToOnesAgreeBetweenSqlAndMemory) {
    {
        auto c = newContext();
        addRows(*c);
        ASSERT_TRUE(c->save());
    }
    auto saved = newContext();
    auto empty = ObjectStore::open(storeTestModel(), home.path() / "unsaved.sqlite", nullptr);
    ObjectContext unsaved(empty);
    addRows(unsaved);
    std::vector<std::vector<SortDescriptor>> sorts = {
        {{"storeBatch.remoteId"}, {"name", false}},
        {{"name", true, true}},
        {{"closed", false}},
        {{"areaLocation.area.name"}, {"total"}},
    };
    for (const auto& s : sorts) {
        FetchRequest request("Order", std::nullopt, s);
        auto order = [&](ObjectContext& c) {
            std::vector<std::string> keys;
            for (auto& o : c.fetch(request)) keys.push_back(*o->text("remoteId"));
            return keys;
        };
        EXPECT_EQ(order(*saved), order(unsaved)) << s[0].keyPath;
    }
    // nil first when ascending, last when descending
    FetchRequest byClosed("Order", std::nullopt, {{"closed"}, {"remoteId"}});
    auto first = saved->fetch(byClosed);
    EXPECT_EQ(first.front()->text("remoteId"), "o2");
    EXPECT_EQ(first.back()->text("remoteId"), "o3");
}

TEST(PredicateTest, TextMatchesFoldAsciiAndOtherTextsAlike) {
    struct FoldCase {
        TextOperator op;
        const char* text;
        const char* pattern;
        TextOptions options;
        bool matches;
    };
    const TextOptions none{}, c{true, false}, cd{true, true};
    const FoldCase cases[] = {
        {TextOperator::Contains, "Jonsson12", "SSON1", c, true},
        {TextOperator::Contains, "Jonsson12", "SSON1", none, false},
        {TextOperator::Contains, "Jonsson12", "", c, true},
        {TextOperator::Contains, "Jon", "Jonsson", c, false},
        {TextOperator::Contains, "Jónsson", "jons", cd, true},
        {TextOperator::Contains, "Jónsson", "jons", c, false},
        {TextOperator::BeginsWith, "Baker", "bA", c, true},
        {TextOperator::EndsWith, "Baker", "KER", c, true},
        {TextOperator::EndsWith, "er", "baker", c, false},
        {TextOperator::Equal, "BAKER", "baker", c, true},
        {TextOperator::Equal, "BAKER", "bake", c, false},
        {TextOperator::Like, "Baker", "b*R", c, true},
    };
    for (const FoldCase& k : cases)
        EXPECT_EQ(textMatches(k.op, k.text, k.pattern, k.options), k.matches) << k.text << " / " << k.pattern;
}

TEST(PredicateTest, ParsesOnceAndWritesItselfBack) {
    auto p = Predicate::format("user.userId == %@ && end == nil && endReconciled == nil", "u1");
    EXPECT_EQ(p.predicateFormat(), "(user.userId == \"u1\") AND (end == nil) AND (endReconciled == nil)");
    auto q = Predicate::format("user.userId == %@ && end == nil && endReconciled == nil", "u2");
    EXPECT_EQ(&p.root(), &q.root()); // one parse per format text
    auto both = Predicate::andPredicates({Predicate::format("name == %@", "a"), Predicate::format("seats > %d", 2)});
    EXPECT_EQ(both.predicateFormat(), "(name == \"a\") AND (seats > 2)");
    for (const char* bad : {"", "name ==", "name == 'x", "(name == %@", "name == %q", "== %@", "name ~ 3", "AND == 3",
                            "name LIKE[x] 'a'", "max(name == 3"})
        EXPECT_THROW(Predicate::withArguments(bad, {PredicateArgument("a")}), std::invalid_argument) << bad;
    // Numbers that cannot be read are a bad format too, not a half-read value or another exception.
    for (const char* bad : {"seats == 1.2.3", "seats == 99999999999999999999", "seats > 1e", "seats < -"})
        EXPECT_THROW(Predicate::withArguments(bad, {}), std::invalid_argument) << bad;
}

TEST(PredicateTest, NestingIsRefusedPastTheLimitInsteadOfExhaustingTheStack) {
    struct NestingCase {
        const char* open;
        const char* close;
        int levelsEach;
    };
    for (const NestingCase& c : {NestingCase{"(", ")", 1}, NestingCase{"NOT ", "", 1}, NestingCase{"!(", ")", 2}}) {
        const auto nested = [&](int count) {
            std::string text;
            for (int i = 0; i < count; ++i) text += c.open;
            text += "seats == 2";
            for (int i = 0; i < count; ++i) text += c.close;
            return text;
        };
        const int atLimit = 100 / c.levelsEach;
        EXPECT_NO_THROW(Predicate::format(nested(atLimit))) << c.open;
        for (int count : {atLimit + 1, 100'000})
            EXPECT_THROW(Predicate::format(nested(count)), std::invalid_argument) << c.open << " x " << count;
    }
    // Terms side by side are not nested.
    std::string wide = "(seats == 0)";
    for (int i = 1; i < 500; ++i) wide += " OR (seats == " + std::to_string(i) + ")";
    EXPECT_EQ(Predicate::format(wide).root().children.size(), 500u);
}

} // namespace
} // namespace tavlo::test
