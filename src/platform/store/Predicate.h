#pragma once

#include "platform/store/TextMatch.h"
#include "platform/store/Value.h"

#include <memory>
#include <ranges>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

class ManagedObject;

// One argument of a predicate format: a value for %@ / %d / %ld (nil allowed) or an array (IN).
class PredicateArgument {
public:
    PredicateArgument() = default;
    template <typename T>
    requires std::constructible_from<Value, const T&> PredicateArgument(const T& v) : value_(v) {}
    template <std::ranges::input_range R>
    requires(!std::constructible_from<Value, const R&> &&
             std::constructible_from<Value, std::ranges::range_reference_t<const R>>) PredicateArgument(const R& values)
        : isArray_(true) {
        for (const auto& v : values) array_.emplace_back(v);
    }

    bool isArray() const { return isArray_; }
    const Value& value() const { return value_; }
    const std::vector<Value>& array() const { return array_; }

private:
    Value value_;
    bool isArray_ = false;
    std::vector<Value> array_;
};

// The parsed form of a predicate. Expressions are key paths (along to-one relationships),
// constants, arguments and aggregates over the whole entity (max(key) / min(key)).
struct PredicateExpression {
    enum class Kind { KeyPath, Constant, Argument, Aggregate };
    enum class Function { Max, Min };
    Kind kind = Kind::Constant;
    std::vector<std::string> keyPath;  // KeyPath, Aggregate
    Value constant;                    // Constant
    int argument = -1;                 // Argument: its position
    char conversion = '@';             // Argument: '@' as given, 'd' integer, 'f' floating
    Function function = Function::Max; // Aggregate
    int aggregate = -1;                // Aggregate: its position in Predicate::aggregates()
};

struct PredicateNode {
    enum class Kind { True, False, And, Or, Not, Comparison };
    enum class Operator {
        Equal,
        NotEqual,
        Less,
        LessEqual,
        Greater,
        GreaterEqual,
        Like,
        Contains,
        BeginsWith,
        EndsWith,
        In
    };
    Kind kind = Kind::True;
    std::vector<PredicateNode> children; // And, Or, Not
    Operator op = Operator::Equal;       // Comparison
    TextOptions options;
    PredicateExpression lhs, rhs;
};

// A predicate in the platform's format syntax, parsed once and kept with its arguments:
//   Predicate::format("terminal.terminalId == %@ && closedOn == nil", terminalId)
// Comparison operators == = != <> < <= > >= LIKE CONTAINS BEGINSWITH ENDSWITH IN with [c], [d],
// [cd]; AND && OR || NOT !; literals nil, YES/NO, numbers and quoted texts; parentheses and NOT
// nested up to 100 deep. A bad format throws std::invalid_argument (a programming error, as on the
// platform).
class Predicate {
public:
    struct Aggregate {
        PredicateExpression::Function function;
        std::vector<std::string> keyPath;
    };
    struct Parsed {
        PredicateNode root;
        std::string key; // the canonical text: one per distinct tree
        int argumentCount = 0;
        std::vector<Aggregate> aggregates;
    };

    template <typename... Args> static Predicate format(std::string_view text, const Args&... args) {
        return withArguments(text, std::vector<PredicateArgument>{PredicateArgument(args)...});
    }
    static Predicate withArguments(std::string_view text, std::vector<PredicateArgument> arguments);
    // How many arguments the format takes.
    static int argumentCount(std::string_view text);
    // Every predicate must hold.
    static Predicate andPredicates(const std::vector<Predicate>& predicates);

    const PredicateNode& root() const { return parsed_->root; }
    const Parsed& parsed() const { return *parsed_; }
    const std::vector<PredicateArgument>& arguments() const { return arguments_; }
    const std::vector<Aggregate>& aggregates() const { return parsed_->aggregates; }
    // The format with its arguments written in: for logs and messages.
    std::string predicateFormat() const;

    // Evaluates on an object in memory; `aggregates` are the values of aggregates() in order
    // (computed over the whole entity by the caller).
    bool evaluate(const ManagedObject& object, const std::vector<Value>& aggregates = {}) const;

    // The argument value that an Argument expression stands for, after its conversion.
    Value argumentValue(const PredicateExpression& e) const;

private:
    Predicate(std::shared_ptr<const Parsed> parsed, std::vector<PredicateArgument> arguments)
        : parsed_(std::move(parsed)), arguments_(std::move(arguments)) {}
    std::shared_ptr<const Parsed> parsed_;
    std::vector<PredicateArgument> arguments_;
};

} // namespace tavlo
