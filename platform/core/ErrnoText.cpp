#include "platform/core/ErrnoText.h"

#include <cerrno>

namespace velkora {

QString errnoDescription(int errorNumber)
{
    switch (errorNumber) {
    case 0:
        return {};
    case ENOENT:
        return QStringLiteral("Datei nicht gefunden");
    case EACCES:
        return QStringLiteral("Zugriff verweigert");
    case EPERM:
        return QStringLiteral("Vorgang nicht erlaubt");
    case EISDIR:
        return QStringLiteral("Ist ein Ordner");
    case ENOTDIR:
        return QStringLiteral("Ein Teil des Pfades ist kein Ordner");
    case EINVAL:
        return QStringLiteral("Ungültiges Argument");
    case E2BIG:
        return QStringLiteral("Argumentliste zu lang");
    case ENAMETOOLONG:
        return QStringLiteral("Dateiname zu lang");
    case ELOOP:
        return QStringLiteral("Zu viele Ebenen symbolischer Verknüpfungen");
    case ETXTBSY:
        return QStringLiteral("Datei wird gerade benutzt");
    case ENOMEM:
        return QStringLiteral("Nicht genügend Speicher");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Zu viele offene Dateien");
    case ELIBBAD:
        return QStringLiteral("Beschädigte gemeinsame Bibliothek");
    case EIO:
        return QStringLiteral("Ein-/Ausgabefehler");
    case ENOSYS:
    case EOPNOTSUPP:
        return QStringLiteral("Nicht unterstützt");
    case ENOSPC:
        return QStringLiteral("Kein Platz mehr auf dem Datenträger");
    case EDQUOT:
        return QStringLiteral("Speicherkontingent (Quota) überschritten");
    case EROFS:
        return QStringLiteral("Das Dateisystem ist nur lesbar eingehängt");
    case EFBIG:
        return QStringLiteral("Datei zu groß");
    case EEXIST:
        return QStringLiteral("Datei existiert bereits");
    case EBUSY:
        return QStringLiteral("Gerät oder Datei belegt");
    case EXDEV:
        return QStringLiteral("Nicht über Dateisystemgrenzen hinweg möglich");
    case EMLINK:
        return QStringLiteral("Zu viele Verknüpfungen");
    case ESTALE:
        return QStringLiteral("Veralteter Verweis auf eine Netzwerkdatei");
    case ENXIO:
    case ENODEV:
        return QStringLiteral("Gerät nicht vorhanden");
    case EAGAIN:
        return QStringLiteral("Vorübergehend nicht verfügbar, bitte erneut versuchen");
    default:
        return QStringLiteral("Unbekannter Fehler (%1)").arg(errorNumber);
    }
}

} // namespace velkora
