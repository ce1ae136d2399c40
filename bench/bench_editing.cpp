// Prints the cost of one indicator refresh (caret, whole document selected), of a
// find whose only occurrence ends the document, and of the idle editor, on the
// large corpus document, each beside a plain QTextEdit doing the same work.
//
//   bench_editing [document.rtf] [--idle-runs N]
//
// Run it with the window shown on a real display (or QT_QPA_PLATFORM=offscreen).

#include "bench/benchfigures.h"
#include "editing/module1.h"
#include "platform/documentloader.h"
#include "platform/richtextbox.h"
#include "shell/form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFragment>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

using BenchFigures::median;

const QString Marker = QStringLiteral("ZQXJ-fin-du-document");

// Milliseconds per run, median of runs; the event loop turns between runs so that
// no work queued by one run is left for the next.
double timeMs(int runs, const std::function<void()> &work)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QCoreApplication::processEvents();
        QElapsedTimer t;
        t.start();
        work();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    QCoreApplication::processEvents();
    return median(ms);
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Percent of one core used while the event loop runs for the given time.
double idlePercent(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    const double before = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    loop.exec();
    return 100.0 * (cpuSeconds() - before) / (wall.nsecsElapsed() / 1e9);
}

// What a plain QTextEdit does to show the same six displays: the caret's format, or
// every fragment of the selection read and compared.
struct PlainReadout
{
    bool bold[2] = {}, italic[2] = {}, underline[2] = {}, strike[2] = {};
    QString family;
    double size = 0;
    bool mixedFamily = false, mixedSize = false, any = false;
    QString shown[6];

    void add(const QTextCharFormat &f)
    {
        bold[f.fontWeight() >= QFont::DemiBold] = true;
        italic[f.fontItalic()] = true;
        underline[f.fontUnderline()] = true;
        strike[f.fontStrikeOut()] = true;
        const QString fam = f.fontFamilies().toStringList().value(0);
        const double s = f.fontPointSize();
        if (any) {
            mixedFamily |= fam != family;
            mixedSize |= s != size;
        } else {
            family = fam;
            size = s;
        }
        any = true;
    }

    void run(QTextEdit &edit)
    {
        *this = PlainReadout();
        const QTextCursor c = edit.textCursor();
        if (!c.hasSelection()) {
            add(edit.currentCharFormat());
        } else {
            for (QTextBlock b = edit.document()->findBlock(c.selectionStart()); b.isValid() && b.position() < c.selectionEnd(); b = b.next())
                for (auto it = b.begin(); !it.atEnd(); ++it)
                    add(it.fragment().charFormat());
        }
        const bool *all[] = {bold, italic, underline, strike};
        for (int i = 0; i < 4; ++i)
            shown[i] = all[i][1] ? QStringLiteral("on") : QStringLiteral("off");
        if (!mixedSize)
            shown[4] = QLocale().toString(size);
        if (!mixedFamily)
            shown[5] = family;
    }
};

// A negative reference means the plain editor has no such step of its own.
void line(const char *what, double ours, double reference, const char *unit, const char *goal)
{
    if (reference < 0)
        std::printf("%-58s orvo %9.3f %s\n", what, ours, unit);
    else
        std::printf("%-58s orvo %9.3f %s   plain QTextEdit %9.3f %s   goal %s\n", what, ours, unit, reference, unit, goal);
    std::fflush(stdout);
}

// The style indicators' refresh with the caret in the middle of the text and with the
// whole document selected, beside the plain editor reading the same.
void indicatorRows(Form1 &form, RichTextBox *editor, QTextEdit &plain, const QString &text)
{
    PlainReadout readout;
    const int runs = 15;

    // The caret in the middle of the text.
    editor->setSelStart(int(text.size() / 2));
    QTextCursor pc = plain.textCursor();
    pc.setPosition(int(text.size() / 2));
    plain.setTextCursor(pc);
    line("indicator refresh, caret", timeMs(runs, [&] { form.Timer4_Timer(); }),
         timeMs(runs, [&] { readout.run(plain); }), "ms", "<= 1 ms");

    editor->selectAll();
    plain.selectAll();
    line("indicator refresh, whole document selected", timeMs(runs, [&] { form.Timer4_Timer(); }),
         timeMs(runs, [&] { readout.run(plain); }), "ms", "<= 20 ms");
    line("  of which reading the selection's attributes", timeMs(runs, [&] { editor->selectionAttributes(); }),
         -1, "ms", "");
    // The read above stops as soon as every attribute reads mixed. Without
    // strike-through anywhere it cannot stop early and walks the whole document.
    for (QTextEdit *edit : {static_cast<QTextEdit *>(editor), &plain}) {
        QTextCharFormat noStrike;
        noStrike.setFontStrikeOut(false);
        QTextCursor all(edit->document());
        all.select(QTextCursor::Document);
        all.mergeCharFormat(noStrike);
    }
    editor->selectAll();
    plain.selectAll();
    line("indicator refresh, whole document, no early stop", timeMs(runs, [&] { form.Timer4_Timer(); }),
         timeMs(runs, [&] { readout.run(plain); }), "ms", "<= 20 ms");
}

void findRows(RichTextBox *editor, QTextEdit &plain, const QString &text)
{
    // Find: read the text, search it from the start, select the occurrence.
    Module1::SearchText = Marker;
    editor->setSelStart(0);
    line("find, only occurrence at the end", timeMs(9, [&] { Module1::FindText(); }), timeMs(9, [&] {
             const qsizetype at = plain.toPlainText().indexOf(Marker);
             QTextCursor c = plain.textCursor();
             c.setPosition(int(at));
             c.setPosition(int(at + Marker.size()), QTextCursor::KeepAnchor);
             plain.setTextCursor(c);
         }), "ms", "<= 15 ms");
    if (editor->selText() != Marker)
        std::printf("  find did not select the marker!\n");
    line("  of which reading the text", timeMs(9, [&] { (void)editor->text(); }), timeMs(9, [&] { (void)plain.toPlainText(); }), "ms", "-");
    line("  of which searching it", timeMs(9, [&] { (void)text.indexOf(Marker); }), -1, "ms", "");
}

void idleRows(Form1 &form, RichTextBox *editor, QTextEdit &plain, int idleRuns)
{
    // Idle: one window shown with the caret in its editor, nothing happening. Each
    // run first lets the window's showing and first paint pass, which are not idle.
    auto settle = [] {
        QEventLoop loop;
        QTimer::singleShot(1000, &loop, &QEventLoop::quit);
        loop.exec();
    };
    auto showOnly = [&](QWidget *window, QWidget *focus) {
        for (QWidget *w : {static_cast<QWidget *>(&form), static_cast<QWidget *>(&plain)})
            if (w != window)
                w->hide();
        window->show();
        window->activateWindow();
        focus->setFocus();
        settle();
    };
    editor->setSelStart(0);
    std::vector<double> ours, reference;
    for (int i = 0; i < idleRuns; ++i) {
        showOnly(&form, editor);
        ours.push_back(idlePercent(10000));
        showOnly(&plain, &plain);
        reference.push_back(idlePercent(10000));
    }
    if (idleRuns > 0) {
        line("idle CPU over 10 s, % of one core", median(ours), median(reference), "% ", "< 0.1 %");
        // What is left when the caret does not blink: the cost of the window itself.
        const int flash = QApplication::cursorFlashTime();
        QApplication::setCursorFlashTime(0);
        showOnly(&form, editor);
        const double still = idlePercent(10000);
        showOnly(&plain, &plain);
        const double plainStill = idlePercent(10000);
        QApplication::setCursorFlashTime(flash);
        line("  the same with the caret not blinking", still, plainStill, "% ", "-");
        // For comparison: the same window with Timer4 ticking every millisecond.
        showOnly(&form, editor);
        QTimer *timer4 = form.timer("Timer4");
        timer4->start();
        const double polled = idlePercent(10000);
        timer4->stop();
        line("idle CPU over 10 s with Timer4 ticking every 1 ms", polled, -1, "% ", "");
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QString path;
    int idleRuns = 3;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--idle-runs") && i + 1 < args.size())
            idleRuns = args[++i].toInt();
        else
            path = args[i];
    }
    if (path.isEmpty()) {
        const QByteArray corpus = qEnvironmentVariableIsSet("ORVO_RTF_CORPUS") ? qgetenv("ORVO_RTF_CORPUS") : QByteArray(ORVO_RTF_CORPUS);
        path = QString::fromLocal8Bit(corpus) + QStringLiteral("/large/large-5mb.rtf");
    }

    Form1 form;
    form.start();
    RichTextBox *editor = form.RichTextBox1;
    QElapsedTimer loadTimer;
    loadTimer.start();
    if (const Failure f = editor->loadFile(path)) {
        std::fprintf(stderr, "cannot load %s: %s\n", qPrintable(path), qPrintable(f.description));
        return 1;
    }
    const double loadMs = loadTimer.nsecsElapsed() / 1e6;

    // The reference: a plain QTextEdit holding the same document, shown beside.
    QTextEdit plain;
    {
        std::unique_ptr<QTextDocument> doc;
        if (const Failure f = DocumentLoader::load(path, &doc))
            return 1;
        doc->setParent(&plain);
        plain.setDocument(doc.release());
    }
    plain.resize(600, 300);
    plain.show();
    // The only occurrence of the search text ends each document.
    for (QTextDocument *doc : {editor->document(), plain.document()}) {
        QTextCursor end(doc);
        end.movePosition(QTextCursor::End);
        end.insertText(Marker);
    }
    QCoreApplication::processEvents();

    const QString text = editor->text();
    int distinctFormats = 0, fragments = 0;
    {
        QList<int> seen;
        for (QTextBlock b = editor->document()->begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it, ++fragments)
                if (!seen.contains(it.fragment().charFormatIndex()))
                    seen << it.fragment().charFormatIndex();
        distinctFormats = int(seen.size());
    }
    std::printf("document %s: %lld characters, %d paragraphs, %d fragments, %d distinct character formats; loaded in %.0f ms\n",
                qPrintable(path), (long long)text.size(), editor->document()->blockCount(), fragments, distinctFormats, loadMs);

    indicatorRows(form, editor, plain, text);
    findRows(editor, plain, text);
    idleRows(form, editor, plain, idleRuns);
    return 0;
}
