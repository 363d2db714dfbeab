#pragma once

#include "app/MenuEntry.h"

#include <QDialog>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;

// The context menu of the data directories as a small modal dialog: a header naming the
// selection, the list of entries and the description of the highlighted entry. It ends
// with the command of the chosen entry, 1 on Cancel, -1 at once when it has no entries.
class CMenuDialog : public QDialog {
    Q_OBJECT
public:
    CMenuDialog(const QString& title, const QString& header, QWidget* parent = nullptr);
    ~CMenuDialog() override;

    void AddEntry(const QString& title, const QString& description, qint32 command);
    const std::vector<CMenuEntry>& Entries() const { return m_entries; }

    int exec() override;
    // Cancel, Escape and the close button end the dialog with 1.
    void reject() override { done(1); }

    QListWidget* EntryList() const { return m_list; }
    QString Description() const;
    QString Header() const;

private:
    void ShowDescription(int row);
    void Choose(int row);

    std::vector<CMenuEntry> m_entries;
    QListWidget* m_list = nullptr;           // control 1100
    QLineEdit* m_header = nullptr;           // control 1099
    QPlainTextEdit* m_description = nullptr; // control 1030
};
