#pragma once
// Where the user's files live. The list stays beside the executable for
// portable and per-user installs; a packaged program in /usr has no folder of
// the user's beside it, so its list goes to the XDG configuration folder.

#include <QString>

namespace velkora {

/// $XDG_CONFIG_HOME when it is an absolute path (the XDG rules ignore a
/// relative one), else ~/.config.
QString configHome();

/// $XDG_DATA_HOME by the same rule, else ~/.local/share.
QString dataHome();

/// True when the list may live in this folder: the effective user may create
/// files there, and it is not below /usr (other than /usr/local), whose files
/// belong to the package manager even for root.
bool folderKeepsConfig(const QString &folder);

/// The list file of the executable baseName in folder: beside it
/// (folder/baseName.ini) when it exists there or the folder keeps
/// configuration; else configHome()/velkora/baseName.ini. Creates nothing.
QString configFilePath(const QString &folder, const QString &baseName);

/// Creates the missing folders above filePath, new ones with mode 0700 as the
/// XDG rules ask. True when the folder is there afterwards; otherwise false
/// with errno in errorNumber.
bool makeFolderFor(const QString &filePath, int *errorNumber = nullptr);

} // namespace velkora
