#include "exchange/ExchangeTexts.h"

#include "store/TextIds.h"

#include <QHash>

namespace ExchangeText {

QString Fallback(qint32 textId) {
    static const QHash<qint32, const char*> texts = {
        {160, "Test specification(s) - Export (USB)"},
        {50041, "Exports the selected test specifications to a removeable drive (XML data exchange format)."},
        {50067, "Test specification(s) - Export (Folder)"},
        {50069, "Exports selected test specifications into the specified folder."},
        {50147, "Test specification export"},
        {161, "Device protocol(s) - Export (USB)"},
        {50042,
         "Exports selected device protocols and associated test specifications to a removeable drive (XML "
         "data exchange format)."},
        {50068, "Device protocol(s) - Export (Folder)"},
        {50070,
         "Exports selected device protocols into the specified folder. Corresponding test specifications are "
         "imported too."},
        {154, "Device protocol(s) - CSV-Export (USB)"},
        {50021,
         "Exports the selected device protocols to a removeable drive (CSV format e.g. for an MS Excel "
         "import)."},
        {50139, "Device protocol export"},
        {31361, "%s KB free disk space"},
        {50064, "%s MB free disk space"},
        {TextId::kDriveNotConnected, "Removeable drive not connected."},
        {50040, "Drive not available"},
        {TextId::kExit, "Exit"},
        {TextId::kCannotCreateFolder, "Drive: Could not create folder %s!"},
        {165,
         "Test datas already exist on this drive. If you continue existing test data will be overwritten!"},
        {60015, "The tester expected more data (\"%s\") instead of accepting the end."},
        {60016, "Unexpected answer of the tester: \"%s\"."},
        {60013, "Database error: the database is in use by another user or program and stayed locked longer "
                "than the "
                "waiting time. Try again later."},
        {60014, "Database error: the database or its data folder is write-protected. Ask the administrator "
                "for write "
                "access."},
        {50045, "Drive: Could not delete file %s!"},
        {167, "Could not open test database!"},
        {168, "Could not found test data record!"},
        {169, "Could not read test data record!"},
        {50046, "Drive: An unspecified error occurred!"},
        {50047, "Drive: The file could not be located!"},
        {50048, "Drive: All or part of the path is invalid!"},
        {50049, "Drive: The file could not be accessed!"},
        {50050, "Drive: There are no more directory entries!"},
        {50051, "Drive: The disk is full!"},
        {50052, "Drive: The end of file was reached!"},
        {50053, "Drive: Error %d!"},
        {178, "Exporting test specification: %s ..."},
        {179, "Exporting device protocol: %s ..."},
        {180, "Detecting corresponding test specifications..."},
        {50066, "Actual folder: %s"},
        {205, "Confirm deletion"},
        {210, "Confirm overwriting"},
        {50038, "USB-Drive:"},
        {50182, "Folder"},
        {50065, "Search folder"},
        {60020, "The import stopped: the database kept changing while the record was being stored."},
        {60021, "Device %s (GUID %s): another import stored a protocol of this device meanwhile, or a "
                "current protocol of this GUID belongs to another device."},
        {60022, "Test specification %s: another import stored a specification of this name meanwhile."},
    };
    const char* text = texts.value(textId, nullptr);
    return text ? QString::fromUtf8(text) : QString();
}

QString Resolve(const TextLookup& lookup, qint32 textId) {
    QString text;
    if (lookup)
        text = lookup(textId);
    return text.isEmpty() ? Fallback(textId) : text;
}

QString Joined(const TextLookup& lookup, qint32 first, qint32 second) {
    const QString a = Resolve(lookup, first);
    const QString b = Resolve(lookup, second);
    if (a.isEmpty() || b.isEmpty())
        return a + b;
    return a + QLatin1Char(' ') + b;
}

} // namespace ExchangeText
