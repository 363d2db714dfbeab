#pragma once

#include <QByteArray>
#include <QString>

// The version texts of the version resource of a Windows PE file (the tester's .dll and
// .exe files in the update package). Our own reader: every offset of the file is checked
// against its bytes. On failure the text receives a marker:
//   "InfoSize ?"    the file has no version resource (or is no PE file)
//   "RAM ?"         no memory for the file
//   "VersionInfo ?" the version resource cannot be read
//   "Info ?"        the value is missing
namespace FileVersion {

// "FileVersion" of "\StringFileInfo\040704b0\", else of the block of the first
// translation in "\VarFileInfo\Translation".
bool ReadFileVersion(const QString& path, QString& text);
bool ReadProductVersion(const QString& path, QString& text);

// The same on the bytes of a file; key is "FileVersion" or "ProductVersion".
bool ReadVersionValue(const QByteArray& file, const QString& key, QString& text);

// The raw version resource (VS_VERSIONINFO) of a PE file; false when there is none.
bool FindVersionResource(const QByteArray& file, QByteArray& resource);

// The value of "\StringFileInfo\<block>\<key>" of a version resource, as the lookup above
// does it; 1 found, 0 value missing, -1 resource unreadable.
int QueryValue(const QByteArray& resource, const QString& key, QString& value);

} // namespace FileVersion
