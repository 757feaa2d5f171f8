#include "Query.h"

#include "StoreError.h"

#include <cctype>
#include <charconv>
#include <vector>

namespace store::detail {

namespace {

bool isNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

[[noreturn]] void unsupported(const std::string& text, const std::string& why)
{
    throw StoreError("The database query \"" + text + "\" can't be run: " + why +
                     ". Only \"select * from <table> [where <field>=<whole number>] [order by "
                     "<field>]\" is understood.");
}

std::vector<std::string> tokenize(const std::string& text)
{
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '=' || c == '*') {
            tokens.emplace_back(1, c);
            ++i;
        } else if (c == '[') {
            const std::size_t end = text.find(']', i + 1);
            if (end == std::string::npos || end == i + 1)
                unsupported(text, "a bracketed name is not closed or is empty");
            tokens.push_back(text.substr(i, end - i + 1));
            i = end + 1;
        } else if (isNameChar(c) || c == '-' || c == '+') {
            std::size_t end = i + 1;
            while (end < text.size() && isNameChar(text[end]))
                ++end;
            tokens.push_back(text.substr(i, end - i));
            i = end;
        } else {
            unsupported(text, std::string("the character '") + c + "' is not understood");
        }
    }
    return tokens;
}

bool keyword(const std::string& token, const char* word)
{
    std::size_t i = 0;
    for (; word[i]; ++i)
        if (i >= token.size() || std::tolower(static_cast<unsigned char>(token[i])) != word[i])
            return false;
    return i == token.size();
}

bool isKeyword(const std::string& token)
{
    return keyword(token, "select") || keyword(token, "from") || keyword(token, "where") ||
           keyword(token, "order") || keyword(token, "by");
}

// A table or field name: [anything but ]] or letters, digits and _ not starting with a digit.
std::optional<std::string> name(const std::string& token)
{
    if (token.size() >= 2 && token.front() == '[')
        return token.substr(1, token.size() - 2);
    if (token.empty() || std::isdigit(static_cast<unsigned char>(token[0])) || isKeyword(token))
        return std::nullopt;
    for (char c : token)
        if (!isNameChar(c))
            return std::nullopt;
    return token;
}

} // namespace

Query parseQuery(const std::string& text)
{
    const std::vector<std::string> t = tokenize(text);
    Query q;
    std::size_t i = 0;
    auto expect = [&](const char* word, const char* why) {
        if (i >= t.size() || !keyword(t[i], word))
            unsupported(text, why);
        ++i;
    };
    expect("select", "it does not start with select");
    if (i >= t.size() || t[i] != "*")
        unsupported(text, "only select * is supported");
    ++i;
    expect("from", "from <table> is missing");
    if (i >= t.size() || !name(t[i]))
        unsupported(text, "the table name is missing");
    q.table = *name(t[i++]);

    if (i < t.size() && keyword(t[i], "where")) {
        ++i;
        if (i >= t.size() || !name(t[i]))
            unsupported(text, "the field name after where is missing");
        q.whereColumn = *name(t[i++]);
        if (i >= t.size() || t[i] != "=")
            unsupported(text, "only <field>=<whole number> is supported after where");
        ++i;
        if (i >= t.size())
            unsupported(text, "the number after = is missing");
        const std::string& number = t[i++];
        const char* begin = number.data() + (number[0] == '+' ? 1 : 0);
        const char* end = number.data() + number.size();
        const auto parsed = std::from_chars(begin, end, q.whereValue);
        if (parsed.ec != std::errc() || parsed.ptr != end || begin == end)
            unsupported(text, "\"" + number + "\" is not a whole number");
    }
    if (i < t.size() && keyword(t[i], "order")) {
        ++i;
        expect("by", "order must be followed by by");
        if (i >= t.size() || !name(t[i]))
            unsupported(text, "the field name after order by is missing");
        q.orderColumn = *name(t[i++]);
    }
    if (i < t.size())
        unsupported(text, "\"" + t[i] + "\" is not expected there");
    return q;
}

bool matchesWhere(const FieldValue& value, std::int64_t wanted)
{
    if (const auto* i = std::get_if<std::int64_t>(&value.storage()))
        return *i == wanted;
    return value.compare(FieldValue(wanted)) == std::partial_ordering::equivalent;
}

bool orderedBefore(const FieldValue& a, const FieldValue& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && !b.isNull();
    // The integer types and Currency, which nearly every key is, compare without conversion.
    const auto* ia = std::get_if<std::int64_t>(&a.storage());
    const auto* ib = std::get_if<std::int64_t>(&b.storage());
    if (ia && ib)
        return *ia < *ib;
    const auto* ca = std::get_if<FieldValue::Currency>(&a.storage());
    const auto* cb = std::get_if<FieldValue::Currency>(&b.storage());
    if (ca && cb)
        return ca->tenThousandths < cb->tenThousandths;
    return a.compare(b) == std::partial_ordering::less;
}

} // namespace store::detail
