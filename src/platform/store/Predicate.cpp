#include "platform/store/Predicate.h"

#include "platform/foundation/Text.h"
#include "platform/store/ManagedObject.h"
#include "platform/store/PredicateEvaluation.h"

#include <cctype>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <unordered_map>

namespace tavlo {

namespace {

using Node = PredicateNode;
using Expr = PredicateExpression;

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    Predicate::Parsed parse() {
        Predicate::Parsed out;
        out.root = parseOr();
        skipBlanks();
        if (pos_ != text_.size()) fail();
        out.argumentCount = arguments_;
        out.aggregates = std::move(aggregates_);
        out.key = std::string(text_);
        return out;
    }

private:
    [[noreturn]] void fail() const {
        throw std::invalid_argument("Unable to parse the format string \"" + std::string(text_) + "\"");
    }

    // Each "(" and NOT parses its inside with a few nested calls; formats are program texts a few
    // levels deep, so a deeper one is refused as bad before it can exhaust the stack.
    static constexpr int kMaxNesting = 100;
    struct Nesting {
        explicit Nesting(Parser& p) : parser(p) {
            if (++parser.nesting_ > kMaxNesting) parser.fail();
        }
        ~Nesting() { --parser.nesting_; }
        Parser& parser;
    };

    void skipBlanks() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    }
    bool atEnd() {
        skipBlanks();
        return pos_ >= text_.size();
    }
    char peek() {
        skipBlanks();
        return pos_ < text_.size() ? text_[pos_] : '\0';
    }

    bool matchSymbol(std::string_view s) {
        skipBlanks();
        if (text_.substr(pos_, s.size()) == s) {
            pos_ += s.size();
            return true;
        }
        return false;
    }
    static bool isWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$'; }
    std::string_view peekWord() {
        skipBlanks();
        size_t e = pos_;
        while (e < text_.size() && isWordChar(text_[e])) ++e;
        return text_.substr(pos_, e - pos_);
    }
    bool matchWord(std::string_view w) {
        std::string_view got = peekWord();
        if (!got.empty() && equalsNoCase(got, w)) {
            pos_ += got.size();
            return true;
        }
        return false;
    }

    Node parseOr() {
        Node left = parseAnd();
        while (matchSymbol("||") || matchWord("OR")) {
            Node right = parseAnd();
            if (left.kind != Node::Kind::Or) {
                Node n;
                n.kind = Node::Kind::Or;
                n.children.push_back(std::move(left));
                left = std::move(n);
            }
            left.children.push_back(std::move(right));
        }
        return left;
    }
    Node parseAnd() {
        Node left = parseNot();
        while (matchSymbol("&&") || matchWord("AND")) {
            Node right = parseNot();
            if (left.kind != Node::Kind::And) {
                Node n;
                n.kind = Node::Kind::And;
                n.children.push_back(std::move(left));
                left = std::move(n);
            }
            left.children.push_back(std::move(right));
        }
        return left;
    }
    Node parseNot() {
        skipBlanks();
        if ((peek() == '!' && text_.substr(pos_, 2) != "!=" && matchSymbol("!")) || matchWord("NOT")) {
            Nesting level(*this);
            Node n;
            n.kind = Node::Kind::Not;
            n.children.push_back(parseNot());
            return n;
        }
        return parsePrimary();
    }
    Node parsePrimary() {
        if (matchSymbol("(")) {
            Nesting level(*this);
            Node n = parseOr();
            if (!matchSymbol(")")) fail();
            return n;
        }
        if (matchWord("TRUEPREDICATE")) {
            Node n;
            n.kind = Node::Kind::True;
            return n;
        }
        if (matchWord("FALSEPREDICATE")) {
            Node n;
            n.kind = Node::Kind::False;
            return n;
        }
        return parseComparison();
    }

    Node parseComparison() {
        Node n;
        n.kind = Node::Kind::Comparison;
        n.lhs = parseExpression();
        n.op = parseOperator(n.options);
        n.rhs = parseExpression();
        bool lhsKey = n.lhs.kind == Expr::Kind::KeyPath;
        bool rhsKey = n.rhs.kind == Expr::Kind::KeyPath;
        if (!lhsKey && (rhsKey || n.lhs.kind == Expr::Kind::Aggregate)) {
            // Keep the key path (or aggregate) on the left: "%@ == name", "max(x) == x".
            if (n.op >= Node::Operator::Like) fail();
            std::swap(n.lhs, n.rhs);
            switch (n.op) {
            case Node::Operator::Less: n.op = Node::Operator::Greater; break;
            case Node::Operator::LessEqual: n.op = Node::Operator::GreaterEqual; break;
            case Node::Operator::Greater: n.op = Node::Operator::Less; break;
            case Node::Operator::GreaterEqual: n.op = Node::Operator::LessEqual; break;
            default: break;
            }
        }
        if (n.rhs.kind == Expr::Kind::KeyPath && n.op >= Node::Operator::Like) fail();
        return n;
    }

    Node::Operator parseOperator(TextOptions& options) {
        using Op = Node::Operator;
        Op op;
        if (matchSymbol("==")) op = Op::Equal;
        else if (matchSymbol("!=") || matchSymbol("<>")) op = Op::NotEqual;
        else if (matchSymbol("<=") || matchSymbol("=<")) op = Op::LessEqual;
        else if (matchSymbol(">=") || matchSymbol("=>")) op = Op::GreaterEqual;
        else if (matchSymbol("=")) op = Op::Equal;
        else if (matchSymbol("<")) op = Op::Less;
        else if (matchSymbol(">")) op = Op::Greater;
        else if (matchWord("LIKE")) op = Op::Like;
        else if (matchWord("CONTAINS")) op = Op::Contains;
        else if (matchWord("BEGINSWITH")) op = Op::BeginsWith;
        else if (matchWord("ENDSWITH")) op = Op::EndsWith;
        else if (matchWord("IN")) op = Op::In;
        else fail();
        if (pos_ < text_.size() && text_[pos_] == '[') {
            size_t close = text_.find(']', pos_);
            if (close == std::string_view::npos) fail();
            for (char c : text_.substr(pos_ + 1, close - pos_ - 1)) {
                if (c == 'c' || c == 'C') options.caseInsensitive = true;
                else if (c == 'd' || c == 'D') options.diacriticInsensitive = true;
                else fail();
            }
            pos_ = close + 1;
        }
        return op;
    }

    Expr parseExpression() {
        skipBlanks();
        Expr e;
        if (pos_ >= text_.size()) fail();
        char c = text_[pos_];
        if (c == '%') return parsePlaceholder();
        if (c == '\'' || c == '"') {
            e.constant = parseQuoted();
            return e;
        }
        if (std::isdigit(static_cast<unsigned char>(c)) ||
            ((c == '-' || c == '+') && pos_ + 1 < text_.size() &&
             std::isdigit(static_cast<unsigned char>(text_[pos_ + 1])))) {
            e.constant = parseNumber();
            return e;
        }
        std::string_view word = peekWord();
        if (word.empty()) fail();
        if (equalsNoCase(word, "nil") || equalsNoCase(word, "NULL")) {
            pos_ += word.size();
            return e;
        }
        if (equalsNoCase(word, "YES") || equalsNoCase(word, "TRUE")) {
            pos_ += word.size();
            e.constant = true;
            return e;
        }
        if (equalsNoCase(word, "NO") || equalsNoCase(word, "FALSE")) {
            pos_ += word.size();
            e.constant = false;
            return e;
        }
        if (isReserved(word)) fail();
        pos_ += word.size();
        if (peek() == '(') {
            if (equalsNoCase(word, "max")) e.function = Expr::Function::Max;
            else if (equalsNoCase(word, "min")) e.function = Expr::Function::Min;
            else fail();
            matchSymbol("(");
            e.kind = Expr::Kind::Aggregate;
            e.keyPath = parseKeyPathFrom(peekWordAndTake());
            if (!matchSymbol(")")) fail();
            e.aggregate = static_cast<int>(aggregates_.size());
            aggregates_.push_back({e.function, e.keyPath});
            return e;
        }
        e.kind = Expr::Kind::KeyPath;
        e.keyPath = parseKeyPathFrom(word);
        return e;
    }

    std::string_view peekWordAndTake() {
        std::string_view w = peekWord();
        if (w.empty() || isReserved(w)) fail();
        pos_ += w.size();
        return w;
    }
    std::vector<std::string> parseKeyPathFrom(std::string_view first) {
        std::vector<std::string> path{std::string(first)};
        while (pos_ < text_.size() && text_[pos_] == '.') {
            ++pos_;
            size_t e = pos_;
            while (e < text_.size() && isWordChar(text_[e])) ++e;
            if (e == pos_) fail();
            path.emplace_back(text_.substr(pos_, e - pos_));
            pos_ = e;
        }
        if (path.size() == 1 && equalsNoCase(path[0], "SELF")) fail();
        return path;
    }
    static bool isReserved(std::string_view w) {
        for (std::string_view r : {"AND", "OR", "NOT", "IN", "LIKE", "CONTAINS", "BEGINSWITH", "ENDSWITH", "MATCHES",
                                   "ANY", "ALL", "NONE", "SOME", "BETWEEN", "TRUEPREDICATE", "FALSEPREDICATE"})
            if (equalsNoCase(w, r)) return true;
        return false;
    }

    Expr parsePlaceholder() {
        Expr e;
        e.kind = Expr::Kind::Argument;
        ++pos_; // '%'
        size_t start = pos_;
        while (pos_ < text_.size() && (text_[pos_] == 'l' || text_[pos_] == 'h' || text_[pos_] == 'q')) ++pos_;
        if (pos_ >= text_.size()) fail();
        char conv = text_[pos_++];
        switch (conv) {
        case '@':
            if (pos_ - 1 != start) fail();
            e.conversion = '@';
            break;
        case 'd':
        case 'i':
        case 'u': e.conversion = 'd'; break;
        case 'f':
        case 'g':
        case 'e': e.conversion = 'f'; break;
        default: fail();
        }
        e.argument = arguments_++;
        return e;
    }

    Value parseQuoted() {
        char quote = text_[pos_++];
        std::string out;
        while (pos_ < text_.size() && text_[pos_] != quote) {
            char c = text_[pos_++];
            if (c == '\\' && pos_ < text_.size()) {
                char n = text_[pos_++];
                out += n == 'n' ? '\n' : n == 't' ? '\t' : n == 'r' ? '\r' : n;
            } else {
                out += c;
            }
        }
        if (pos_ >= text_.size()) fail();
        ++pos_;
        return out;
    }

    Value parseNumber() {
        size_t start = pos_;
        if (text_[pos_] == '-' || text_[pos_] == '+') ++pos_;
        bool real = false;
        while (pos_ < text_.size() && (std::isdigit(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '.')) {
            if (text_[pos_] == '.') {
                if (real) fail(); // "1.2.3"
                real = true;
            }
            ++pos_;
        }
        std::string digits(text_.substr(start, pos_ - start));
        try {
            if (real) return std::stod(digits);
            return static_cast<int64_t>(std::stoll(digits));
        } catch (const std::out_of_range&) { fail(); }
    }

    std::string_view text_;
    size_t pos_ = 0;
    int nesting_ = 0;
    int arguments_ = 0;
    std::vector<Predicate::Aggregate> aggregates_;
};

std::shared_ptr<const Predicate::Parsed> parseCached(std::string_view text) {
    static std::mutex mutex;
    static std::unordered_map<std::string, std::shared_ptr<const Predicate::Parsed>> cache;
    std::string key(text);
    {
        std::lock_guard lock(mutex);
        auto it = cache.find(key);
        if (it != cache.end()) return it->second;
    }
    auto parsed = std::make_shared<const Predicate::Parsed>(Parser(text).parse());
    std::lock_guard lock(mutex);
    if (cache.size() > 4096) cache.clear(); // formats are program texts; this only bounds misuse
    return cache.emplace(std::move(key), parsed).first->second;
}

void shift(Node& n, int argumentOffset, int aggregateOffset) {
    for (Expr* e : {&n.lhs, &n.rhs}) {
        if (e->kind == Expr::Kind::Argument) e->argument += argumentOffset;
        if (e->kind == Expr::Kind::Aggregate) e->aggregate += aggregateOffset;
    }
    for (Node& c : n.children) shift(c, argumentOffset, aggregateOffset);
}

std::string describeValue(const Value& v) {
    if (v.isNil()) return "nil";
    if (v.kind() == Value::Kind::Text) return "\"" + replaceAll(v.description(), "\"", "\\\"") + "\"";
    if (v.kind() == Value::Kind::Boolean) return v.boolean() ? "YES" : "NO";
    return v.description();
}

} // namespace

Predicate Predicate::withArguments(std::string_view text, std::vector<PredicateArgument> arguments) {
    auto parsed = parseCached(text);
    if (static_cast<int>(arguments.size()) != parsed->argumentCount)
        throw std::invalid_argument("The format string \"" + std::string(text) + "\" takes " +
                                    std::to_string(parsed->argumentCount) + " arguments, " +
                                    std::to_string(arguments.size()) + " given");
    return Predicate(std::move(parsed), std::move(arguments));
}

int Predicate::argumentCount(std::string_view text) { return parseCached(text)->argumentCount; }

Predicate Predicate::andPredicates(const std::vector<Predicate>& predicates) {
    if (predicates.size() == 1) return predicates.front();
    auto parsed = std::make_shared<Parsed>();
    parsed->root.kind = Node::Kind::And;
    std::vector<PredicateArgument> args;
    for (const Predicate& p : predicates) {
        Node child = p.root();
        shift(child, static_cast<int>(args.size()), static_cast<int>(parsed->aggregates.size()));
        parsed->root.children.push_back(std::move(child));
        parsed->aggregates.insert(parsed->aggregates.end(), p.aggregates().begin(), p.aggregates().end());
        args.insert(args.end(), p.arguments().begin(), p.arguments().end());
        parsed->key += (parsed->key.empty() ? "(" : " AND (") + p.parsed().key + ")";
    }
    if (predicates.empty()) parsed->key = "TRUEPREDICATE";
    parsed->argumentCount = static_cast<int>(args.size());
    return Predicate(std::move(parsed), std::move(args));
}

Value Predicate::argumentValue(const PredicateExpression& e) const {
    const Value& v = arguments_[static_cast<size_t>(e.argument)].value();
    if (v.isNil()) return v;
    if (e.conversion == 'd') return v.integer();
    if (e.conversion == 'f') return v.real();
    return v;
}

std::string Predicate::predicateFormat() const {
    static const char* ops[] = {"==", "!=", "<", "<=", ">", ">=", "LIKE", "CONTAINS", "BEGINSWITH", "ENDSWITH", "IN"};
    std::function<std::string(const PredicateExpression&)> expr = [&](const PredicateExpression& e) -> std::string {
        switch (e.kind) {
        case Expr::Kind::KeyPath: return join(e.keyPath, ".");
        case Expr::Kind::Constant: return describeValue(e.constant);
        case Expr::Kind::Aggregate:
            return std::string(e.function == Expr::Function::Max ? "max(" : "min(") + join(e.keyPath, ".") + ")";
        case Expr::Kind::Argument: {
            const PredicateArgument& a = arguments_[static_cast<size_t>(e.argument)];
            if (!a.isArray()) return describeValue(argumentValue(e));
            std::vector<std::string> parts;
            for (const Value& v : a.array()) parts.push_back(describeValue(v));
            return "{" + join(parts, ", ") + "}";
        }
        }
        return {};
    };
    std::function<std::string(const Node&)> node = [&](const Node& n) -> std::string {
        switch (n.kind) {
        case Node::Kind::True: return "TRUEPREDICATE";
        case Node::Kind::False: return "FALSEPREDICATE";
        case Node::Kind::Not: return "NOT " + node(n.children[0]);
        case Node::Kind::And:
        case Node::Kind::Or: {
            std::vector<std::string> parts;
            for (const Node& c : n.children) parts.push_back("(" + node(c) + ")");
            return join(parts, n.kind == Node::Kind::And ? " AND " : " OR ");
        }
        case Node::Kind::Comparison: {
            std::string opts;
            if (n.options.caseInsensitive || n.options.diacriticInsensitive)
                opts = std::string("[") + (n.options.caseInsensitive ? "c" : "") +
                       (n.options.diacriticInsensitive ? "d" : "") + "]";
            return expr(n.lhs) + " " + ops[static_cast<int>(n.op)] + opts + " " + expr(n.rhs);
        }
        }
        return {};
    };
    return node(root());
}

bool Predicate::evaluate(const ManagedObject& object, const std::vector<Value>& aggregates) const {
    return evaluatePredicate(*this, object, aggregates);
}

} // namespace tavlo
