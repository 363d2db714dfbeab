#pragma once

// The documents the exchange benchmarks import: test specifications and device protocols
// as records, written to a folder as PV.xml and GP.xml the way an export writes them.
#include "exchange/XmlRecords.h"

#include <QByteArray>
#include <QString>

namespace BenchData {

constexpr int kSpecifications = 100;

XmlSpecificationRecord Specification(int i);
// Protocol i, of specification i % kSpecifications.
XmlProtocolRecord Protocol(int i);
// PV.xml with the kSpecifications specifications and GP.xml with protocols 0 .. protocols-1.
bool WriteFolder(const QString& folder, int protocols);
// "05.03.2009" and "14:07:09" as stored: "2009-03-05 14:07:09".
QByteArray Stored(const QString& date, const QString& time);

} // namespace BenchData
