#include "maintenance/ConnectionTest.h"

namespace {
constexpr int kTestReadTimeout = 15000;
}

const QStringList& CConnectionTest::Commands() {
    static const QStringList commands{
        QStringLiteral(":IDNR?"),
        QStringLiteral(":IDNM?"),
        QStringLiteral(":IDNF?"),
        QStringLiteral(":IDNH?"),
        QStringLiteral(":IDNS?"),
        QStringLiteral(":MEAS:STEP 81"),
        QStringLiteral(":MEAS:STEP:VAL?"),
        QStringLiteral(":MEAS:STEP:NAME?"),
        QStringLiteral(":MEAS:STEP:UNIT?"),
        QStringLiteral(":MEAS:STEP:EXIT"),
        QStringLiteral(":SYST:TP?"),
        QStringLiteral(":SYST:TEXT 1"),
        QStringLiteral(":SYST:TEXT:VAL?"),
        QStringLiteral(":SYST:UNOM 230"),
        QStringLiteral(":SYST:UNOM?"),
        QStringLiteral(":SYST:PAT 1+2"),
        QStringLiteral(":SYST:ENCS"),
        QStringLiteral(":SYST:DISCS"),
        QStringLiteral(":CAT:MEAS:STEPS?"),
        QStringLiteral(":CAT:MEAS:STEP 81"),
        QStringLiteral(":CAT:MEAS:STEP:VAL?"),
        QStringLiteral(":CAT:XML:MEAS:STEPS?"),
        QStringLiteral(":CAT:XML:TYP:NAMES?"),
        QStringLiteral(":CAT:XML:TYP:NAME Test"),
        QStringLiteral(":CAT:XML:DEVICE:IDS?"),
        QStringLiteral(":CAT:XML:DEVICE:GUID {xxx-xxx-xxx}"),
        QStringLiteral(":CAT:XML:DOC:NEXT?"),
        QStringLiteral(":CAT:XML:DOC:REPEAT?"),
    };
    return commands;
}

bool CConnectionTest::Connect(const CSerialProfile& settings) {
    m_identity = {};
    CTesterConnection connection(m_link, m_dataFolder, settings);
    connection.SetFoundHandler(m_onFound);
    QString reply;
    const bool connected = connection.Connect(reply);
    m_foundByScan = connection.FoundByScan();
    if (!connected)
        return false;
    m_link.SendCommand(QStringLiteral(":IDNM?")) && m_link.ReadReply(m_identity.name);
    m_link.QuerySoftwareVersion(m_identity.software);
    m_link.SendCommand(QStringLiteral(":IDNF?")) && m_link.ReadReply(m_identity.firmware);
    m_link.SendCommand(QStringLiteral(":IDNS?")) && m_link.ReadReply(m_identity.serial);
    m_link.SetReadTimeout(kTestReadTimeout);
    m_link.SetErrorCode(0);
    return true;
}

bool CConnectionTest::Send(const QString& command, QString& reply) {
    reply.clear();
    if (command.contains(QLatin1String("ENCS")))
        return m_link.EnableChecksums(reply);
    if (command.contains(QLatin1String("DISCS")))
        return m_link.DisableChecksums(reply);
    return m_link.SendCommand(command) && m_link.ReadReply(reply);
}

void CConnectionTest::Close() {
    m_link.Disconnect();
}
