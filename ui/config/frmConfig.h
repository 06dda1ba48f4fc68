#pragma once
// The configuration window. While it is open, the lines of List1
// (path|name|seconds) are the one working copy of the entries: editing and
// moving change lines only, never the program table, and only "Exit" writes
// them to the configuration file. Each line carries its entry's switch (the
// check box) and its start conditions (icon and tooltip), which move with it. It reaches the
// outside world (file chooser, program start, message box, end of the program) only through the
// Runtime.
//
// Every control carries its design name as its objectName ("txtProg(0)",
// "cmd_updown(1)", "List1"), which is how tests and DEVELOPERS.md find it.

#include "config/ModeFile.h"

#include <QMainWindow>
#include <array>
#include <functional>

class QAction;
class QActionGroup;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QToolButton;

namespace velkora {
class Runtime;
}

class frmConfig : public QMainWindow {
    Q_OBJECT
public:
    /// Index of txtProg and lblGesamt: the field of an entry the box edits.
    enum Field { Path, Name, Seconds };
    /// Index of cmd_updown.
    enum Direction { Up, Down };

    /// listFile: the IniFilePath that "Exit" writes.
    frmConfig(velkora::Runtime &runtime, QString listFile, QWidget *parent = nullptr);

    /// Fills List1 with the filled slots of the program table; no line is selected.
    void FillProgramList(const velkora::ProgramList &table);

    /// The entries of List1's lines in their order.
    QList<ModeFile::ListEntry> listEntries() const;

private Q_SLOTS:
    void List1_Click();
    void cmd_add_Click();
    void cmd_change_Click();
    void cmd_kill_Click();
    void cmd_updown_Click(int Index);
    void cmd_Search_Click();
    void cmd_test_Click();
    void cmd_exit_Click();
    void mnuInfo_Click();
    void toggleLoginStart(bool checked);
    void openTakeOver();
    void setSelectedActive(bool on);
    void setSelectedWaitForTray(bool on);
    void setSelectedWaitForNetwork(bool on);
    void setSelectedWaitMax(QAction *choice);

private:
    void createControls();
    void createOptionsMenu();
    void createEntryActions();
    void showLoginStart();
    void showEntryOptions();
    void showEntryMenu(const QPoint &at);
    void changeSelected(const std::function<void(ModeFile::ListEntry &)> &change);
    void placeControls();
    // Copies the fields of the selected line into the boxes; an empty field
    // leaves its box showing what was shown last.
    void ShowSelectedEntry();
    int selectedIndex() const;
    void unselect();
    bool takeableInput(const char *action) const;
    void secondsCheck();
    ModeFile::ListEntry entryFromBoxes() const;
    // A line of List1: its entry, and what the window knows of it beyond the file.
    struct Line {
        ModeFile::ListEntry entry;
        QString alsoStartedAs {}; // the session's autostart entry that starts it too
        bool takenOver = false; // taken from the session's autostart since the window opened
    };
    static QListWidgetItem *newItem(const Line &line);
    static Line lineOf(const QListWidgetItem *item);
    static void setLine(QListWidgetItem *item, const Line &line);
    static void setEntry(QListWidgetItem *item, const ModeFile::ListEntry &entry);
    static ModeFile::ListEntry entryOf(const QListWidgetItem *item);
    void markDoubleStarts(int first, int count);
    void takeOverSessionEntries();
    void switchSessionEntries();
    void resetBoxes();

    std::array<QLabel *, 3> lblGesamt {};
    std::array<QLineEdit *, 3> txtProg {};
    QListWidget *List1 = nullptr;
    QToolButton *cmd_Search = nullptr;
    QToolButton *cmd_add = nullptr;
    QToolButton *cmd_test = nullptr;
    QToolButton *cmd_kill = nullptr;
    QToolButton *cmd_change = nullptr;
    std::array<QToolButton *, 2> cmd_updown {};
    QToolButton *cmd_exit = nullptr;
    QMenu *mnuIn = nullptr;
    QAction *mnuInfo = nullptr;

    velkora::Runtime &m_runtime;
    const QString IniFilePath;
    QAction *m_loginStart = nullptr;
    QAction *m_takeOver = nullptr;
    // The selected entry's switch and conditions, in "Optionen" and in the
    // list's context menu alike.
    QAction *m_entryActive = nullptr;
    QAction *m_waitForTray = nullptr;
    QAction *m_waitForNetwork = nullptr;
    QMenu *m_waitMaxMenu = nullptr;
    QActionGroup *m_waitMaxChoices = nullptr;
    QMenu *m_entryMenu = nullptr;
    // What ShowSelectedEntry showed last; kept for the whole run.
    QString ShownPath;
    QString ShownName;
    qint32 ShownSeconds = 0;
};
