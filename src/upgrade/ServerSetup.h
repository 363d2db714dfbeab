#pragma once

#include <QString>

// Where the user database lives, as the connection dialog and `v740ctl server-use` set it:
// a server's connection string tested before it is kept, and the server's certificate
// taken once, so that every later connection verifies the server it talks to.
namespace ServerSetup {

// The parts of a connection string the dialog edits; others are kept as they stand.
struct Parts {
    QString host;
    QString port;
    QString dbname;
    QString user;
    QString sslmode;
    QString sslrootcert;
};
Parts Split(const QString& conninfo);
// The connection string of these parts (values quoted as libpq reads them).
QString Join(const Parts& parts);

struct Check {
    bool ok = false;
    QString version; // the server database's schema version when it could be read
    QString message; // why not, in the words of the server or the layer
};
// Connects (no password in the string: ~/.pgpass) and reads the schema version; ok only
// when this program can work with that database. Nothing is shown to the user.
Check Test(const QString& conninfo);

struct Certificate {
    bool ok = false;
    QString pem;         // the certificate the server presented last in its chain
    QString subject;     // its subject, as openssl prints it
    QString fingerprint; // SHA-256 of the certificate, colon-separated hex
    bool selfSigned = false;
    QString message; // why it could not be fetched or cannot be trusted
};
// Asks the server at host:port for its certificate (TLS after PostgreSQL's own start
// message, with openssl s_client).
Certificate Fetch(const QString& host, const QString& port);
// Keeps the certificate as the trusted root for host in the program's settings folder;
// the file's path, or empty with the reason in message.
QString Trust(const Certificate& certificate, const QString& host, QString& message);

} // namespace ServerSetup
