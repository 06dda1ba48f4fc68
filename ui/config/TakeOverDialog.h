#pragma once
// The programs the session starts at login by itself, all at once: the user
// ticks those that Velkora is to start instead, in its order and with its
// waits. The window only chooses; the configuration window adds the chosen
// entries to its list, and "Exit" switches them off in the session.

#include "platform/Runtime.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTreeWidget;

class TakeOverDialog : public QDialog {
    Q_OBJECT
public:
    /// room: how many entries the list can still take.
    TakeOverDialog(const QList<velkora::SessionEntry> &entries, int room,
                   QWidget *parent = nullptr);

    /// The ticked entries that fit into the list, in the order shown.
    QList<velkora::SessionEntry> chosen() const;

private:
    void showRoom();
    QList<velkora::SessionEntry> ticked() const;

    QList<velkora::SessionEntry> m_entries;
    int m_room;
    QLabel *m_intro = nullptr;
    QTreeWidget *m_list = nullptr;
    QLabel *m_status = nullptr;
    QPushButton *m_takeOver = nullptr;
    QPushButton *m_cancel = nullptr;
};
