#pragma once
// The program table: what the list file holds, read once at start-up.
//
// config/ knows the INI values, the table and the file format. It uses QtCore
// and platform/ini/ and platform/core/ only, never a window.

#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>

namespace velkora {

inline constexpr int SlotCount = 31;

/// One slot. A field stays unset until the load finds a non-empty value for it.
/// The keys after "ZEIT" are Velkora's own on Linux; a reader that knows only
/// the first three ignores them and starts every entry after its seconds.
struct ProgramEntry {
    std::optional<QString> path; // field 0, "DATEI"
    std::optional<QString> name; // field 1, "NAME" (written as "Name")
    std::optional<qint32> seconds; // field 2, "ZEIT"
    bool active = true; // "AKTIV": only "0" switches the entry off
    QString waitFor {}; // "WARTEN_AUF" as the file has it: condition names, comma-separated
    std::optional<qint32> waitMax {}; // "WARTEN_MAX": the longest wait for them, in seconds

    /// A slot is filled when its path is not empty.
    bool filled() const { return path.has_value() && !path->isEmpty(); }
};

/// The 31 slots and the count of filled ones, as the load leaves them. The
/// start-up owns the one instance of a run and hands it to the window of its
/// mode; tests build their own.
struct ProgramList {
    std::array<ProgramEntry, SlotCount> ProgramTable {};
    qint32 EntryCount = 0;
};

} // namespace velkora
