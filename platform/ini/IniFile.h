#pragma once
// The INI layer: a file is read once into a document and written back whole,
// in one atomic replacement. Where the program relies on it, the document
// behaves like the Windows profile functions: names match without regard to
// case, the first of two equal keys (and sections) wins, blanks around a value
// are trimmed and a pair of quotes that wraps a whole value is dropped.
// Comments, unknown lines, each line's encoding and the line ends stay as the
// file had them, byte for byte where a line is not changed.
// QSettings neither keeps comments and unknown lines nor matches names without
// regard to case; QSaveFile's rename gives a shared file the writer as its
// owner and syncs no folder. Hence a layer of its own.
//
// platform/ini/ uses platform/core/ and QtCore only.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

namespace velkora {

class IniDocument {
public:
    /// Reads the bytes of a file. Never fails: what is no INI line is kept as
    /// it stands. A UTF-16 byte-order mark (either order) makes the whole file
    /// UTF-16; otherwise each line is UTF-8 where it is valid UTF-8 and
    /// Windows-1252 where not.
    static IniDocument fromBytes(const QByteArray &bytes);

    /// The value of key in section, without blanks around it and one wrapping
    /// pair of quotes removed: empty when the key stands there with an empty
    /// value, nullopt when the section or the key is missing.
    std::optional<QString> value(const QString &section, QStringView key) const;

    /// Replaces the value of the key where it stands, or adds the key after its
    /// section's last key, or adds the section at the end. The value is quoted
    /// where the reader would otherwise change it, so value() gives it back as
    /// it was set; only one with both kinds of quote and blanks at its ends
    /// comes back without those blanks. Setting the value already read changes
    /// nothing. False, with nothing changed, for a name or value that would
    /// break the file's lines (a "]" in the section, a key that is empty, holds
    /// "=" or begins with "[" or ";"), that holds a control character no
    /// editor shows (C0 but TAB, line breaks and NUL among them, and DEL;
    /// such a value already in the file may be set again), or that the file's
    /// encoding cannot hold (an unpaired surrogate outside UTF-16). No control
    /// character but TAB is ever written.
    [[nodiscard]] bool setValue(const QString &section, const QString &key, const QString &value);

    /// Removes every line of the key in the section (so that no later
    /// duplicate comes to light). True when there was one.
    bool removeKey(const QString &section, QStringView key);

    /// True once setValue or removeKey has changed anything.
    bool isModified() const { return m_modified; }

    /// The file's bytes. Lines that were not changed are the bytes read. A
    /// changed line keeps its line's encoding, and a new line in a file whose
    /// other lines are Windows-1252 takes that, where every character fits and
    /// the bytes read back as the same text; else the line is UTF-8. New lines
    /// take the file's line end; a new file is UTF-8 with LF.
    QByteArray toBytes() const;

private:
    class Reader;
    enum class Kind : quint8 { Other, Comment, Section, Key };
    // Ascii: the line holds no other byte, so a change takes the file's choice.
    enum class Encoding : quint8 { Ascii, Utf8, Cp1252, Utf16Le, Utf16Be };
    enum class Eol : quint8 { None, Lf, CrLf, Cr };

    struct Line {
        qsizetype rawStart = 0; // the line's bytes in m_source, line end left out
        qsizetype textStart = 0, textLength = 0; // in m_text; section and key lines only
        qint32 rawLength = -1; // -1: new or changed, written from its text
        qint32 nameStart = 0, nameLength = 0, valueStart = 0; // within the text
        Kind kind = Kind::Other;
        Encoding encoding = Encoding::Ascii;
        Eol eol = Eol::None;
    };

    QStringView text(const Line &line) const;
    QStringView valueOf(const Line &line) const;
    bool canHold(const QString &section, const QString &key, const QString &value) const;
    void classify(Line &line) const;
    qsizetype sectionIndex(QStringView name) const;
    qsizetype sectionEnd(qsizetype section) const;
    qsizetype findKey(qsizetype section, QStringView key) const;
    Line lineFrom(qsizetype textStart) const;
    void terminateLastLine();
    void appendText(QByteArray &out, const Line &line) const;
    void appendEol(QByteArray &out, Eol eol) const;

    QByteArray m_source;
    QString m_text; // the decoded text of section and key lines, one after the other
    qsizetype m_prefixLength = 0; // byte-order mark
    qsizetype m_tailStart = 0; // the odd last byte of a UTF-16 file
    std::vector<Line> m_lines;
    // The first line of each section; section 0 holds the lines before any header.
    std::vector<qsizetype> m_sectionStart {0};
    // The first section whose name has that hash; names that collide are searched.
    QHash<size_t, qsizetype> m_index;
    Encoding m_wide = Encoding::Ascii; // Utf16Le or Utf16Be for a UTF-16 file
    Encoding m_newLines = Encoding::Utf8; // for new lines of an 8-bit file
    Eol m_newline = Eol::Lf;
    bool m_modified = false;
};

/// Why a file could not be read or written: the errno and the step that failed.
struct [[nodiscard]] IniIoStatus {
    int error = 0;
    const char *step = "";

    bool ok() const { return error == 0; }
    /// "rename: errno 28 (No space left on device)"
    QString toString() const;
};

/// Reads the file into document. A missing file gives an empty document; a
/// file that cannot be read (no permission, not a regular file, larger than
/// 64 MiB, a read error) gives the errno and an empty document.
IniIoStatus readIniFile(const QString &path, IniDocument &document);

/// Replaces the file with the document's bytes in one atomic step: a
/// temporary file beside it (without a name until it is complete, where the
/// file system has O_TMPFILE), every write checked, fsync, rename, fsync of
/// the folder. A symbolic link is written through to its target and stays;
/// the mode, owner and group of the file are kept. Where a new file could not
/// keep them (the folder takes no new file, or the owner and group cannot be
/// given to it), the file is written in place instead: room reserved first,
/// every write checked, truncated, fsync, and on a failure the old bytes put
/// back. A file without a write bit in its mode is not replaced (EACCES), nor
/// one that we may not write (the errno of that check, such as EROFS). On failure the old file
/// stays as it was and no temporary file is left; a folder that cannot be synced after the rename
/// is put on record, the new file being in place. A kill leaves a temporary file behind only
/// between its linkat and the rename (between its creation and the rename where O_TMPFILE is
/// missing); the next write removes such leftovers once they are a minute old.
IniIoStatus writeIniFile(const QString &path, const IniDocument &document);

/// The same atomic replacement for any file's bytes; a new file gets the
/// usual mode (umask applies).
IniIoStatus replaceFile(const QString &path, const QByteArray &bytes);

} // namespace velkora
