#include "config/StartConditions.h"

namespace velkora {

namespace {

QStringList namesOf(const QString &waitFor)
{
    QStringList names = waitFor.split(QLatin1Char(','));
    for (QString &name : names)
        name = name.trimmed();
    names.removeAll(QString());
    return names;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString withCondition(const QString &waitFor, const QString &condition, bool on)
{
    QStringList names = namesOf(waitFor);
    const bool there = std::any_of(names.cbegin(), names.cend(),
                                   [&](const QString &name) { return sameName(name, condition); });
    if (there == on)
        return waitFor;
    if (on)
        names.append(condition);
    else
        names.removeIf([&](const QString &name) { return sameName(name, condition); });
    return names.join(QLatin1Char(','));
}

} // namespace

QString trayConditionName()
{
    return QStringLiteral("Infobereich");
}

QString networkConditionName()
{
    return QStringLiteral("Netzwerk");
}

StartConditions parseStartConditions(const QString &waitFor)
{
    StartConditions conditions;
    for (const QString &name : namesOf(waitFor)) {
        if (sameName(name, trayConditionName()))
            conditions.tray = true;
        else if (sameName(name, networkConditionName()))
            conditions.network = true;
        else
            conditions.unknown.append(name);
    }
    return conditions;
}

QString withTrayCondition(const QString &waitFor, bool on)
{
    return withCondition(waitFor, trayConditionName(), on);
}

QString withNetworkCondition(const QString &waitFor, bool on)
{
    return withCondition(waitFor, networkConditionName(), on);
}

qint32 effectiveWaitMax(std::optional<qint32> waitMax)
{
    return waitMax && *waitMax >= MinWaitMax && *waitMax <= MaxWaitMax ? *waitMax : DefaultWaitMax;
}

} // namespace velkora
