#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The print header as it lives in the data folder: "header.txt" with the three header
// lines and the signature option, the logo "logo.bmp" and one scrambled file per stored
// signature ("<name>.sign"). The reports read these files; the print header dialog and
// "v740ctl header" change them.
class CPrintHeaderText {
public:
    static constexpr int kLineCount = 3;
    static constexpr int kLineLength = 50; // characters, not bytes
    static constexpr int kOptionCount = 3; // signature options 0, 1 and 2

    // Error numbers (TextIDs) of the file operations below.
    static constexpr int kBitmapRefused = 50205; // shown with the path: "%s\n%s"
    static constexpr int kStoreFailed = 50196;

    static QString HeaderFileName();                       // "header.txt"
    static QString LogoFileName();                         // "logo.bmp"
    static QString SignExtension();                        // "sign"
    static QString SignatureFileName(const QString& name); // "<name>.sign"
    // The signature name of a chosen bitmap: its file name with every ".bmp" removed.
    static QString SignatureName(const QString& bitmapPath);
    // The tester's system folder "\%SYSTEM%" and a file in it ("\%SYSTEM%\header.txt").
    static QString TesterFolder();
    static QString TesterPath(const QString& fileName);

    CPrintHeaderText() = default;

    const QString& Line(int index) const { return m_lines[index]; }
    // Takes the first 50 characters (composed, so that "e" plus an accent counts as one).
    // A character the legacy code page lacks cannot be stored: the line stays as it was,
    // false is returned and unmappable (when given) receives that character.
    bool SetLine(int index, const QString& text, QString* unmappable = nullptr);
    // The text SetLine would store, without the code page check.
    static QString CutLine(const QString& text);

    int Option() const { return m_option; }
    bool SetOption(int option); // false (and unchanged) outside 0 to 2

    // "header.txt" from and to bytes. Lines end with CR LF or LF; each is cut to 50
    // characters. A missing fourth line, one that does not begin with "sign=" or a number
    // outside 0 to 2 gives option 0. An empty codePage means the user's code page.
    static CPrintHeaderText Parse(const QByteArray& bytes, const QByteArray& codePage = QByteArray());
    // Three lines and "sign=<option>", each ended by CR LF. False when a character has no
    // byte in the code page (unmappable receives it).
    bool Format(QByteArray& out, const QByteArray& codePage = QByteArray(),
                QString* unmappable = nullptr) const;

    // Reads "header.txt" of the data folder; false (and an empty header, option 0) when it
    // cannot be read.
    bool Read(const QString& dataFolder, const QByteArray& codePage = QByteArray());
    // Replaces "header.txt" of the data folder as a whole; on failure the old file stays.
    bool Write(const QString& dataFolder, const QByteArray& codePage = QByteArray(),
               QString* unmappable = nullptr) const;

    // The names of the stored signatures (files "*.sign" of the data folder), in name order.
    static QStringList SignatureNames(const QString& dataFolder);
    // The bitmap of a stored signature, unscrambled; false when it cannot be read.
    static bool ReadSignature(const QString& dataFolder, const QString& name, QByteArray& bitmap);

    // Validates the bitmap and copies it to "logo.bmp". Returns 0, kBitmapRefused (nothing
    // changed) or kStoreFailed (the old logo stays).
    static int StoreLogo(const QString& dataFolder, const QString& bitmapPath);
    // Validates the bitmap and stores it scrambled as "<name>.sign", replacing a signature
    // of the same name. Returns 0, kBitmapRefused or kStoreFailed, as StoreLogo.
    static int StoreSignature(const QString& dataFolder, const QString& bitmapPath, QString* name = nullptr);
    static bool DeleteSignature(const QString& dataFolder, const QString& name);

private:
    QString m_lines[kLineCount];
    int m_option = 0;
};
