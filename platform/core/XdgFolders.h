#pragma once
// The user's folders by the XDG base directory rules, read from the
// environment at each call (tests change it), and the one way a folder for a
// user file is made.

#include <QString>
#include <QStringList>

namespace velkora {

/// $HOME when it is an absolute path, else the passwd entry's home folder (a
/// session without HOME still has one), else "/".
QString homeFolder();

/// $XDG_CONFIG_HOME when it is an absolute path (the XDG rules ignore a
/// relative one), else ~/.config.
QString configHome();

/// $XDG_DATA_HOME by the same rule, else ~/.local/share.
QString dataHome();

/// The absolute entries of $XDG_CONFIG_DIRS, else /etc/xdg.
QStringList configDirs();

/// The absolute entries of $XDG_DATA_DIRS, else /usr/local/share and /usr/share.
QStringList dataDirs();

/// Creates the missing folders above filePath, new ones with mode 0700 as the
/// XDG rules ask. True when the folder is there afterwards; otherwise false
/// with errno in errorNumber.
[[nodiscard]] bool makeFolderFor(const QString &filePath, int *errorNumber = nullptr);

} // namespace velkora
