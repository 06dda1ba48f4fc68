#include "ui/config/TakeOverDialog.h"

#include "ui/Layout.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

using velkora::ui::place;
using velkora::ui::twips;

TakeOverDialog::TakeOverDialog(const QList<velkora::SessionEntry> &entries, int room,
                               QWidget *parent)
    : QDialog(parent)
    , m_entries(entries)
    , m_room(std::max(room, 0))
{
    setObjectName(QStringLiteral("TakeOverDialog"));
    setWindowTitle(QStringLiteral("Autostart-Einträge übernehmen"));
    setFixedSize(twips(7500), twips(5010));

    m_intro = new QLabel(this);
    m_intro->setObjectName(QStringLiteral("intro"));
    m_intro->setWordWrap(true);
    m_intro->setText(
        entries.isEmpty()
            ? QStringLiteral("Die Sitzung startet beim Anmelden keine weiteren Programme.")
            : QStringLiteral("Diese Programme startet die Sitzung beim Anmelden selbst, alle "
                             "zugleich. Angehakte Einträge kommen ans Ende der Liste; bei "
                             "„Exit“ schaltet Velkora sie im Autostart der Sitzung ab, damit "
                             "jedes Programm nur einmal startet."));

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("sessionEntries"));
    m_list->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Befehl")});
    m_list->setRootIsDecorated(false);
    m_list->header()->setStretchLastSection(true);
    m_list->setColumnWidth(0, twips(2400));
    for (const velkora::SessionEntry &entry : entries) {
        auto *item = new QTreeWidgetItem(m_list, {entry.name, entry.command});
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(0, Qt::Unchecked);
        item->setToolTip(1, entry.file);
    }
    connect(m_list, &QTreeWidget::itemChanged, this, &TakeOverDialog::showRoom);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);
    m_takeOver = new QPushButton(QStringLiteral("Übernehmen"), this);
    m_takeOver->setObjectName(QStringLiteral("takeOver"));
    m_takeOver->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    m_cancel->setObjectName(QStringLiteral("cancel"));
    connect(m_takeOver, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    // clang-format off
    place(m_intro,     120,  120, 7260,  600);
    place(m_list,      120,  780, 7260, 3300);
    place(m_status,    120, 4155, 4500,  735);
    place(m_takeOver, 4800, 4515, 1230,  375);
    place(m_cancel,   6150, 4515, 1230,  375);
    // clang-format on
    showRoom();
}

QList<velkora::SessionEntry> TakeOverDialog::ticked() const
{
    QList<velkora::SessionEntry> entries;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        if (m_list->topLevelItem(i)->checkState(0) == Qt::Checked)
            entries.append(m_entries.at(i));
    }
    return entries;
}

QList<velkora::SessionEntry> TakeOverDialog::chosen() const
{
    return ticked().mid(0, m_room);
}

// The list holds 31 entries: what does not fit is named before anything is taken.
void TakeOverDialog::showRoom()
{
    const QList<velkora::SessionEntry> entries = ticked();
    QStringList left;
    for (qsizetype i = m_room; i < entries.size(); ++i)
        left.append(entries.at(i).name);
    m_status->setText(left.isEmpty() ? QStringLiteral("Platz in der Liste für %1 weitere Einträge.")
                                           .arg(m_room - entries.size())
                                     : QStringLiteral("Passt nicht mehr in die Liste (höchstens 31 "
                                                      "Einträge): %1")
                                           .arg(left.join(QLatin1String(", "))));
    m_takeOver->setEnabled(!entries.isEmpty() && m_room > 0);
}
