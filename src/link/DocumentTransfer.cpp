#include "link/DocumentTransfer.h"

#include "link/LinkErrors.h"
#include "link/LinkProtocol.h"
#include "link/RS232.h"

bool SendDocument(CRS232& link, const NextLineFunction& nextLine, const QString& command,
                  const QString& argument, qint32& errorCode, QString& detail) {
    errorCode = 0;
    link.SetReadTimeout(45000); // the tester stores each line before it answers
    bool ok = link.Exchange(QStringLiteral("%1 %2").arg(command, argument), detail);
    int replyClass = 0;
    bool first = true;
    while (ok) {
        QString line;
        const bool more = nextLine(line);
        ok = link.SendUtf8Line(line, first);
        first = false;
        QString reply;
        if (ok)
            ok = link.ReadReply(reply);
        if (ok)
            ok = link.ClassifyReply(reply, replyClass, detail);
        if (!more)
            break;
    }
    if (!ok)
        errorCode = link.GetErrorCode();
    else if (replyClass != LinkProtocol::Ok) {
        errorCode = LinkError::DocumentNotAcked;
        ok = false;
    }
    link.SetReadTimeout(1000);
    return ok;
}
