#include "SingleInstance.h"
#include <QLocalServer>
#include <QLockFile>
// Placeholder until the single copy lands.
namespace velkora {
SingleInstance::SingleInstance(const QString &key, QObject *parent, const QString &runtimeDir)
    : QObject(parent), m_runtimeDir(runtimeDir), m_key(key) {}
SingleInstance::~SingleInstance() = default;
bool SingleInstance::previousInstance() { return false; }
bool SingleInstance::activateByTitle(const QString &) { return false; }
QString SingleInstance::lockPath() const { return {}; }
QString SingleInstance::socketPath() const { return {}; }
void SingleInstance::listen() {}
} // namespace velkora
