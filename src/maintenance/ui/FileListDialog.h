#pragma once

#include "maintenance/SoftwareUpdate.h"

#include <QDialog>
#include <vector>

class CVELMOR740PCRemoteDoc;
class QTableWidget;

// The files of the update package with their size and their versions in the package and
// on the tester.
class CFileListDialog : public QDialog {
    Q_OBJECT
public:
    CFileListDialog(CVELMOR740PCRemoteDoc& doc, const QString& headline,
                    const std::vector<CSoftwareUpdate::FileRow>& rows, QWidget* parent = nullptr);
    QTableWidget* List() const { return m_list; }

private:
    QTableWidget* m_list = nullptr;
};
