#include "platform/store/PredicateEvaluation.h"

#include "platform/foundation/Text.h"
#include "platform/store/ManagedObject.h"

#include <cctype>
#include <stdexcept>

namespace tavlo {

namespace {

bool readsAsInteger(const std::string& t) {
    std::string s = trim(t);
    if (s.empty()) return false;
    size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
    if (i == s.size()) return false;
    for (; i < s.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    return true;
}

} // namespace

Value coerceForAttribute(const Value& v, AttributeType type) {
    using K = Value::Kind;
    if (v.isNil()) return v;
    auto bad = [&]() -> Value {
        throw std::invalid_argument("Cannot compare \"" + v.description() + "\" with an attribute of this type");
    };
    switch (type) {
    case AttributeType::Text:
        if (v.kind() == K::Text) return v;
        if (v.kind() == K::Date || v.kind() == K::Binary) return bad();
        return v.description();
    case AttributeType::Int16:
    case AttributeType::Int32:
    case AttributeType::Int64:
        switch (v.kind()) {
        case K::Integer: return v;
        case K::Boolean: return v.integer();
        case K::Real: return v.real() == static_cast<double>(v.integer()) ? Value(v.integer()) : v;
        case K::Text: return readsAsInteger(*v.textPointer()) ? Value(v.integer()) : Value(v.real());
        case K::Date: return v.real();
        default: return bad();
        }
    case AttributeType::Boolean:
        if (v.kind() == K::Date || v.kind() == K::Binary) return bad();
        return v.boolean();
    case AttributeType::Double:
    case AttributeType::Decimal:
        if (v.kind() == K::Binary) return bad();
        return v.real();
    case AttributeType::Date:
        if (v.kind() == K::Date) return v;
        if (v.kind() == K::Integer || v.kind() == K::Real) return Date(v.real());
        return bad();
    case AttributeType::Binary:
        if (v.kind() == K::Binary) return v;
        return bad();
    }
    return v;
}

int compareValues(const Value& a, const Value& b, bool caseInsensitive) {
    using K = Value::Kind;
    if (a.kind() == K::Text && b.kind() == K::Text) {
        const std::string& x = *a.textPointer();
        const std::string& y = *b.textPointer();
        if (!caseInsensitive) {
            int c = x.compare(y);
            return c < 0 ? -1 : c > 0 ? 1 : 0;
        }
        size_t n = std::min(x.size(), y.size());
        for (size_t i = 0; i < n; ++i) {
            int cx = std::tolower(static_cast<unsigned char>(x[i]));
            int cy = std::tolower(static_cast<unsigned char>(y[i]));
            if (cx != cy) return cx < cy ? -1 : 1;
        }
        return x.size() < y.size() ? -1 : x.size() > y.size() ? 1 : 0;
    }
    if (a.kind() == K::Binary && b.kind() == K::Binary) {
        auto x = *a.binary(), y = *b.binary();
        return x < y ? -1 : y < x ? 1 : 0;
    }
    if (a.kind() == K::Integer && b.kind() == K::Integer) {
        return a.integer() < b.integer() ? -1 : a.integer() > b.integer() ? 1 : 0;
    }
    double x = a.real(), y = b.real();
    return x < y ? -1 : x > y ? 1 : 0;
}

KeyPathTarget resolveKeyPath(const EntityDescription& entity, const std::vector<std::string>& path) {
    const EntityDescription* e = &entity;
    KeyPathTarget out;
    for (size_t i = 0; i < path.size(); ++i) {
        bool last = i + 1 == path.size();
        if (last) {
            if ((out.attribute = e->attributeNamed(path[i]))) return out;
        }
        const RelationshipDescription* r = e->relationshipNamed(path[i]);
        if (!r) throw std::invalid_argument("Entity " + e->name() + " has no key \"" + path[i] + "\"");
        if (r->toMany)
            throw std::invalid_argument("Key path " + join(path, ".") + " goes through a to-many relationship");
        if (last) out.relationship = r;
        e = r->target;
    }
    return out;
}

Value keyPathValue(const ManagedObject& object, const std::vector<std::string>& path) {
    if (path.size() == 1) return object.value(path[0]);
    ManagedObjectPtr step = object.toOne(path[0]);
    for (size_t i = 1; step && i + 1 < path.size(); ++i) step = step->toOne(path[i]);
    return step ? step->value(path.back()) : Value();
}

namespace {

using Node = PredicateNode;
using Expr = PredicateExpression;
using Op = PredicateNode::Operator;

struct Side {
    Value value;
    bool relationshipSet = false;
    const RelationshipDescription* relationship = nullptr;
    const AttributeDescription* attribute = nullptr;
};

Side readKeyPath(const ManagedObject& object, const std::vector<std::string>& path) {
    Side s;
    KeyPathTarget t = resolveKeyPath(object.entity(), path);
    const ManagedObject* cur = &object;
    ManagedObjectPtr hold;
    for (size_t i = 0; i + 1 < path.size(); ++i) {
        hold = cur->toOne(path[i]);
        if (!hold) {
            s.attribute = t.attribute;
            s.relationship = t.relationship;
            return s;
        }
        cur = hold.get();
    }
    s.attribute = t.attribute;
    s.relationship = t.relationship;
    if (t.attribute) s.value = cur->value(path.back());
    else s.relationshipSet = cur->toOne(path.back()) != nullptr;
    return s;
}

bool compareOrdered(Op op, int c) {
    switch (op) {
    case Op::Equal: return c == 0;
    case Op::NotEqual: return c != 0;
    case Op::Less: return c < 0;
    case Op::LessEqual: return c <= 0;
    case Op::Greater: return c > 0;
    case Op::GreaterEqual: return c >= 0;
    default: return false;
    }
}

bool evaluateComparison(const Predicate& p, const Node& n, const ManagedObject& object,
                        const std::vector<Value>& aggregates) {
    if (n.lhs.kind != Expr::Kind::KeyPath)
        throw std::invalid_argument("A comparison needs a key path: " + p.predicateFormat());
    Side lhs = readKeyPath(object, n.lhs.keyPath);

    // Another key path or an aggregate: plain comparison, nil on either side never matches.
    if (n.rhs.kind == Expr::Kind::KeyPath || n.rhs.kind == Expr::Kind::Aggregate) {
        if (!lhs.attribute) throw std::invalid_argument("Cannot compare a relationship: " + p.predicateFormat());
        Value r = n.rhs.kind == Expr::Kind::Aggregate ? aggregates.at(static_cast<size_t>(n.rhs.aggregate))
                                                      : readKeyPath(object, n.rhs.keyPath).value;
        if (lhs.value.isNil() || r.isNil() || n.op > Op::GreaterEqual) return false;
        return compareOrdered(n.op, compareValues(lhs.value, coerceForAttribute(r, lhs.attribute->type)));
    }

    if (n.op == Op::In) {
        if (n.rhs.kind != Expr::Kind::Argument || !p.arguments()[static_cast<size_t>(n.rhs.argument)].isArray())
            throw std::invalid_argument("IN needs an array argument: " + p.predicateFormat());
        if (!lhs.attribute) throw std::invalid_argument("IN needs an attribute: " + p.predicateFormat());
        if (lhs.value.isNil()) return false;
        for (const Value& v : p.arguments()[static_cast<size_t>(n.rhs.argument)].array()) {
            Value c = coerceForAttribute(v, lhs.attribute->type);
            if (!c.isNil() && compareValues(lhs.value, c) == 0) return true;
        }
        return false;
    }

    Value rhs = n.rhs.kind == Expr::Kind::Argument ? p.argumentValue(n.rhs) : n.rhs.constant;
    if (lhs.relationship) {
        if (!rhs.isNil()) throw std::invalid_argument("A relationship compares only with nil: " + p.predicateFormat());
        if (n.op == Op::Equal) return !lhs.relationshipSet;
        if (n.op == Op::NotEqual) return lhs.relationshipSet;
        return false;
    }
    if (rhs.isNil()) {
        if (n.op == Op::Equal) return lhs.value.isNil();
        if (n.op == Op::NotEqual) return !lhs.value.isNil();
        return false;
    }
    if (n.op >= Op::Like) {
        if (lhs.value.isNil()) return false;
        static const TextOperator textOps[] = {TextOperator::Like, TextOperator::Contains, TextOperator::BeginsWith,
                                               TextOperator::EndsWith};
        return textMatches(textOps[static_cast<int>(n.op) - static_cast<int>(Op::Like)], lhs.value.description(),
                           rhs.description(), n.options);
    }
    Value c = coerceForAttribute(rhs, lhs.attribute->type);
    if ((n.op == Op::Equal || n.op == Op::NotEqual) && (n.options.caseInsensitive || n.options.diacriticInsensitive)) {
        bool eq =
            !lhs.value.isNil() && textMatches(TextOperator::Equal, lhs.value.description(), c.description(), n.options);
        return n.op == Op::Equal ? eq : !eq;
    }
    if (lhs.value.isNil()) return n.op == Op::NotEqual;
    return compareOrdered(n.op, compareValues(lhs.value, c));
}

bool evaluateNode(const Predicate& p, const Node& n, const ManagedObject& object,
                  const std::vector<Value>& aggregates) {
    switch (n.kind) {
    case Node::Kind::True: return true;
    case Node::Kind::False: return false;
    case Node::Kind::Not: return !evaluateNode(p, n.children[0], object, aggregates);
    case Node::Kind::And:
        for (const Node& c : n.children)
            if (!evaluateNode(p, c, object, aggregates)) return false;
        return true;
    case Node::Kind::Or:
        for (const Node& c : n.children)
            if (evaluateNode(p, c, object, aggregates)) return true;
        return false;
    case Node::Kind::Comparison: return evaluateComparison(p, n, object, aggregates);
    }
    return false;
}

} // namespace

bool evaluatePredicate(const Predicate& predicate, const ManagedObject& object, const std::vector<Value>& aggregates) {
    return evaluateNode(predicate, predicate.root(), object, aggregates);
}

} // namespace tavlo
