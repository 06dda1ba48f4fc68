#pragma once
// Start-up and mode selection: everything between the start of the process
// and the moment one of the three modes takes over.

#include <QString>

class frmConfig;
namespace velkora {
class Runtime;
}

namespace Startup {

enum class Mode { Configuration, Usage, Automatic };

/// The mode for an argument text: only its first two characters count, lower-cased.
Mode modeOf(const QString &argumentText);

/// The usage message of "/?".
QString usageText();

/// The load handler of frmConfig, which carries the whole start-up. Returns
/// only in configuration mode (the window is then to be shown); every other
/// way ends the program through the runtime.
void Form_Load(frmConfig &window, velkora::Runtime &runtime);

} // namespace Startup
