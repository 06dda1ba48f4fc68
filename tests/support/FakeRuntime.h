#pragma once
// A runtime for tests: records what would have been started or shown, and
// answers as the test says.

#include "platform/Runtime.h"

#include <QList>
#include <QStringList>
#include <functional>

namespace velkora::test {

class FakeRuntime : public Runtime {
public:
    struct Start {
        QString commandText;
        WindowStyle style;
    };
    struct ChooseCall {
        QObject *owner;
        QString initialFolder, filterText, defaultExtension, title;
    };

    // What the test sets.
    AppInfo info {QStringLiteral("/opt/velkora"), QStringLiteral("Velkora"), 1, 1, 0};
    QString arguments;
    bool previous = false;
    bool firstCopyAnswers = true;
    std::function<StartResult(const QString &)> startAnswer; // default: success
    StartResult sysInfoAnswer; // default: success
    QString nextChosenFile; // empty: cancelled
    std::function<void()> onYield; // runs inside yield()

    // What the code under test did.
    QList<Start> starts;
    QStringList messages;
    QList<ChooseCall> chooseCalls;
    int activations = 0;
    int sysInfoStarts = 0;
    int yields = 0;
    int ends = 0;
    int endStatus = -1; // of the last endProgram()
    QString title = QStringLiteral("Velkora");

    StartResult startProgram(const QString &commandText, WindowStyle style) override
    {
        starts.append({commandText, style});
        return startAnswer ? startAnswer(commandText) : StartResult {};
    }
    void messageBox(const QString &text) override { messages.append(text); }
    QString chooseFile(QObject *owner, const QString &initialFolder, const QString &filterText,
                       const QString &defaultExtension, const QString &dialogTitle) override
    {
        chooseCalls.append({owner, initialFolder, filterText, defaultExtension, dialogTitle});
        return nextChosenFile;
    }
    StartResult startSysInfo() override
    {
        ++sysInfoStarts;
        return sysInfoAnswer;
    }
    AppInfo appInfo() const override { return info; }
    QString appTitle() const override { return title; }
    void setAppTitle(const QString &t) override { title = t; }
    bool previousInstance() override { return previous; }
    bool activateFirstCopy() override
    {
        ++activations;
        return firstCopyAnswers;
    }
    QString argumentText() const override { return arguments; }
    void yield() override
    {
        ++yields;
        if (onYield)
            onYield();
    }
    void endProgram(int status) override
    {
        ++ends;
        endStatus = status;
    }
};

} // namespace velkora::test
