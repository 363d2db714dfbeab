#pragma once

#include "app/BaseClass.h"

#include <QPointer>
#include <QWidget>
#include <array>
#include <memory>

class QAbstractItemView;
class QDialog;
class QListView;
class QStackedLayout;
class QTimer;
class QTreeView;
class CServerChangeWatch;

// The main view: one list that shows the content of one directory object at a time and
// forwards every click, double-click, key and command to the directory objects.
class CVELMOR740PCRemoteView : public QWidget, public CDirectoryView {
    Q_OBJECT
public:
    explicit CVELMOR740PCRemoteView(CVELMOR740PCRemoteDoc& doc, QWidget* parent = nullptr);
    ~CVELMOR740PCRemoteView() override;

    // Sets the list font and the image list and shows the catalogue.
    void OnInitialUpdate();

    // CDirectoryView
    CVELMOR740PCRemoteDoc& Document() override { return m_doc; }
    CDirectoryList& List() override { return m_list; }
    CMainViewState& State() override { return m_state; }
    CBaseClass& Directory(DirectoryKind kind) override { return *m_objects[size_t(kind)]; }
    CBaseClass* CurrentDirectory() const override { return m_current; }
    void SetCurrentDirectory(CBaseClass* directory) override { m_current = directory; }
    void SendItemCount(int count) override;
    void RedrawAll() override;
    void LockMainWindow() override;
    void UnlockMainWindow() override;
    CatalogueDialogResult RunCatalogueDialog(CatalogueDialog dialog) override;
    qint32 RunMenu(const QString& title, const QString& header, const QList<CMenuEntry>& entries) override;
    std::unique_ptr<CDirectoryProgress> OpenProgress(const QString& title, const QString& button,
                                                     const QString& text, int range) override;
    bool RunFilterDialog(CFilterRequest& request) override;
    void StartSend(bool specifications, const QList<qint32>& ids) override;

    // Replaces one of the directory objects; the items it served are served by the new one.
    void ReplaceDirectory(DirectoryKind kind, std::unique_ptr<CBaseClass> object);

    // The list widget showing the current mode, and both.
    QAbstractItemView* ActiveList() const;
    QListView* IconList() const { return m_iconList; }
    QTreeView* ReportList() const { return m_reportList; }

    // The modeless transfer dialog of a running send worker; closed when it ends.
    void SetTransferDialog(QDialog* dialog) { m_transferDialog = dialog; }
    bool IsMainWindowLocked() const { return m_locked; }

    // With the user database on a server: follows the changes other workstations commit,
    // reloading the data directory or history list shown (selection and scroll position
    // kept) once no dialog, menu or transfer is in the way. Nothing with a local file.
    void WatchServer();
    bool IsWatchingServer() const;

    // Commands, also reachable from the frame.
    bool CanBack() const;
    bool CanFilter() const;
    bool CanAction() const;
    bool CanSelectAll() const;

public slots:
    void OnBack();
    void OnFilter();
    void OnAction();
    void OnSelectAll();
    void OnInvertSelection();
    // The language change: stored filters off, language stored, menus rebuilt, catalogue.
    void OnLanguage(const QString& language);
    // Window messages of the workers.
    void OnTransferEnded(bool success);
    void OnPrintEnded(bool success);
    void OnClearList();

signals:
    // The information pane and the commands must be redrawn.
    void redrawRequested();
    // The main window is to be disabled (true) or enabled again.
    void mainWindowLockRequested(bool locked);
    // The language changed: menus and status texts are rebuilt.
    void languageChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnSelectionChanged();
    void OnModeChanged();
    void DoubleClickSelected();
    void EmptyClick();
    void ActionOnSelection();
    bool HandleKey(QKeyEvent* key);
    bool HandleMouse(QAbstractItemView* list, QMouseEvent* mouse);
    void OnServerChanged(const QStringList& tables);
    void ReloadShownList();

    CVELMOR740PCRemoteDoc& m_doc;
    CDirectoryList m_list;
    CMainViewState m_state;
    // Root, RS232 test, software update, import, test specifications and their rows,
    // device protocols and their rows, print header.
    std::array<std::unique_ptr<CBaseClass>, kDirectoryKindCount> m_objects;
    CBaseClass* m_current = nullptr;
    QStackedLayout* m_stack = nullptr;
    QListView* m_iconList = nullptr;
    QTreeView* m_reportList = nullptr;
    QPointer<QDialog> m_transferDialog;
    bool m_locked = false;
    CServerChangeWatch* m_watch = nullptr;
    QTimer* m_reloadTimer = nullptr;
};
