#pragma once
// What an entry waits for once its seconds have run out ("WARTEN_AUF"), and
// for how long at most ("WARTEN_MAX"). The file spells the conditions by
// their German names, in any case, comma-separated; a name this program does
// not know is kept in the file and otherwise ignored.

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

namespace velkora {

inline constexpr qint32 MinWaitMax = 1;
inline constexpr qint32 MaxWaitMax = 300;
inline constexpr qint32 DefaultWaitMax = 30;

struct StartConditions {
    bool tray = false; // "Infobereich": the tray is ready
    bool network = false; // "Netzwerk": the network is online
    QStringList unknown; // names as written that mean nothing here

    bool any() const { return tray || network; }
};

/// The German names, as the file and the countdown window spell them.
QString trayConditionName();
QString networkConditionName();

/// Reads a "WARTEN_AUF" value: names in any case, blanks around them ignored.
StartConditions parseStartConditions(const QString &waitFor);

/// The value with the tray (or network) condition switched on or off; the
/// other names, unknown ones included, stay as they were.
QString withTrayCondition(const QString &waitFor, bool on);
QString withNetworkCondition(const QString &waitFor, bool on);

/// The longest wait that applies: the file's value where it lies in 1 to 300,
/// else 30.
qint32 effectiveWaitMax(std::optional<qint32> waitMax);

} // namespace velkora
