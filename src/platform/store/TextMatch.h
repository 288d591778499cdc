#pragma once

#include <string_view>

namespace tavlo {

// Text comparisons of predicates ([c] case-insensitive, [d] diacritic-insensitive), shared by the
// in-memory evaluation and the SQL functions so that both give the same answer.
struct TextOptions {
    bool caseInsensitive = false;
    bool diacriticInsensitive = false;
    int bits() const { return (caseInsensitive ? 1 : 0) | (diacriticInsensitive ? 2 : 0); }
    static TextOptions fromBits(int b) { return {(b & 1) != 0, (b & 2) != 0}; }
};

enum class TextOperator { Like, Contains, BeginsWith, EndsWith, Equal };

// LIKE takes `*` (any run) and `?` (one character) as wildcards.
bool textMatches(TextOperator op, std::string_view text, std::string_view pattern, TextOptions options);

} // namespace tavlo
