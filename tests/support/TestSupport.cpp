#include "support/TestSupport.h"

#include <QProcess>
#include <QProcessEnvironment>

#ifndef V740_BIN_DIR
#error "V740_BIN_DIR must name build/bin"
#endif

QString BinPath(const QString& program) {
    return QStringLiteral(V740_BIN_DIR) + QLatin1Char('/') + program;
}

ProcessResult RunProgram(const QString& program, const QStringList& args, const QStringList& env,
                         int timeoutMs, const QByteArray& input) {
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const QString& kv : env) {
        const qsizetype eq = kv.indexOf(QLatin1Char('='));
        e.insert(kv.left(eq), kv.mid(eq + 1));
    }
    p.setProcessEnvironment(e);
    p.start(BinPath(program), args);
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    ProcessResult r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("timed out");
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
