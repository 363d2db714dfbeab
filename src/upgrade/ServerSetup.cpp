#include "upgrade/ServerSetup.h"

#include "platform/Notifier.h"
#include "platform/RegistryKey.h"
#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "upgrade/DatabaseUpgrade.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <libpq-fe.h>

namespace ServerSetup {

namespace {

// Collects what the layer would show, so the dialog can tell it in its own place.
class CCollectingNotifier : public CNotifier {
public:
    // The driver's error box is reduced to what it says about the cause: its description
    // and, after the SQLSTATE, its meaning.
    void ShowMessage(const QString& text, const QString&, Icon) override {
        static const QRegularExpression description(QStringLiteral("Description\\s*= ([^\\n]*)"));
        static const QRegularExpression meaning(QStringLiteral("Meaning\\s*= (?:SQLSTATE \\w+: )?([^\\n]*)"));
        const QRegularExpressionMatch d = description.match(text);
        if (!d.hasMatch()) {
            texts << text.trimmed();
            return;
        }
        QString line = d.captured(1).trimmed();
        const QRegularExpressionMatch m = meaning.match(text);
        if (m.hasMatch() && !m.captured(1).trimmed().isEmpty())
            line = m.captured(1).trimmed() + QStringLiteral(": ") + line;
        texts << line;
    }
    Answer Ask(const QString&, const QString&, Buttons, Icon) override { return Answer::No; }
    QStringList texts;
};

QString Quote(const QString& value) {
    if (!value.isEmpty() && !value.contains(QRegularExpression(QStringLiteral("[\\s'\\\\]"))))
        return value;
    QString quoted = value;
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// The certificates of an openssl output, in order.
QStringList PemBlocks(const QString& text) {
    QStringList blocks;
    static const QRegularExpression pem(
        QStringLiteral("-----BEGIN CERTIFICATE-----[A-Za-z0-9+/=\\s]+-----END CERTIFICATE-----"));
    for (auto it = pem.globalMatch(text); it.hasNext();)
        blocks << it.next().captured(0) + QLatin1Char('\n');
    return blocks;
}

QByteArray Der(const QString& pem) {
    QString body = pem;
    body.remove(QStringLiteral("-----BEGIN CERTIFICATE-----"))
        .remove(QStringLiteral("-----END CERTIFICATE-----"));
    static const QRegularExpression space(QStringLiteral("\\s"));
    body.remove(space);
    return QByteArray::fromBase64(body.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
}

bool RunOpenssl(const QStringList& args, const QByteArray& input, QString& out, QString& message) {
    QProcess p;
    p.start(QStringLiteral("openssl"), args);
    if (!p.waitForStarted(5000)) {
        message = QStringLiteral("The program openssl (package openssl) is not installed.");
        return false;
    }
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(15000)) {
        p.kill();
        p.waitForFinished(1000);
        message = QStringLiteral("The server did not answer within 15 seconds.");
        return false;
    }
    out = QString::fromUtf8(p.readAllStandardOutput());
    if (p.exitStatus() != QProcess::NormalExit) {
        message = QStringLiteral("openssl ended abnormally.");
        return false;
    }
    message = QString::fromUtf8(p.readAllStandardError()).trimmed();
    return true;
}

} // namespace

Parts Split(const QString& conninfo) {
    Parts parts;
    PQconninfoOption* options = PQconninfoParse(conninfo.toUtf8().constData(), nullptr);
    if (!options)
        return parts;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (!o->val)
            continue;
        const QString value = QString::fromUtf8(o->val);
        const QByteArray key(o->keyword);
        if (key == "host")
            parts.host = value;
        else if (key == "port")
            parts.port = value;
        else if (key == "dbname")
            parts.dbname = value;
        else if (key == "user")
            parts.user = value;
        else if (key == "sslmode")
            parts.sslmode = value;
        else if (key == "sslrootcert")
            parts.sslrootcert = value;
    }
    PQconninfoFree(options);
    return parts;
}

QString Join(const Parts& parts) {
    QStringList items;
    auto add = [&items](const char* key, const QString& value) {
        if (!value.trimmed().isEmpty())
            items << QString::fromLatin1(key) + QLatin1Char('=') + Quote(value.trimmed());
    };
    add("host", parts.host);
    add("port", parts.port);
    add("dbname", parts.dbname);
    add("user", parts.user);
    add("sslmode", parts.sslmode);
    add("sslrootcert", parts.sslrootcert);
    return items.join(QLatin1Char(' '));
}

Check Test(const QString& conninfo) {
    Check check;
    CCollectingNotifier collected;
    CScopedNotifier scope(&collected);
    CAdoDatabase db;
    if (!db.OpenServer(conninfo)) {
        check.message = collected.texts.join(QLatin1Char('\n'));
        return check;
    }
    if (!DatabaseUpgrade::ReadVersion(db, check.version)) {
        check.message = QStringLiteral("The server database has no schema version: it was not made by "
                                       "v740ctl server-init.");
        return check;
    }
    if (check.version != UserSchema::CurrentVersion()) {
        check.message =
            QStringLiteral("The server database has schema version %1; this program works with %2.")
                .arg(check.version, UserSchema::CurrentVersion());
        return check;
    }
    check.ok = true;
    return check;
}

Certificate Fetch(const QString& host, const QString& port) {
    Certificate c;
    const QString address = host + QLatin1Char(':') + (port.isEmpty() ? QStringLiteral("5432") : port);
    QString out;
    if (!RunOpenssl({QStringLiteral("s_client"), QStringLiteral("-starttls"), QStringLiteral("postgres"),
                     QStringLiteral("-connect"), address, QStringLiteral("-servername"), host,
                     QStringLiteral("-showcerts")},
                    QByteArray(), out, c.message))
        return c;
    const QStringList chain = PemBlocks(out);
    if (chain.isEmpty()) {
        c.message = QStringLiteral("The server at %1 presented no certificate (TLS switched off?). %2")
                        .arg(address, c.message.section(QLatin1Char('\n'), 0, 1));
        return c;
    }
    c.pem = chain.last();
    const QByteArray der = Der(c.pem);
    const QByteArray hash = QCryptographicHash::hash(der, QCryptographicHash::Sha256).toHex().toUpper();
    QStringList pairs;
    for (int i = 0; i < hash.size(); i += 2)
        pairs << QString::fromLatin1(hash.mid(i, 2));
    c.fingerprint = pairs.join(QLatin1Char(':'));
    QString names;
    if (!RunOpenssl({QStringLiteral("x509"), QStringLiteral("-noout"), QStringLiteral("-subject"),
                     QStringLiteral("-issuer"), QStringLiteral("-nameopt"), QStringLiteral("RFC2253")},
                    c.pem.toLatin1(), names, c.message))
        return c;
    QString issuer;
    for (const QString& line : names.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("subject=")))
            c.subject = line.mid(8).trimmed();
        else if (line.startsWith(QLatin1String("issuer=")))
            issuer = line.mid(7).trimmed();
    }
    c.selfSigned = !c.subject.isEmpty() && c.subject == issuer;
    if (!c.selfSigned) {
        c.message =
            QStringLiteral("The server sends no root certificate (its last one, \"%1\", was issued by "
                           "\"%2\"). Ask the administrator for the certificate of \"%2\".")
                .arg(c.subject, issuer);
        return c;
    }
    c.message.clear();
    c.ok = true;
    return c;
}

QString Trust(const Certificate& certificate, const QString& host, QString& message) {
    message.clear();
    if (!certificate.ok) {
        message = certificate.message;
        return QString();
    }
    QString name = host;
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    const QString folder = CRegistryKey::KeyFolder();
    const QString path = folder + QStringLiteral("/server-") + name + QStringLiteral(".crt");
    QSaveFile file(path);
    if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly) ||
        file.write(certificate.pem.toLatin1()) < 0 || !file.commit()) {
        message = QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString());
        return QString();
    }
    return path;
}

} // namespace ServerSetup
