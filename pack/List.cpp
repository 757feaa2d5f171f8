#include "List.h"

#include "CommandLine.h"
#include "StoredPairs.h"

namespace pack {
namespace {

const char* kHelp = "Usage: tavrello-pack list DB\n\n"
                    "Prints one line per pair in the order the database holds them:\n"
                    "  id level original-bytes modified-bytes x1,y1,x2,y2 (four times, twips)\n"
                    "A Null value shows as null.\n";

QString number(const store::FieldValue& value)
{
    return QString::fromStdString(value.toString());
}

QString size(const std::optional<long>& bytes)
{
    return bytes ? QString::number(*bytes) : QStringLiteral("null");
}

} // namespace

int runList(const QStringList& arguments)
{
    if (arguments.contains("--help") || arguments.contains("-h")) {
        printOut(kHelp);
        return 0;
    }
    if (arguments.size() != 1 || arguments[0].startsWith('-'))
        return usageError("list takes one database file (try list --help)");
    forEachPair(arguments[0], [](const PairRow& row) {
        const StoredPair pair = row.numbers();
        QStringList fields{number(pair.id), number(pair.level), size(pair.originalSize),
                           size(pair.modifiedSize)};
        for (const auto& corners : pair.differences) {
            QStringList values;
            for (const store::FieldValue& v : corners)
                values << number(v);
            fields << values.join(',');
        }
        printOut(fields.join(' ') + '\n');
    });
    return 0;
}

} // namespace pack
