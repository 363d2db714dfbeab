#include "platform/RegistryKey.h"

#include "platform/Folders.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>

namespace {

QString Escape(const QString& text) {
    QString out;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out;
}

QString Unescape(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\') && i + 1 < text.size()) {
            const QChar n = text[++i];
            out += n == QLatin1Char('n')   ? QChar(QLatin1Char('\n'))
                   : n == QLatin1Char('r') ? QChar(QLatin1Char('\r'))
                                           : n;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

QString CRegistryKey::KeyFolder() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QLatin1Char('/') + Folders::AppFolderName();
}

QString CRegistryKey::KeyFile() {
    return KeyFolder() + QStringLiteral("/registry");
}

QString CRegistryKey::ErrorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error)) + QLatin1Char('\n');
}

bool CRegistryKey::Load(int* error) {
    m_values.clear();
    m_names.clear();
    QFile f(KeyFile());
    if (!f.open(QIODevice::ReadOnly)) {
        *error = f.exists() ? EACCES : ENOENT;
        return false;
    }
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        // Name=REG_DWORD:123 or Name=REG_SZ:text
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        const qsizetype colon = eq < 0 ? -1 : line.indexOf(QLatin1Char(':'), eq);
        if (colon < 0)
            continue;
        const QString name = line.left(eq).trimmed();
        const QString type = line.mid(eq + 1, colon - eq - 1).trimmed();
        const QString data = line.mid(colon + 1);
        Value v;
        if (type == QLatin1String("REG_DWORD")) {
            bool ok = false;
            v.type = Type::Dword;
            v.number = data.trimmed().toUInt(&ok, 0);
            if (!ok)
                continue;
        } else if (type == QLatin1String("REG_SZ")) {
            v.type = Type::Sz;
            v.text = Unescape(data);
        } else {
            continue;
        }
        m_values.insert(name.toLower(), v);
        m_names.insert(name.toLower(), name);
    }
    return true;
}

bool CRegistryKey::Save(int* error) {
    QString text = QStringLiteral(
        "# Registry key of VELMOR - Roziraz Uvurad; NAME=REG_DWORD:number or NAME=REG_SZ:text\n");
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it) {
        const QString& name = m_names.value(it.key());
        if (it->type == Type::Dword)
            text += QStringLiteral("%1=REG_DWORD:%2\n").arg(name, QString::number(it->number));
        else
            text += QStringLiteral("%1=REG_SZ:%2\n").arg(name, Escape(it->text));
    }
    QSaveFile out(KeyFile());
    if (!out.open(QIODevice::WriteOnly) || out.write(text.toUtf8()) < 0 || !out.commit()) {
        *error = errno ? errno : EIO;
        return false;
    }
    return true;
}

bool CRegistryKey::Open(bool create, bool* created, int* error) {
    int dummy = 0;
    int& err = error ? *error : dummy;
    if (created)
        *created = false;
    m_open = false;
    if (QFile::exists(KeyFile())) {
        if (!Load(&err))
            return false;
        m_open = true;
        return true;
    }
    if (!create) {
        err = ENOENT;
        return false;
    }
    errno = 0;
    if (!QDir().mkpath(KeyFolder())) {
        err = errno ? errno : EACCES;
        return false;
    }
    m_values.clear();
    m_names.clear();
    if (!Save(&err))
        return false;
    m_open = true;
    if (created)
        *created = true;
    return true;
}

bool CRegistryKey::HasValue(const QString& name, Type* type) const {
    const auto it = m_values.constFind(name.toLower());
    if (it == m_values.cend())
        return false;
    if (type)
        *type = it->type;
    return true;
}

bool CRegistryKey::QueryDword(const QString& name, quint32& value, int* error) const {
    const auto it = m_values.constFind(name.toLower());
    if (it == m_values.cend()) {
        *error = ENOENT;
        return false;
    }
    if (it->type != Type::Dword) {
        *error = EINVAL;
        return false;
    }
    value = it->number;
    return true;
}

bool CRegistryKey::QuerySz(const QString& name, QString& value, int maxBytes, int* error) const {
    const auto it = m_values.constFind(name.toLower());
    if (it == m_values.cend()) {
        *error = ENOENT;
        return false;
    }
    if (it->type != Type::Sz) {
        *error = EINVAL;
        return false;
    }
    // The reader's buffer holds the UTF-16 text and its terminator.
    if ((it->text.size() + 1) * 2 > maxBytes) {
        *error = EOVERFLOW;
        return false;
    }
    value = it->text;
    return true;
}

bool CRegistryKey::SetDword(const QString& name, quint32 value, int* error) {
    Value v;
    v.type = Type::Dword;
    v.number = value;
    m_values.insert(name.toLower(), v);
    m_names.insert(name.toLower(), name);
    return Save(error);
}

bool CRegistryKey::DeleteValue(const QString& name, int* error) {
    if (!m_values.contains(name.toLower()))
        return true;
    m_values.remove(name.toLower());
    m_names.remove(name.toLower());
    return Save(error);
}

bool CRegistryKey::SetSz(const QString& name, const QString& value, int* error) {
    Value v;
    v.type = Type::Sz;
    v.text = value;
    m_values.insert(name.toLower(), v);
    m_names.insert(name.toLower(), name);
    return Save(error);
}
