#pragma once
// A runtime for tests: records what would have been started or shown, answers as told.

#include "platform/Runtime.h"

#include <QList>
#include <QStringList>
#include <functional>
#include <set>

namespace velkora::test {

// Conditions hold when the test says so; changed() goes out as it would from the session.
class FakeReadiness : public Readiness {
public:
    std::set<Condition> watched, ready;

    void watch(Condition condition) override { watched.insert(condition); }
    bool holds(Condition condition) const override
    {
        return watched.count(condition) && ready.count(condition);
    }
    void set(Condition condition, bool holds)
    {
        if (holds)
            ready.insert(condition);
        else
            ready.erase(condition);
        Q_EMIT changed(condition);
    }
};

class FakeRuntime : public Runtime {
public:
    // What the test sets.
    AppInfo info {QStringLiteral("/opt/velkora"), QStringLiteral("Velkora"), 1, 1, 0};
    QString arguments;
    bool previous = false, firstCopyAnswers = true;
    std::function<StartResult(const QString &)> startAnswer; // default: success
    StartResult sysInfoAnswer; // default: success
    QString nextChosenFile; // empty: cancelled
    std::function<void()> onYield = [] {};
    FakeReadiness conditions;
    bool loginStart = false; // the login start entry's state
    QString loginStartError; // when set, setLoginStart fails with it
    QList<SessionEntry> session; // what the session starts at login
    QString sessionError; // when set, taking over and giving back fail with it
    QStringList alsoStarted; // the answer per command text asked about, in order

    // What the code under test did.
    QList<std::pair<QString, WindowStyle>> starts; // command text, window style
    QList<std::pair<QObject *, QString>> chooseCalls; // owner, initial folder
    QStringList messages;
    QList<int> endStatuses;
    QStringList taken, keptListed; // the last takeover's ids, the last give-back's list
    int activations = 0, sysInfoStarts = 0;
    QString title = QStringLiteral("Velkora");

    StartResult startProgram(const QString &commandText, WindowStyle style) override
    {
        starts.append({commandText, style});
        return startAnswer ? startAnswer(commandText) : StartResult {};
    }
    void messageBox(const QString &text) override { messages.append(text); }
    QString chooseFile(QObject *owner, const QString &folder, const QString &,
                       const QString &) override
    {
        chooseCalls.append({owner, folder});
        return nextChosenFile;
    }
    StartResult startSysInfo() override
    {
        ++sysInfoStarts;
        return sysInfoAnswer;
    }
    Readiness &readiness() override { return conditions; }
    AppInfo appInfo() const override { return info; }
    QString appTitle() const override { return title; }
    void setAppTitle(const QString &t) override { title = t; }
    bool previousInstance() override { return previous; }
    bool activateFirstCopy() override
    {
        ++activations;
        return firstCopyAnswers;
    }
    bool loginStartEnabled() override { return loginStart; }
    bool setLoginStart(bool on, QString *error) override
    {
        loginStart = loginStartError.isEmpty() ? on : loginStart;
        return answer(loginStartError, error);
    }
    QList<SessionEntry> sessionEntries() override { return session; }
    bool takeOverSessionEntries(const QStringList &desktopIds, QString *error) override
    {
        taken = desktopIds;
        return answer(sessionError, error);
    }
    bool canTakeOverSessionEntries(const QStringList &, QString *error) override
    {
        return answer(sessionError, error);
    }
    bool giveBackSessionEntries(const QStringList &listCommands, QString *error) override
    {
        keptListed = listCommands;
        return answer(sessionError, error);
    }
    QStringList alsoStartedBySession(const QStringList &) override { return alsoStarted; }
    QString argumentText() const override { return arguments; }
    void yield() override { onYield(); }
    void endProgram(int status) override { endStatuses.append(status); }

private:
    static bool answer(const QString &failure, QString *error)
    {
        if (error)
            *error = failure;
        return failure.isEmpty();
    }
};

} // namespace velkora::test
