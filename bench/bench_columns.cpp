// Prints what one keystroke costs in a long section in newspaper columns: a
// character typed and one deleted in the middle of it, each until the editor has
// laid the edit out, median of runs. The document's body is put in a frame in two
// columns a page's body high (where the reader has not already put it in one).
//
//   bench_columns [document.rtf] [--runs N] [--shot FILE.png]
//
// Run it with QT_QPA_PLATFORM=offscreen or on a display.

#include "base/layoutproperties.h"
#include "bench/benchfigures.h"
#include "layout/documentlayout.h"
#include "platform/documentloader.h"
#include "platform/richtextbox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

double timeMs(int runs, const std::function<void()> &work)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QCoreApplication::processEvents();
        QElapsedTimer t;
        t.start();
        work();
        QCoreApplication::processEvents();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    return BenchFigures::median(ms);
}

QTextFrame *columnedFrame(QTextDocument *doc)
{
    for (QTextFrame *f : doc->rootFrame()->childFrames()) {
        if (f->frameFormat().intProperty(LayoutProperty::ColumnCount) > 1)
            return f;
    }
    return nullptr;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QString path = QStringLiteral(ORVO_RTF_CORPUS "/tika-tika2899-lists-tables.rtf");
    int runs = 21;
    QString shot; // the editor's window at the section's second band, as a picture
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = args[++i].toInt();
        else if (args[i] == QLatin1String("--shot") && i + 1 < args.size())
            shot = args[++i];
        else
            path = args[i];
    }
    RichTextBox box;
    box.resize(816, 900);
    box.show();
    if (box.loadFile(path)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return 1;
    }
    QTextDocument *doc = box.document();
    QTextFrame *frame = columnedFrame(doc);
    const bool made = !frame;
    if (!frame) {
        // Letter paper with half-inch margins: 7.5 inches across, two columns a page's
        // body high, 0.3 inch apart.
        QTextFrameFormat format;
        format.setMargin(0);
        format.setBorder(0);
        format.setPadding(0);
        format.setProperty(LayoutProperty::ColumnCount, 2);
        format.setProperty(LayoutProperty::ColumnGap, 0.3 * 96);
        format.setProperty(LayoutProperty::ColumnHeight, 9.2 * 96);
        QTextCursor c(doc);
        c.movePosition(QTextCursor::End);
        c.insertBlock();
        c.movePosition(QTextCursor::Start);
        c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        c.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor);
        frame = c.insertFrame(format);
    }
    while (!box.isLaidOut())
        QCoreApplication::processEvents();
    if (!frame) {
        std::fprintf(stderr, "no frame in columns\n");
        return 1;
    }
    const QRectF rect = box.documentLayout()->frameBoundingRect(frame);
    std::printf("%s: a frame in %d columns%s, %d paragraphs, %.0f x %.0f px\n", qPrintable(path),
                frame->frameFormat().intProperty(LayoutProperty::ColumnCount), made ? " (made here)" : "",
                doc->findBlock(frame->lastPosition()).blockNumber() - doc->findBlock(frame->firstPosition()).blockNumber() + 1,
                rect.width(), rect.height());
    if (!shot.isEmpty()) {
        box.verticalScrollBar()->setValue(int(rect.top() + 9.2 * 96 - 300));
        QCoreApplication::processEvents();
        box.grab().save(shot);
    }
    // The middle of the section: a paragraph about halfway down.
    QTextBlock block = doc->findBlock((frame->firstPosition() + frame->lastPosition()) / 2);
    while (block.isValid() && block.length() < 40)
        block = block.next();
    QTextCursor c(block);
    c.setPosition(block.position() + block.length() / 2);
    box.setTextCursor(c);
    box.setFocus();
    const double typed = timeMs(runs, [&] { QTest::keyClick(&box, Qt::Key_X); });
    const double deleted = timeMs(runs, [&] { QTest::keyClick(&box, Qt::Key_Backspace); });
    std::printf("keystroke in the section: a character typed %.2f ms, one deleted %.2f ms (median of %d)\n", typed,
                deleted, runs);
    return 0;
}
