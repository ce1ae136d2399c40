#pragma once

// What the document tests share: a shown main window with scripted dialogs, message
// boxes and end of the program, a screen that records the mouse pointer, clicks at
// a control's place, and files read back byte for byte.

#include "platform/richtextbox.h"
#include "scriptedservices.h"
#include "shell/form1.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

class RecordedScreen final : public Screen
{
public:
    QList<int> pointers; // every value the pointer was set to, in order
    QRect geometry(const QWidget *) const override
    {
        return QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry() : QRect(0, 0, 1280, 1024);
    }
    double twipsPerPixelX() const override { return 15; }
    double twipsPerPixelY() const override { return 15; }
    void setMousePointer(int pointer) override
    {
        pointers << pointer;
        m_pointer = pointer;
    }
    int mousePointer() const override { return m_pointer; }

private:
    int m_pointer = DefaultPointer;
};

struct DocumentFixture
{
    std::unique_ptr<Form1> form;
    ScriptedServices services;
    RecordedScreen *screen = nullptr;

    // A fresh folder for each test's files, removed with everything in it afterwards.
    std::optional<QTemporaryDir> dir;

    void setUp()
    {
        dir.emplace();
        QVERIFY(dir->isValid());
        services = ScriptedServices::install();
        auto recorded = std::make_unique<RecordedScreen>();
        screen = recorded.get();
        Services::install(std::move(recorded));
        form = std::make_unique<Form1>();
        form->start();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    void tearDown()
    {
        form.reset();
        Services::restoreAll();
        dir.reset();
    }

    RichTextBox *editor() const { return form->RichTextBox1; }

    // A click where the user would click: the middle of the control's box.
    void click(const char *name)
    {
        QTest::mouseClick(form.get(), Qt::LeftButton, {}, form->control(name).boxPixels().center());
    }

    // Types into the editor as a user would, so the editor reports its changes.
    void type(const QString &text)
    {
        editor()->setFocus();
        QTest::keyClicks(editor(), text);
    }

    void answerFileDialog(const QString &path) { services.dialogs->fileAnswers.push_back(path); }
    void cancelFileDialog() { services.dialogs->fileAnswers.push_back(std::nullopt); }
};

inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}
