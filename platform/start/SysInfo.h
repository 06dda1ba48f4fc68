#pragma once

#include "platform/start/ProcessStart.h"

#include <QStringList>

namespace velkora {

/// Known Linux system information programs, most useful first.
QStringList sysInfoCandidates();

/// Starts the first candidate found in PATH with a normal window. Fails with
/// ENOENT when none is installed.
StartResult startSysInfo(ProcessStarter &starter,
                         const QStringList &candidates = sysInfoCandidates());

} // namespace velkora
