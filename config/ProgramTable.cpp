#include "config/ProgramTable.h"

namespace velkora {

std::array<ProgramEntry, SlotCount> ProgramTable;
qint32 EntryCount = 0;

void resetProgramTable()
{
    ProgramTable = {};
    EntryCount = 0;
}

} // namespace velkora
