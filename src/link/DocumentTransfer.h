#pragma once

#include <QString>
#include <functional>

class CRS232;

// Hands out the next document line; after the last one it gives "#EOF#" and false.
using NextLineFunction = std::function<bool(QString& line)>;

// Sends one XML document to the tester: the command line "%s %s" of command and
// argument, then every line (UTF-8, the first with a byte order mark), then "#EOF#",
// each answered by the tester. The answer to "#EOF#" must be "#ok#" (else 50136).
bool SendDocument(CRS232& link, const NextLineFunction& nextLine, const QString& command,
                  const QString& argument, qint32& errorCode, QString& detail);
