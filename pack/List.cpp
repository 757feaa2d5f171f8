#include "List.h"

#include "CommandArguments.h"
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
    CommandArguments args("list", "one database file", 1, {});
    if (!args.parse(arguments)) {
        printOut(kHelp);
        return 0;
    }
    forEachPair(args.operands()[0], [](const PairRow& row) {
        const StoredPair pair = row.numbers();
        QStringList fields{number(pair.id), number(pair.level), size(pair.originalSize),
                           size(pair.modifiedSize)};
        for (const StoredRect& difference : pair.differences) {
            const format::DifferenceRect<QString> text = difference.map(number);
            fields << QStringList{text.x1, text.y1, text.x2, text.y2}.join(',');
        }
        printOut(fields.join(' ') + '\n');
    });
    return 0;
}

} // namespace pack
