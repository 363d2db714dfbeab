#pragma once

#include <QString>

class CAdoDatabase;

// Keeps one client name from being used by two devices of the same name: a protocol may
// take a client only when no protocol of another device (another myGUID) with the same
// device name already has it.
namespace ClientCheck {

enum class Result {
    Accepted,
    Duplicate,    // another device already has this device name and client
    DatabaseError // the check could not run: refuse the value
};

Result Check(CAdoDatabase& db, const QString& device, const QString& client, const QString& guid);

} // namespace ClientCheck
