#pragma once

// Scripted adapters for tests: dialogs answer from a queue, message boxes and the
// end of the program are recorded, the clipboard is a string.

#include "platform/services.h"

#include <QList>
#include <QStringList>

#include <deque>

struct ShownMessage
{
    QString text;
    int style = 0;
    QString title;
};

class ScriptedDialogs final : public DialogBackend
{
public:
    // Answers for the next file dialogs: a path, or nothing for a cancel. With no
    // answer left, a dialog is cancelled.
    std::deque<std::optional<QString>> fileAnswers;
    std::deque<std::optional<QColor>> colorAnswers;
    std::deque<std::optional<QFont>> fontAnswers;
    QList<FileDialogRequest> fileRequests;
    // What the dialogs were told of the files chosen: the path and whether it worked.
    QList<QPair<QString, bool>> filesUsed;
    int colorDialogs = 0;
    int fontDialogs = 0;

    std::optional<QString> fileDialog(const FileDialogRequest &request) override
    {
        fileRequests << request;
        return next(fileAnswers);
    }
    void fileUsed(const QString &path, bool succeeded) override { filesUsed << qMakePair(path, succeeded); }
    std::optional<QColor> colorDialog(const QColor &) override
    {
        ++colorDialogs;
        return next(colorAnswers);
    }
    std::optional<QFont> fontDialog(const QFont &) override
    {
        ++fontDialogs;
        return next(fontAnswers);
    }

private:
    template<typename T>
    static std::optional<T> next(std::deque<std::optional<T>> &answers)
    {
        if (answers.empty())
            return std::nullopt;
        std::optional<T> answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

class RecordedMessageBoxes final : public MessageBoxes
{
public:
    QList<ShownMessage> shown;
    void show(const QString &text, int style, const QString &title) override { shown << ShownMessage{text, style, title}; }
};

class ScriptedClipboard final : public Clipboard
{
public:
    QString content;
    bool failWrites = false;
    int writes = 0;

    Failure setText(const QString &text) override
    {
        ++writes;
        if (failWrites)
            return {FailureNumber::ClipboardFailed, QStringLiteral("Le presse-papiers est occupé.")};
        content = text;
        return {};
    }
    QString text() override { return content; }
};

class RecordedApplication final : public Application
{
public:
    int ends = 0;
    void end() override { ++ends; }
};

// Installs a fresh set and hands back pointers to inspect them; Services owns them.
struct ScriptedServices
{
    ScriptedDialogs *dialogs = nullptr;
    RecordedMessageBoxes *messages = nullptr;
    ScriptedClipboard *clipboard = nullptr;
    RecordedApplication *application = nullptr;

    static ScriptedServices install()
    {
        ScriptedServices s;
        auto dialogs = std::make_unique<ScriptedDialogs>();
        auto messages = std::make_unique<RecordedMessageBoxes>();
        auto clipboard = std::make_unique<ScriptedClipboard>();
        auto application = std::make_unique<RecordedApplication>();
        s.dialogs = dialogs.get();
        s.messages = messages.get();
        s.clipboard = clipboard.get();
        s.application = application.get();
        Services::install(std::move(dialogs));
        Services::install(std::move(messages));
        Services::install(std::move(clipboard));
        Services::install(std::move(application));
        return s;
    }
};
