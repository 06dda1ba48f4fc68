#pragma once
// Where the list lives. It stays beside the executable for portable and
// per-user installs; a packaged program in /usr has no folder of the user's
// beside it, so its list goes to the XDG configuration folder.

#include <QString>

namespace velkora {

/// True when the list may live in this folder: the effective user may create
/// files there, and it is not below /usr (other than /usr/local), whose files
/// belong to the package manager even for root.
bool folderKeepsConfig(const QString &folder);

/// The list file of the executable baseName in folder: beside it
/// (folder/baseName.ini) when it exists there or the folder keeps
/// configuration; else configHome()/velkora/baseName.ini. Creates nothing.
QString configFilePath(const QString &folder, const QString &baseName);

} // namespace velkora
