#pragma once

#include "platform/store/EntityDescription.h"
#include "platform/store/FetchRequest.h"
#include "platform/store/Predicate.h"

#include <string>
#include <vector>

namespace tavlo {

// A fetch turned into SQL: the text and what to bind to each placeholder, in order.
struct CompiledQuery {
    struct Bind {
        enum class Kind { Constant, Argument, Element, Aggregate, Limit };
        Kind kind = Kind::Constant;
        int index = 0;         // argument or aggregate position
        int element = 0;       // Element: position in the array argument
        char conversion = '@'; // Argument: as the placeholder converts it
        Value constant;
        bool coerce = false; // make the value the attribute's type first
        AttributeType type = AttributeType::Text;
    };
    std::string sql;
    std::vector<Bind> binds;
};

// Builds the SQL of fetches, counts, aggregates and row reads. Key paths along to-ones become
// LEFT JOINs (a missing related row reads as nil, as in memory); aggregates are bound as values
// computed beforehand; NOT keeps two-valued logic (nil compared is false, and NOT of it true).
class QueryCompiler {
public:
    // What a fetch's SELECT answers: whole rows, the rows' keys alone, their number, or the keys
    // with the values of some properties.
    enum class Answer { Rows, Keys, Count, Values };

    // The cache key of a fetch's SQL: the SQL changes with the predicate's text, which arguments
    // are nil, the sizes of array arguments, the sort keys and the mode.
    static std::string shapeKey(const EntityDescription& entity, const FetchRequest& request, Answer answer,
                                bool limited);
    // SELECT of the entity's rows matching the predicate (as `answer` says), sorted, limited.
    // With Answer::Values each row is its key, then the values of `properties` (attributes,
    // to-ones as their target's key, key paths along to-ones), each read as `types` gets it.
    static CompiledQuery compile(const EntityDescription& entity, const Predicate* predicate,
                                 const std::vector<SortDescriptor>& sorts, Answer answer, bool limited,
                                 const std::vector<std::string>& properties = {},
                                 std::vector<AttributeType>* types = nullptr);
    // SELECT MAX/MIN of a key path over the entity's rows; `ranked`: instead the rows' Z_PK and
    // value, best first, for callers that pass over some rows. The attribute type goes to `type`.
    static std::string aggregate(const EntityDescription& entity, const Predicate::Aggregate& aggregate, bool ranked,
                                 AttributeType* type);
    // The columns of a whole row, in the order rows are read: Z_PK, Z_OPT, attributes, to-ones.
    static std::string columns(const EntityDescription& entity, const std::string& alias);
};

} // namespace tavlo
