#pragma once
// Start-up and mode selection: everything between the start of the process
// and the moment one of the three modes takes over. Only the window that the
// chosen mode needs is ever built.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class frmConfig;
namespace velkora {
class Runtime;
struct AppInfo;
struct ProgramList;
} // namespace velkora

namespace Startup {

enum class Mode { Configuration, Usage, Automatic };

/// The mode for an argument text: only its first two characters count, lower-cased.
Mode modeOf(const QString &argumentText);

/// The usage message of "/?".
QString usageText();

/// What "--help" or "-h" (the help text) and "--version" (name and version)
/// print on standard output when one of them is the first argument (after
/// argv[0]); empty for every other command line. They start nothing: no
/// window, no lock, no list read.
QByteArray terminalAnswer(const QStringList &arguments);

/// Call right before QApplication is made: Qt's log lines are held back
/// while it looks for a display. Where it finds none, the program ends there
/// instead of in Qt's abort: "/?" with the usage text on standard output and
/// status 0, every other mode with one line on standard error and status 1.
void beginDisplaySearch(const QStringList &arguments);

/// Call once QApplication is made: the held lines go on as they came.
void endDisplaySearch();

/// The report of a second copy whose first copy did not answer.
QString notAnsweringText(const QString &title);

/// Set (true) when an earlier copy runs: it has then been asked to come to
/// the front, and the value is the exit status for this copy, 0 when the
/// first copy answered, else non-zero after a report to the user.
std::optional<int> ActivatePreviousInstance(velkora::Runtime &runtime);

/// The list file's path (IniFilePath): the executable's folder, "/", its base
/// name, ".ini"; for a folder that keeps no configuration (a package in /usr)
/// the same name in $XDG_CONFIG_HOME/velkora.
[[nodiscard]] QString InitIniPath(const velkora::AppInfo &appInfo);

/// Shows the countdown window over the table modally; returns when it has closed.
void fxAutoProg(velkora::Runtime &runtime, const velkora::ProgramList &table);

/// The whole start-up: guard, list file path, table, mode. In
/// configuration mode it returns the configuration window, captioned and
/// filled, for the caller to show. Every other way ends the program through
/// the runtime (a test's runtime returns from that, and then null comes back).
std::unique_ptr<frmConfig> run(velkora::Runtime &runtime);

} // namespace Startup
