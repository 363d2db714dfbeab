#pragma once

#include <QMainWindow>
#include <memory>

class CInfoView;
class CVELMOR740PCRemoteDoc;
class CVELMOR740PCRemoteView;
class CWindowMessages;
class QAction;
class QLabel;
class QSplitter;

// The main window: menus in the current language, the tool bar with Back, Filter and
// Action, the status bar, and the information pane above the main view.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // Command numbers of the menus and the tool bar.
    enum Command : int {
        IdBack = 32780,
        IdAction = 32781,
        IdFilter = 32783,
        IdSelectAll = 32787,
        IdInvertSelection = 32788,
        IdDeutsch = 2000,
        IdEnglish = 2001,
        IdItaliano = 32794,
        IdCesky = 32800,
        IdFrancais = 32801,
        IdOesterreichisch = 32802,
        IdCastellano = 32803,
    };
    // The command number of a language name, 0 for none.
    static int LanguageCommand(const QString& language);

    CMainFrame(CVELMOR740PCRemoteDoc& doc, CWindowMessages& messages, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CVELMOR740PCRemoteView* View() const { return m_view; }
    CInfoView* InfoView() const { return m_info; }
    QSplitter* Splitter() const { return m_splitter; }

    // The menu and tool-bar action of a command number.
    QAction* CommandAction(int command) const;
    bool IsIndeterminate(int command) const;
    // The texts of the five status panes (the icon panes as their text).
    QString PaneText(int pane) const;
    // The "N overdue" pane (hidden while nothing is overdue).
    QLabel* OverduePane() const { return m_overduePane; }
    int PaneIcon(int pane) const;

    // Builds the menus and the status texts in the document's language.
    void BuildMenus();

public slots:
    void OnItemCount(int count);
    // Counts the overdue current protocols again for their status pane.
    void UpdateOverdue();
    void OnProgress(bool busy, const QString& text);
    void OnLinkStatus(const QString& port, const QString& baudRate, const QString& dataBits, int icon);
    void OnRedraw();
    void OnLockMainWindow(bool locked);
    // Another start asked for this window.
    void Activate();
    void OnPrintSetup();
    void OnAbout();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void UpdateStatusTexts();
    void UpdateOverdueText();
    void UpdateCommands();
    QAction* AddCommand(QMenu* menu, const QString& text, int command);

    CVELMOR740PCRemoteDoc& m_doc;
    CWindowMessages& m_messages;
    CInfoView* m_info = nullptr;
    CVELMOR740PCRemoteView* m_view = nullptr;
    QSplitter* m_splitter = nullptr;
    QAction* m_back = nullptr;
    QAction* m_filter = nullptr;
    QAction* m_action = nullptr;
    QList<QAction*> m_menuActions;
    bool m_indeterminate = false;

    QLabel* m_countPane = nullptr;
    QLabel* m_overduePane = nullptr;
    int m_overdue = 0;
    bool m_overduePending = false;
    bool m_painted = false; // the window was painted once: counts may run
    bool m_fitted = false;  // the first show's size was made to include the window frame
    QLabel* m_progressIcon = nullptr;
    QLabel* m_progressText = nullptr;
    QLabel* m_linkIcon = nullptr;
    QLabel* m_portPane = nullptr;
    QLabel* m_baudPane = nullptr;
    QLabel* m_bitsPane = nullptr;
    int m_count = 0;
    int m_progressIconId = 179;
    int m_linkIconId = 169;
    QString m_port, m_baud, m_bits;
};
