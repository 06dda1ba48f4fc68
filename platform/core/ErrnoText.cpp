#include "platform/core/ErrnoText.h"

#include <cerrno>
#include <utility>

namespace velkora {

namespace {

const std::pair<int, const char16_t *> Descriptions[] = {
    {ENOENT, u"Datei nicht gefunden"},
    {EACCES, u"Zugriff verweigert"},
    {EPERM, u"Vorgang nicht erlaubt"},
    {EISDIR, u"Ist ein Ordner"},
    {ENOTDIR, u"Ein Teil des Pfades ist kein Ordner"},
    {EINVAL, u"Ungültiges Argument"},
    {E2BIG, u"Argumentliste zu lang"},
    {ENAMETOOLONG, u"Dateiname zu lang"},
    {ELOOP, u"Zu viele Ebenen symbolischer Verknüpfungen"},
    {ETXTBSY, u"Datei wird gerade benutzt"},
    {ENOMEM, u"Nicht genügend Speicher"},
    {EMFILE, u"Zu viele offene Dateien"},
    {ENFILE, u"Zu viele offene Dateien"},
    {ELIBBAD, u"Beschädigte gemeinsame Bibliothek"},
    {EIO, u"Ein-/Ausgabefehler"},
    {ENOSYS, u"Nicht unterstützt"},
    {EOPNOTSUPP, u"Nicht unterstützt"},
    {ENOSPC, u"Kein Platz mehr auf dem Datenträger"},
    {EDQUOT, u"Speicherkontingent (Quota) überschritten"},
    {EROFS, u"Das Dateisystem ist nur lesbar eingehängt"},
    {EFBIG, u"Datei zu groß"},
    {EEXIST, u"Datei existiert bereits"},
    {EBUSY, u"Gerät oder Datei belegt"},
    {EXDEV, u"Nicht über Dateisystemgrenzen hinweg möglich"},
    {EMLINK, u"Zu viele Verknüpfungen"},
    {ESTALE, u"Veralteter Verweis auf eine Netzwerkdatei"},
    {ENXIO, u"Gerät nicht vorhanden"},
    {ENODEV, u"Gerät nicht vorhanden"},
    {EAGAIN, u"Vorübergehend nicht verfügbar, bitte erneut versuchen"},
};

} // namespace

QString errnoDescription(int errorNumber)
{
    if (errorNumber == 0)
        return {};
    for (const auto &[number, text] : Descriptions) {
        if (number == errorNumber)
            return QString::fromUtf16(text);
    }
    return QStringLiteral("Unbekannter Fehler (%1)").arg(errorNumber);
}

} // namespace velkora
