#pragma once

// What the editing tests share: a shown main window with scripted services, clicks
// at a control's place, and documents built with formats.

#include "platform/richtextbox.h"
#include "scriptedservices.h"
#include "shell/form1.h"

#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

#include <memory>

struct EditingFixture
{
    std::unique_ptr<Form1> form;
    ScriptedServices services;

    void setUp()
    {
        services = ScriptedServices::install();
        form = std::make_unique<Form1>();
        form->start();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QTRY_VERIFY(editor()->hasFocus());
        settle();
    }

    void tearDown()
    {
        form.reset();
        Services::restoreAll();
    }

    RichTextBox *editor() const { return form->RichTextBox1; }

    // Lets the queued refresh and the repaint that follows a change run.
    static void settle() { QCoreApplication::processEvents(); }

    // A click where the user would click: the middle of the control's box, or the
    // swatch widget itself.
    void click(const char *name)
    {
        Control &c = form->control(name);
        if (c.widget())
            QTest::mouseClick(c.widget(), Qt::LeftButton);
        else
            QTest::mouseClick(form.get(), Qt::LeftButton, {}, c.boxPixels().center());
    }

    // Appends text in a format, through the editor's own document.
    void append(const QString &text, const QTextCharFormat &format = {})
    {
        QTextCursor cursor(editor()->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(text, format);
    }

    void select(int start, int length)
    {
        editor()->setSelStart(start);
        editor()->setSelLength(length);
    }

    // The format of the character at a position (counted from 0).
    QTextCharFormat formatAt(int position) const
    {
        QTextCursor cursor(editor()->document());
        cursor.setPosition(position + 1);
        return cursor.charFormat();
    }
};

inline QTextCharFormat boldFormat()
{
    QTextCharFormat f;
    f.setFontWeight(QFont::Bold);
    return f;
}
