#include "ConnectionString.h"

#include "Connection.h"

namespace store {

namespace detail {

namespace {

std::string lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

} // namespace

std::string dataSourceOf(const std::string& connectionString)
{
    const std::string& s = connectionString;
    std::size_t at = 0;
    while (at < s.size()) {
        while (at < s.size() && s[at] == ' ')
            ++at;
        const std::size_t equals = s.find('=', at);
        const std::size_t semicolon = s.find(';', at);
        if (equals == std::string::npos)
            return {};
        if (semicolon < equals) { // a piece without '=' says nothing
            at = semicolon + 1;
            continue;
        }
        const bool wanted = lower(s.substr(at, equals - at)) == "data source";
        std::string value;
        std::size_t next = equals + 1;
        if (next < s.size() && s[next] == '"') {
            ++next;
            while (next < s.size()) {
                if (s[next] == '"') {
                    if (next + 1 < s.size() && s[next + 1] == '"') {
                        value += '"';
                        next += 2;
                        continue;
                    }
                    ++next;
                    break;
                }
                value += s[next++];
            }
            next = s.find(';', next);
        } else {
            const std::size_t end = s.find(';', next);
            value = s.substr(next, end == std::string::npos ? std::string::npos : end - next);
            next = end;
        }
        if (wanted)
            return value;
        if (next == std::string::npos)
            break;
        at = next + 1;
    }
    return {};
}

} // namespace detail

std::string connectionStringFor(const std::string& databasePath)
{
    // A path holding ';' or '"' is quoted, as connection strings quote values, so the parser
    // reads it back whole; any other path goes in as it stands.
    std::string source = databasePath;
    if (source.find_first_of(";\"") != std::string::npos) {
        source = "\"";
        for (char c : databasePath)
            source += c == '"' ? std::string("\"\"") : std::string(1, c);
        source += '"';
    }
    return "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=" + source +
           ";JET OLEDB:Database Password=";
}

} // namespace store
