#include "platform/store/QueryCompiler.h"

#include "platform/foundation/Text.h"
#include "platform/store/PredicateEvaluation.h"
#include "platform/store/SqlConnection.h"

#include <algorithm>
#include <map>
#include <stdexcept>

namespace tavlo {

namespace {

using Node = PredicateNode;
using Expr = PredicateExpression;
using Op = PredicateNode::Operator;

// IN lists take a power-of-two number of placeholders so that few statements serve every size.
size_t paddedSize(size_t n) {
    size_t p = 1;
    while (p < n) p *= 2;
    return p;
}

// Gives each to-one step of a key path a LEFT JOIN, shared by paths with the same prefix.
class Joins {
public:
    explicit Joins(const EntityDescription& entity) : entity_(entity) {}

    struct Column {
        std::string sql;
        KeyPathTarget target;
    };

    Column resolve(const std::vector<std::string>& path) {
        Column c;
        c.target = resolveKeyPath(entity_, path);
        std::string alias = "t0";
        const EntityDescription* e = &entity_;
        std::string prefix;
        for (size_t i = 0; i + 1 < path.size(); ++i) {
            const RelationshipDescription* r = e->relationshipNamed(path[i]);
            prefix += path[i] + ".";
            auto it = aliases_.find(prefix);
            if (it == aliases_.end()) {
                std::string next = "t" + std::to_string(aliases_.size() + 1);
                sql_ += " LEFT JOIN " + quoteName(r->target->name()) + " " + next + " ON " + next + ".Z_PK = " + alias +
                        "." + quoteName(r->name);
                it = aliases_.emplace(prefix, next).first;
            }
            alias = it->second;
            e = r->target;
        }
        c.sql = alias + "." + quoteName(path.back());
        return c;
    }
    const std::string& sql() const { return sql_; }

private:
    const EntityDescription& entity_;
    std::map<std::string, std::string> aliases_;
    std::string sql_;
};

class Builder {
public:
    Builder(const Predicate& p, Joins& joins, std::vector<CompiledQuery::Bind>& binds)
        : p_(p), joins_(joins), binds_(binds) {}

    std::string node(const Node& n) {
        switch (n.kind) {
        case Node::Kind::True: return "1";
        case Node::Kind::False: return "0";
        case Node::Kind::Not: return "((" + node(n.children[0]) + ") IS NOT 1)";
        case Node::Kind::And:
        case Node::Kind::Or: {
            std::string out = "(";
            for (size_t i = 0; i < n.children.size(); ++i) {
                if (i) out += n.kind == Node::Kind::And ? " AND " : " OR ";
                out += node(n.children[i]);
            }
            return out + ")";
        }
        case Node::Kind::Comparison: return comparison(n);
        }
        return "0";
    }

private:
    void bindValue(const Expr& e, bool coerce, AttributeType type) {
        CompiledQuery::Bind b;
        b.coerce = coerce;
        b.type = type;
        if (e.kind == Expr::Kind::Argument) {
            b.kind = CompiledQuery::Bind::Kind::Argument;
            b.index = e.argument;
            b.conversion = e.conversion;
        } else {
            b.constant = e.constant;
        }
        binds_.push_back(std::move(b));
    }

    std::string comparison(const Node& n) {
        if (n.lhs.kind != Expr::Kind::KeyPath)
            throw std::invalid_argument("A comparison needs a key path: " + p_.parsed().key);
        Joins::Column lhs = joins_.resolve(n.lhs.keyPath);
        static const char* sqlOps[] = {"=", "<>", "<", "<=", ">", ">="};

        if (n.rhs.kind == Expr::Kind::KeyPath || n.rhs.kind == Expr::Kind::Aggregate) {
            if (!lhs.target.attribute || n.op > Op::GreaterEqual)
                throw std::invalid_argument("Unsupported comparison: " + p_.parsed().key);
            if (n.rhs.kind == Expr::Kind::KeyPath) {
                Joins::Column rhs = joins_.resolve(n.rhs.keyPath);
                return "(" + lhs.sql + " " + sqlOps[static_cast<int>(n.op)] + " " + rhs.sql + ")";
            }
            CompiledQuery::Bind b;
            b.kind = CompiledQuery::Bind::Kind::Aggregate;
            b.index = n.rhs.aggregate;
            b.coerce = true;
            b.type = lhs.target.attribute->type;
            binds_.push_back(b);
            return "(" + lhs.sql + " " + sqlOps[static_cast<int>(n.op)] + " ?)";
        }

        if (n.op == Op::In) {
            if (n.rhs.kind != Expr::Kind::Argument || !p_.arguments()[static_cast<size_t>(n.rhs.argument)].isArray())
                throw std::invalid_argument("IN needs an array argument: " + p_.parsed().key);
            if (!lhs.target.attribute) throw std::invalid_argument("IN needs an attribute: " + p_.parsed().key);
            size_t count = p_.arguments()[static_cast<size_t>(n.rhs.argument)].array().size();
            if (count == 0) return "0";
            std::string list;
            for (size_t i = 0; i < paddedSize(count); ++i) {
                list += i ? ", ?" : "?";
                CompiledQuery::Bind b;
                b.kind = CompiledQuery::Bind::Kind::Element;
                b.index = n.rhs.argument;
                b.element = static_cast<int>(std::min(i, count - 1)); // repeats change nothing
                b.coerce = true;
                b.type = lhs.target.attribute->type;
                binds_.push_back(b);
            }
            return "(" + lhs.sql + " IS NOT NULL AND " + lhs.sql + " IN (" + list + "))";
        }

        bool rhsNil = n.rhs.kind == Expr::Kind::Argument
                          ? p_.arguments()[static_cast<size_t>(n.rhs.argument)].value().isNil()
                          : n.rhs.constant.isNil();
        if (lhs.target.relationship) {
            if (!rhsNil) throw std::invalid_argument("A relationship compares only with nil: " + p_.parsed().key);
            if (n.op == Op::Equal) return "(" + lhs.sql + " IS NULL)";
            if (n.op == Op::NotEqual) return "(" + lhs.sql + " IS NOT NULL)";
            return "0";
        }
        if (rhsNil) {
            if (n.op == Op::Equal) return "(" + lhs.sql + " IS NULL)";
            if (n.op == Op::NotEqual) return "(" + lhs.sql + " IS NOT NULL)";
            return "0";
        }
        AttributeType type = lhs.target.attribute->type;
        if (n.op >= Op::Like) {
            int textOp = static_cast<int>(n.op) - static_cast<int>(Op::Like);
            bindValue(n.rhs, true, AttributeType::Text);
            return "tavlo_text(" + std::to_string(textOp) + ", " + std::to_string(n.options.bits()) + ", " + lhs.sql +
                   ", ?)";
        }
        bindValue(n.rhs, true, type);
        if ((n.op == Op::Equal || n.op == Op::NotEqual) &&
            (n.options.caseInsensitive || n.options.diacriticInsensitive)) {
            std::string call = "tavlo_text(" + std::to_string(static_cast<int>(TextOperator::Equal)) + ", " +
                               std::to_string(n.options.bits()) + ", " + lhs.sql + ", ?)";
            return n.op == Op::Equal ? call : "(NOT " + call + ")";
        }
        if (n.op == Op::NotEqual) return "(" + lhs.sql + " IS NOT ?)";
        return "(" + lhs.sql + " " + sqlOps[static_cast<int>(n.op)] + " ?)";
    }

    const Predicate& p_;
    Joins& joins_;
    std::vector<CompiledQuery::Bind>& binds_;
};

} // namespace

std::string QueryCompiler::shapeKey(const EntityDescription& entity, const FetchRequest& request, Answer answer,
                                    bool limited) {
    std::string key = entity.name();
    key += answer == Answer::Count    ? "\x01"
                                        "c"
           : answer == Answer::Keys   ? "\x01"
                                        "k"
           : answer == Answer::Values ? "\x01"
                                        "v"
                                      : "\x01"
                                        "o";
    if (limited) key += 'l';
    if (request.predicate) {
        key += '\x01';
        key += request.predicate->parsed().key;
        key += '\x01';
        for (const PredicateArgument& a : request.predicate->arguments()) {
            if (a.isArray()) key += "a" + std::to_string(a.array().empty() ? 0 : paddedSize(a.array().size()));
            else key += a.value().isNil() ? 'n' : 'v';
        }
    }
    for (const SortDescriptor& s : request.sortDescriptors) {
        key += '\x01';
        key += s.keyPath;
        key += s.ascending ? '+' : '-';
        if (s.caseInsensitive) key += 'i';
    }
    return key;
}

std::string QueryCompiler::columns(const EntityDescription& entity, const std::string& alias) {
    std::string out = alias + ".Z_PK, " + alias + ".Z_OPT";
    for (const auto& a : entity.attributes()) out += ", " + alias + "." + quoteName(a.name);
    for (const auto& r : entity.relationships())
        if (!r.toMany) out += ", " + alias + "." + quoteName(r.name);
    return out;
}

CompiledQuery QueryCompiler::compile(const EntityDescription& entity, const Predicate* predicate,
                                     const std::vector<SortDescriptor>& sorts, Answer answer, bool limited,
                                     const std::vector<std::string>& properties, std::vector<AttributeType>* types) {
    const bool count = answer == Answer::Count;
    CompiledQuery q;
    Joins joins(entity);
    // The asked values: an attribute as its type, a to-one (at a path's end too) as its target's key.
    std::string values = "t0.Z_PK";
    if (answer == Answer::Values)
        for (const std::string& property : properties) {
            Joins::Column c = joins.resolve(split(property, "."));
            if (!c.target.attribute && !c.target.relationship)
                throw std::invalid_argument("Not an attribute or to-one: " + property);
            values += ", " + c.sql;
            if (types) types->push_back(c.target.attribute ? c.target.attribute->type : AttributeType::Int64);
        }
    std::string where;
    if (predicate) where = Builder(*predicate, joins, q.binds).node(predicate->root());
    std::string order;
    if (!count && !sorts.empty()) {
        for (const SortDescriptor& s : sorts) {
            Joins::Column c = joins.resolve(split(s.keyPath, "."));
            if (!c.target.attribute) throw std::invalid_argument("Cannot sort by a relationship: " + s.keyPath);
            order += order.empty() ? " ORDER BY " : ", ";
            order += c.sql;
            if (s.caseInsensitive) order += " COLLATE NOCASE";
            order += s.ascending ? " ASC" : " DESC";
        }
        order += ", t0.Z_PK";
    }
    const std::string what = count ? "COUNT(*)" : answer == Answer::Rows ? columns(entity, "t0") : values;
    q.sql = "SELECT " + what + " FROM " + quoteName(entity.name()) + " t0" + joins.sql();
    if (!where.empty()) q.sql += " WHERE " + where;
    q.sql += order;
    if (limited) {
        q.sql += " LIMIT ?";
        CompiledQuery::Bind b;
        b.kind = CompiledQuery::Bind::Kind::Limit;
        q.binds.push_back(b);
    }
    return q;
}

std::string QueryCompiler::aggregate(const EntityDescription& entity, const Predicate::Aggregate& aggregate,
                                     bool ranked, AttributeType* type) {
    Joins joins(entity);
    Joins::Column c = joins.resolve(aggregate.keyPath);
    if (!c.target.attribute) throw std::invalid_argument("Cannot aggregate a relationship");
    if (type) *type = c.target.attribute->type;
    bool max = aggregate.function == PredicateExpression::Function::Max;
    std::string from = " FROM " + quoteName(entity.name()) + " t0" + joins.sql();
    if (!ranked) return std::string("SELECT ") + (max ? "MAX(" : "MIN(") + c.sql + ")" + from;
    return "SELECT t0.Z_PK, " + c.sql + from + " WHERE " + c.sql + " IS NOT NULL ORDER BY " + c.sql +
           (max ? " DESC" : " ASC");
}

} // namespace tavlo
