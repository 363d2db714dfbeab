#pragma once

#include <QDialog>

class CVELMOR740PCRemoteDoc;

// The about dialog: the program's version and the data folder in use.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(CVELMOR740PCRemoteDoc& doc, QWidget* parent = nullptr);
    // The version the build gives the program.
    static QString ProductVersion();
};
