#pragma once

// The sources that `v740ctl import --source NAME` can read from. "drive" and "folder" are
// built in; another Cmd*.cpp file adds its own with a static ImportSourceRegistration.

#include "cli/Commands.h"
#include "exchange/XmlSource.h"

#include <functional>
#include <memory>

namespace Cli {

// Makes the source for one import run; `path` is --path (may be empty). Returns null and
// sets `error` (a message for standard error) when the source cannot be used. The source
// lives until the command ends, so its destructor may close what it opened.
using ImportSourceFactory = std::function<std::unique_ptr<CXmlSource>(const GlobalOptions& options,
                                                                      const QString& path, QString& error)>;

// --kind: "specs" or "protocols".
bool ParseKind(const QString& text, ExchangeKind& kind);

void RegisterImportSource(const QString& name, ImportSourceFactory factory);

struct ImportSourceRegistration {
    ImportSourceRegistration(const char* name, ImportSourceFactory factory) {
        RegisterImportSource(QString::fromUtf8(name), std::move(factory));
    }
};

} // namespace Cli
