#pragma once
// The program table: what the configuration file holds, read once at start-up.
//
// config/ knows the INI values, the table and the file format. It uses QtCore
// and platform/ only, never a window.

#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>

namespace velkora {

inline constexpr int SlotCount = 31;

/// One slot. A field stays unset until the load finds a non-empty value for it.
struct ProgramEntry {
    std::optional<QString> path; // field 0, "DATEI"
    std::optional<QString> name; // field 1, "NAME" (written as "Name")
    std::optional<qint32> seconds; // field 2, "ZEIT"

    /// A slot is filled when its path is not empty.
    bool filled() const { return path.has_value() && !path->isEmpty(); }
};

// Written by LoadProgramTable only, read by the configuration window's list
// and by the runner. Tests reset them with resetProgramTable().
extern std::array<ProgramEntry, SlotCount> ProgramTable;
extern qint32 EntryCount;

/// Back to the state at program start: all fields unset, EntryCount 0.
void resetProgramTable();

} // namespace velkora
