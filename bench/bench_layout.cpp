// The editor's layout on large and extreme documents, opened in the real main window
// with the open dialog scripted, beside a stock QTextEdit holding the same document
// (read by the same reader) in the same run.
//
// For the 5 MB and 20 MB corpus documents it prints, as medians of runs that
// alternate the two editors, each run in a child process of its own:
//   - the first paint after the click on the open image, and the longest stall of the
//     event loop from then until the whole document is laid out, beside the longest
//     time the UI thread was busy between two ticks (its own processor time): a 1 ms
//     timer ticks from before the click, counted from the end of the first paint, the
//     application's own event loop turning, as a probe outside the program sees it;
//   - whether the end is reachable after a key typed 50 ms after the first paint;
//   - Ctrl+End and a find of a marker at the end, 100 ms after the first paint;
//   - a key, Enter, Backspace and a 100 KB paste at the start, middle and end once
//     laid out, each until the editor has painted;
//   - peak memory after the layout and after 100 edits.
// Then, every run printed: the same stalls; Ctrl+End 50 ms after the first paint until
// a paint shows the last line whole; and the paint time of each PageDown and each
// wheel step at ten places through the 5 MB document and the table report of
// bench_rtfload, from 50 ms after the first paint on (median, 90th and 99th
// percentile and worst of each run, wall and UI-thread processor time).
// For the extreme documents (700,000 lines, 1,000,000 characters without a blank, a
// 150 MB paragraph) it prints the time until the window answers after the click,
// the longest stall in the 5 s after, and peak memory; a child that crashes or
// stops answering is reported as such.
//
// usage: bench_layout [runs] [large|smooth|extreme]   (QT_QPA_PLATFORM=offscreen works)

#include "bench/reportdocument.h"
#include "editing/module1.h"
#include "layout/documentlayout.h"
#include "layout/paragraphlayout.h"
#include "platform/documentloader.h"
#include "platform/richtextbox.h"
#include "scriptedservices.h"
#include "shell/form1.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace {

const QString Marker = QStringLiteral("ZQXJ-fin-du-document");

double peakMegabytes()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// The value below which the given share of the values lie (nearest rank).
double percentile(std::vector<double> v, double share)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    const size_t rank = size_t(std::ceil(share * double(v.size())));
    return v[std::min(v.size() - 1, rank > 0 ? rank - 1 : 0)];
}

// The UI thread's own processor time, in ms: what it spent working, whatever the
// other programs of a loaded machine took from it.
double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// Counts the paints of a widget, and notes when the last one ended.
class PaintCounter final : public QObject
{
public:
    PaintCounter() { clock.start(); }
    int paints = 0;
    QElapsedTimer clock;  // the clock the paint's end is read on
    qint64 lastEnd = 0;   // when the last paint ended, in ns on that clock
    double lastEndCpu = 0; // the UI thread's processor time then
    std::function<bool()> shows; // asked what the paint showed, as it ends
    bool lastShows = false;
    std::function<void()> ended; // told as each paint ends

    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (e->type() != QEvent::Paint || m_inside)
            return false;
        // The paint is done here, so that its end is known.
        m_inside = true;
        QCoreApplication::sendEvent(watched, e);
        m_inside = false;
        ++paints;
        lastEnd = clock.nsecsElapsed();
        lastEndCpu = threadCpuMs();
        lastShows = shows && shows();
        if (ended)
            ended();
        return true;
    }

private:
    bool m_inside = false;
};

// The longest time between two ticks of a 1 ms timer (how long the event loop was
// kept from turning), and the longest the UI thread was busy between two ticks.
class StallProbe final : public QObject
{
public:
    StallProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            const double cpu = threadCpuMs();
            const double gap = double(now - m_last) / 1e6 - 1;
            const double busy = cpu - m_lastCpu;
            if (qEnvironmentVariableIsSet("BENCH_TRACE") && (gap > 16 || busy > 8))
                std::fprintf(stderr, "stall %.1f ms (busy %.1f ms) at %.1f ms\n", gap, busy, now / 1e6);
            longest = std::max(longest, gap);
            longestBusy = std::max(longestBusy, busy);
            ++ticks;
            m_last = now;
            m_lastCpu = cpu;
            if (ticked)
                ticked();
        });
    }
    void start()
    {
        longest = 0;
        longestBusy = 0;
        m_clock.start();
        m_last = 0;
        m_lastCpu = threadCpuMs();
        m_timer.start();
    }
    // Counts from now on, the timer ticking on as it was.
    void restart()
    {
        longest = 0;
        longestBusy = 0;
        ticks = 0;
        if (!m_timer.isActive()) {
            start();
            return;
        }
        m_last = m_clock.nsecsElapsed();
        m_lastCpu = threadCpuMs();
    }
    void stop() { m_timer.stop(); }
    double longest = 0;
    double longestBusy = 0;
    int ticks = 0;
    std::function<void()> ticked; // told after each tick

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    double m_lastCpu = 0;
};

void spin(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// One editor in one child process: the editor, its way of opening, its state.
class Subject
{
public:
    explicit Subject(bool orvo)
        : m_orvo(orvo)
    {
        m_services = ScriptedServices::install();
        m_form = std::make_unique<Form1>();
        m_form->start();
        if (!QTest::qWaitForWindowExposed(m_form.get()))
            std::fprintf(stderr, "the window was not shown\n");
        if (!orvo) {
            // The stock editor where Orvo's is, with the same font and size.
            m_plain = new QTextEdit(m_form.get());
            m_plain->setGeometry(m_form->RichTextBox1->geometry());
            m_plain->setFont(m_form->RichTextBox1->font());
            m_plain->setFrameShape(QFrame::NoFrame);
            m_form->RichTextBox1->hide();
            m_plain->show();
        }
        editor()->viewport()->installEventFilter(&m_paints);
        editor()->setFocus();
        spin(50);
    }

    QTextEdit *editor() const { return m_orvo ? m_form->RichTextBox1 : m_plain; }
    QTextDocument *document() const { return editor()->document(); }

    // Opens the file as the user does; returns ms until the editor painted it.
    double open(const QString &path)
    {
        const int before = m_paints.paints;
        const double cpu = threadCpuMs();
        QElapsedTimer t;
        t.start();
        if (m_orvo) {
            m_services.dialogs->fileAnswers.push_back(path);
            QTest::mouseClick(m_form.get(), Qt::LeftButton, {}, m_form->control("Image6").boxPixels().center());
        } else {
            std::unique_ptr<QTextDocument> doc;
            if (DocumentLoader::load(path, &doc))
                return -1;
            doc->setDefaultFont(m_plain->document()->defaultFont());
            doc->setParent(m_plain);
            m_plain->setDocument(doc.release());
        }
        if (qEnvironmentVariableIsSet("BENCH_TRACE"))
            std::fprintf(stderr, "opened in %.1f ms\n", t.nsecsElapsed() / 1e6);
        while (m_paints.paints == before)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        openCpu = threadCpuMs() - cpu;
        return t.nsecsElapsed() / 1e6;
    }
    double openCpu = 0; // the UI thread's processor time in open()

    // Opens the file as the user does and measures the stalls as one outside the
    // program sees them: the probe starts as the first paint ends, inside that paint,
    // and the application's own event loop turns (no loop of the bench in between
    // that would let the first slices after the paint run before the probe starts).
    // Returns ms until the editor painted it; laidOutMs is from that paint until laid
    // out (the stock editor: until its laid-out paragraphs stop growing for 2 s).
    double openAsUser(const QString &path, StallProbe *probe, double *laidOutMs)
    {
        const double cpu = threadCpuMs();
        QElapsedTimer t;
        t.start();
        qint64 painted = -1;
        QEventLoop loop;
        m_paints.ended = [&] {
            if (painted >= 0)
                return;
            painted = t.nsecsElapsed();
            openCpu = threadCpuMs() - cpu;
            probe->restart();
        };
        QElapsedTimer still;
        QTextBlock frontier = document()->begin();
        probe->ticked = [&] {
            if (painted < 0)
                return;
            if (laidOut()) {
                loop.quit();
                return;
            }
            if (m_orvo)
                return;
            if (!still.isValid() || frontier.document() != document()) {
                still.start();
                frontier = document()->begin();
            }
            const int before = frontier.blockNumber();
            while (frontier.isValid() && frontier.layout()->lineCount() > 0)
                frontier = frontier.next();
            if (!frontier.isValid() || frontier.blockNumber() != before)
                still.restart();
            else if (still.elapsed() > 2000)
                loop.quit();
        };
        // The timer ticks from before the click, as a probe of the whole program's does.
        probe->start();
        if (m_orvo) {
            m_services.dialogs->fileAnswers.push_back(path);
            QTest::mouseClick(m_form.get(), Qt::LeftButton, {}, m_form->control("Image6").boxPixels().center());
        } else {
            std::unique_ptr<QTextDocument> doc;
            if (DocumentLoader::load(path, &doc))
                return -1;
            doc->setDefaultFont(m_plain->document()->defaultFont());
            doc->setParent(m_plain);
            m_plain->setDocument(doc.release());
        }
        QTimer cap;
        cap.setSingleShot(true);
        QObject::connect(&cap, &QTimer::timeout, &loop, &QEventLoop::quit);
        cap.start(180000);
        loop.exec();
        probe->stop();
        probe->ticked = nullptr;
        m_paints.ended = nullptr;
        *laidOutMs = painted >= 0 ? (t.nsecsElapsed() - painted) / 1e6 : -1;
        return painted >= 0 ? painted / 1e6 : -1;
    }

    // Whether the whole document is laid out. For the stock editor: its last
    // paragraph has lines (its layout reaches the end once, and only then).
    bool laidOut() const
    {
        if (m_orvo)
            return m_form->RichTextBox1->isLaidOut();
        return document()->lastBlock().layout()->lineCount() > 0;
    }

    // Runs the event loop until laid out. The stock editor can stop half-way for
    // good: it counts as done once its laid-out paragraphs have not grown for quiet ms.
    double waitLaidOut(int quiet = 2000, int cap = 180000)
    {
        QElapsedTimer t;
        t.start();
        QElapsedTimer still;
        still.start();
        QTextBlock frontier = document()->begin();
        while (!laidOut() && t.elapsed() < cap) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (m_orvo)
                continue;
            const int before = frontier.blockNumber();
            while (frontier.isValid() && frontier.layout()->lineCount() > 0)
                frontier = frontier.next();
            if (!frontier.isValid() || frontier.blockNumber() != before)
                still.restart();
            else if (still.elapsed() > quiet)
                break;
        }
        return t.nsecsElapsed() / 1e6;
    }

    // Paragraphs whose height is not known: for the stock editor those without lines.
    // Orvo measures short paragraphs without making lines until they are shown; what
    // it has not laid out or measured, it still has to.
    int paragraphsNotLaidOut() const
    {
        if (m_orvo && m_form->RichTextBox1->isLaidOut())
            return 0;
        int n = 0;
        for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
            n += b.isVisible() && b.layout()->lineCount() == 0;
        return n;
    }

    // Runs until the editor has painted once more; ms since t.
    double untilPainted(const QElapsedTimer &t, int before, int capMs = 10000)
    {
        QElapsedTimer cap;
        cap.start();
        while (m_paints.paints == before && cap.elapsed() < capMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        painted = m_paints.paints != before;
        return t.nsecsElapsed() / 1e6;
    }

    // Runs until the editor has painted once more; ms from start (on the paint
    // counter's clock) until that paint ended, the processor time from cpu in lastCpu.
    double untilPaintEnded(qint64 start, double cpu, int before, int capMs)
    {
        QElapsedTimer cap;
        cap.start();
        while (m_paints.paints == before && cap.elapsed() < capMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        painted = m_paints.paints != before;
        const qint64 end = painted ? m_paints.lastEnd : m_paints.clock.nsecsElapsed();
        lastCpu = (painted ? m_paints.lastEndCpu : threadCpuMs()) - cpu;
        return double(end - start) / 1e6;
    }

    // ms from the action until the editor has painted; the UI thread's processor
    // time for it is left in lastCpu.
    template<typename F>
    double timed(F &&action, int capMs = 10000)
    {
        QCoreApplication::processEvents();
        const int before = m_paints.paints;
        const double cpu = threadCpuMs();
        const qint64 start = m_paints.clock.nsecsElapsed();
        action();
        const double ms = untilPaintEnded(start, cpu, before, capMs);
        return ms;
    }
    double lastCpu = 0;
    bool painted = false;
    int paintCount() const { return m_paints.paints; }

    // Whether the document's last line shows whole in the view as it stands.
    bool lastLineWhole() const
    {
        const QTextBlock last = document()->lastBlock();
        const QTextLayout *layout = last.layout();
        if (!layout || layout->lineCount() == 0)
            return false;
        const QRectF r = document()->documentLayout()->blockBoundingRect(last);
        // Orvo's line stands in a box of its own (its pitch), the stock editor's in Qt's rectangle.
        const int n = layout->lineCount() - 1;
        const QRectF line = (m_orvo ? ParagraphLayout::lineBox(last, n) : layout->lineAt(n).rect()).translated(r.topLeft());
        const int top = editor()->verticalScrollBar()->value();
        return line.top() >= top && line.bottom() <= top + editor()->viewport()->height();
    }

    // ms from the action until a paint shows the last line whole (or the cap);
    // the processor time in lastCpu.
    template<typename F>
    double timedUntilEndShown(F &&action, int capMs = 60000)
    {
        QCoreApplication::processEvents();
        const double cpu = threadCpuMs();
        const qint64 start = m_paints.clock.nsecsElapsed();
        int seen = m_paints.paints;
        m_paints.shows = [this] { return lastLineWhole(); };
        action();
        painted = false;
        while (m_paints.clock.nsecsElapsed() - start < qint64(capMs) * 1000000) {
            const double ms = untilPaintEnded(start, cpu, seen, capMs);
            seen = m_paints.paints;
            if (painted && m_paints.lastShows) {
                m_paints.shows = nullptr;
                return ms;
            }
        }
        m_paints.shows = nullptr;
        painted = false;
        lastCpu = threadCpuMs() - cpu;
        return double(m_paints.clock.nsecsElapsed() - start) / 1e6;
    }

    // One notch of a mouse wheel down, over the middle of the view.
    void wheelDown()
    {
        QWidget *view = editor()->viewport();
        const QPointF at(view->width() / 2.0, view->height() / 2.0);
        QWheelEvent e(at, view->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &e);
    }

    void key(int key, Qt::KeyboardModifiers modifiers = {}, const QString &text = QString())
    {
        QTest::keyClick(editor(), Qt::Key(key), modifiers);
        Q_UNUSED(text);
    }

    void find(const QString &what)
    {
        if (m_orvo) {
            m_form->Text1->setText(what);
            QTest::mouseClick(m_form.get(), Qt::LeftButton, {}, m_form->control("Label9").boxPixels().center());
            return;
        }
        const qsizetype at = m_plain->toPlainText().indexOf(what);
        QTextCursor c = m_plain->textCursor();
        c.setPosition(int(at));
        c.setPosition(int(at + what.size()), QTextCursor::KeepAnchor);
        m_plain->setTextCursor(c);
    }

    void paste(const QString &text)
    {
        if (m_orvo) {
            m_services.clipboard->content = text;
            QTest::mouseClick(m_form.get(), Qt::LeftButton, {}, m_form->control("Image5").boxPixels().center());
            return;
        }
        m_plain->textCursor().insertText(text);
    }

    void placeCaret(int position)
    {
        QTextCursor c(document());
        c.setPosition(qBound(0, position, document()->characterCount() - 1));
        editor()->setTextCursor(c);
        QCoreApplication::processEvents();
    }

    // Whether the caret shows in the view as it is.
    bool caretVisible() const
    {
        const QRect caret = editor()->cursorRect();
        return caret.bottom() >= 0 && caret.top() < editor()->viewport()->height();
    }

    // Whether the last paragraph shows in the view once scrolled to the bottom.
    bool endVisible()
    {
        QScrollBar *bar = editor()->verticalScrollBar();
        bar->setValue(bar->maximum());
        spin(50);
        const QTextBlock last = document()->lastBlock();
        if (last.layout()->lineCount() == 0)
            return false;
        const QRectF r = document()->documentLayout()->blockBoundingRect(last);
        return r.bottom() >= bar->value() && r.top() <= bar->value() + editor()->viewport()->height();
    }

private:
    bool m_orvo;
    ScriptedServices m_services;
    std::unique_ptr<Form1> m_form;
    QTextEdit *m_plain = nullptr;
    PaintCounter m_paints;
};

void report(const std::map<QString, double> &values)
{
    for (const auto &[key, value] : values)
        std::printf("%s=%.3f ", qPrintable(key), value);
    std::printf("\n");
    std::fflush(stdout);
}

// With BENCH_EVENTS set, prints each event the application delivers that keeps the
// UI thread longer than 3 ms: what a stall is made of.
class EventTimer final : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (m_depth > 0)
            return false;
        ++m_depth;
        QElapsedTimer t;
        t.start();
        const double cpu = threadCpuMs();
        const bool done = QCoreApplication::instance()->notify(watched, e);
        const double ms = t.nsecsElapsed() / 1e6;
        if (ms > 3)
            std::fprintf(stderr, "  event %d to %s (%s): %.1f ms (cpu %.1f)\n", int(e->type()),
                         watched->metaObject()->className(), qPrintable(watched->objectName()), ms, threadCpuMs() - cpu);
        --m_depth;
        return true;
    }

private:
    int m_depth = 0;
};

int runChild(bool orvo, const QString &path, const QString &scenario)
{
    EventTimer events;
    if (qEnvironmentVariableIsSet("BENCH_EVENTS"))
        qApp->installEventFilter(&events);
    Subject s(orvo);
    std::map<QString, double> out;
    StallProbe probe;
    if (scenario == QLatin1String("open")) {
        double laidOut = 0;
        out["paint"] = s.openAsUser(path, &probe, &laidOut);
        out["paintcpu"] = s.openCpu;
        out["laidout"] = laidOut;
        out["stall"] = probe.longest;
        out["busy"] = probe.longestBusy;
        out["ticks"] = probe.ticks;
        out["complete"] = s.laidOut();
        out["peak"] = peakMegabytes();
    } else if (scenario == QLatin1String("end50")) {
        s.open(path);
        spin(50);
        const int paintsBefore = s.paintCount();
        out["endshown"] = s.timedUntilEndShown([&] { s.key(Qt::Key_End, Qt::ControlModifier); });
        out["endshowncpu"] = s.lastCpu;
        out["endpaints"] = s.paintCount() - paintsBefore;
        out["shown"] = s.painted && s.editor()->textCursor().atEnd();
        out["pending"] = !s.laidOut();
    } else if (scenario == QLatin1String("scroll")) {
        s.open(path);
        spin(50);
        std::map<QString, std::vector<double>> steps;
        int pending = 0;
        int unpainted = 0;
        for (int place = 0; place < 10; ++place) {
            s.placeCaret(int(qint64(s.document()->characterCount()) * place / 11));
            spin(20);
            for (int i = 0; i < 10; ++i) {
                pending += !s.laidOut();
                steps["pagedown"].push_back(s.timed([&] { s.key(Qt::Key_PageDown); }, 2000));
                steps["pagedowncpu"].push_back(s.lastCpu);
                unpainted += !s.painted;
            }
            for (int i = 0; i < 10; ++i) {
                pending += !s.laidOut();
                steps["wheel"].push_back(s.timed([&] { s.wheelDown(); }, 2000));
                steps["wheelcpu"].push_back(s.lastCpu);
                unpainted += !s.painted;
            }
        }
        for (const auto &[key, values] : steps) {
            out[key + QStringLiteral("_p50")] = percentile(values, 0.5);
            out[key + QStringLiteral("_p90")] = percentile(values, 0.9);
            out[key + QStringLiteral("_p99")] = percentile(values, 0.99);
            out[key + QStringLiteral("_max")] = percentile(values, 1);
        }
        out["steps"] = double(steps["pagedown"].size() + steps["wheel"].size());
        out["pendingsteps"] = pending;
        out["unpainted"] = unpainted;
    } else if (scenario == QLatin1String("key50")) {
        s.open(path);
        spin(50);
        s.key(Qt::Key_X);
        s.waitLaidOut();
        out["unlaid"] = s.paragraphsNotLaidOut();
        out["paragraphs"] = s.document()->blockCount();
        out["reachable"] = s.endVisible() && out["unlaid"] == 0;
    } else if (scenario == QLatin1String("jump")) {
        s.open(path);
        spin(100);
        out["ctrlend"] = s.timed([&] { s.key(Qt::Key_End, Qt::ControlModifier); });
        spin(50);
        out["atend"] = s.editor()->textCursor().atEnd() && s.caretVisible();
    } else if (scenario == QLatin1String("find")) {
        s.open(path);
        spin(100);
        out["find"] = s.timed([&] { s.find(Marker); });
        spin(50);
        out["found"] = s.editor()->textCursor().selectedText() == Marker && s.caretVisible();
    } else if (scenario == QLatin1String("edits")) {
        s.open(path);
        s.waitLaidOut();
        spin(200);
        out["peaklayout"] = peakMegabytes();
        QFile corpus(path.left(path.lastIndexOf(QLatin1Char('/'))) + QStringLiteral("/paste.txt"));
        corpus.open(QIODevice::ReadOnly);
        const QString paste = QString::fromUtf8(corpus.readAll());
        int edits = 0;
        const char *places[] = {"start", "middle", "end"};
        for (int p = 0; p < 3; ++p) {
            const int length = s.document()->characterCount();
            const int position = p == 0 ? 0 : p == 1 ? length / 2 : length - 1;
            std::vector<double> keys, enters, backs;
            s.placeCaret(position);
            for (int i = 0; i < 5; ++i) {
                keys.push_back(s.timed([&] { s.key(Qt::Key_X); }));
                enters.push_back(s.timed([&] { s.key(Qt::Key_Return); }));
                backs.push_back(s.timed([&] { s.key(Qt::Key_Backspace); }));
                edits += 3;
            }
            out[QStringLiteral("key_%1").arg(places[p])] = median(keys);
            out[QStringLiteral("enter_%1").arg(places[p])] = median(enters);
            out[QStringLiteral("backspace_%1").arg(places[p])] = median(backs);
            s.placeCaret(position);
            out[QStringLiteral("paste_%1").arg(places[p])] = s.timed([&] { s.paste(paste); });
            ++edits;
        }
        s.placeCaret(s.document()->characterCount() / 3);
        while (edits < 100) {
            s.key(Qt::Key_Y);
            ++edits;
        }
        s.waitLaidOut();
        spin(200);
        out["peakedits"] = peakMegabytes();
    } else if (scenario == QLatin1String("answer")) {
        QElapsedTimer t;
        t.start();
        s.open(path);
        bool answered = false;
        QTimer::singleShot(0, [&] { answered = true; });
        while (!answered)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        out["answer"] = t.nsecsElapsed() / 1e6;
        probe.start();
        spin(5000);
        probe.stop();
        out["stall5s"] = probe.longest;
        out["ctrlend"] = s.timed([&] { s.key(Qt::Key_End, Qt::ControlModifier); });
        spin(50);
        out["atend"] = s.editor()->textCursor().atEnd() && s.caretVisible();
        out["peak"] = peakMegabytes();
    }
    report(out);
    return 0;
}

// The result of one child: its values, or why it has none.
struct Outcome
{
    std::map<QString, double> values;
    QString failure;
};

Outcome runOne(bool orvo, const QString &path, const QString &scenario, int timeoutMs)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child"), orvo ? QStringLiteral("orvo") : QStringLiteral("qt"), path, scenario});
    Outcome o;
    if (!child.waitForFinished(timeoutMs)) {
        child.kill();
        child.waitForFinished();
        o.failure = QStringLiteral("no answer within %1 s").arg(timeoutMs / 1000);
        return o;
    }
    if (child.exitStatus() == QProcess::CrashExit) {
        o.failure = QStringLiteral("crashed");
        return o;
    }
    const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
    for (const QByteArray &field : fields) {
        const int eq = field.indexOf('=');
        if (eq > 0)
            o.values[QString::fromLatin1(field.left(eq))] = field.mid(eq + 1).toDouble();
    }
    return o;
}

// Medians of several runs, the two editors taking turns.
struct Both
{
    std::map<QString, std::vector<double>> orvo, qt;
    QString orvoFailure, qtFailure;
};

Both runPair(const QString &path, const QString &scenario, int runs, int timeoutMs)
{
    Both b;
    for (int i = 0; i < runs; ++i) {
        for (bool orvo : {true, false}) {
            const Outcome o = runOne(orvo, path, scenario, timeoutMs);
            if (!o.failure.isEmpty())
                (orvo ? b.orvoFailure : b.qtFailure) = o.failure;
            for (const auto &[k, v] : o.values)
                (orvo ? b.orvo : b.qt)[k].push_back(v);
        }
    }
    return b;
}

void row(const Both &b, const QString &key, const char *what, const char *unit, const char *goal = "")
{
    auto value = [&](const std::map<QString, std::vector<double>> &m, const QString &failure) {
        const auto it = m.find(key);
        if (it == m.end())
            return failure.isEmpty() ? QStringLiteral("-") : failure;
        return QString::number(median(it->second), 'f', 1) + QLatin1Char(' ') + QLatin1String(unit);
    };
    std::printf("  %-44s orvo %16s  stock QTextEdit %22s  %s\n", what, qPrintable(value(b.orvo, b.orvoFailure)),
                qPrintable(value(b.qt, b.qtFailure)), goal);
    std::fflush(stdout);
}

// Every run's figure, with the UI thread's processor time beside it where there is one.
void everyRun(const Both &b, const QString &key, const QString &cpuKey, const char *what, const char *goal = "",
              const char *unit = " ms")
{
    auto runs = [&](const std::map<QString, std::vector<double>> &m, const QString &failure) {
        const auto it = m.find(key);
        if (it == m.end())
            return failure.isEmpty() ? QStringLiteral("-") : failure;
        const auto cpu = m.find(cpuKey);
        QStringList out;
        for (size_t i = 0; i < it->second.size(); ++i) {
            QString one = QString::number(it->second[i], 'f', 1);
            if (cpu != m.end() && i < cpu->second.size())
                one += QStringLiteral(" (cpu %1)").arg(cpu->second[i], 0, 'f', 1);
            out.append(one);
        }
        return out.join(QStringLiteral(", ")) + QLatin1String(unit);
    };
    std::printf("  %-44s %s\n", what, goal);
    std::printf("    orvo            %s\n", qPrintable(runs(b.orvo, b.orvoFailure)));
    std::printf("    stock QTextEdit %s\n", qPrintable(runs(b.qt, b.qtFailure)));
    std::fflush(stdout);
}

QString yesNo(const Both &b, bool orvo, const QString &key)
{
    const auto &m = orvo ? b.orvo : b.qt;
    const auto it = m.find(key);
    if (it == m.end())
        return orvo ? b.orvoFailure : b.qtFailure;
    int yes = 0;
    for (double v : it->second)
        yes += v > 0.5;
    return QStringLiteral("%1 of %2 runs").arg(yes).arg(it->second.size());
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The corpus document with the find marker before its closing brace.
bool markedCopy(const QByteArray &rtf, const QString &path)
{
    if (!rtf.endsWith('}'))
        return false;
    return writeFile(path, rtf.left(rtf.size() - 1) + "\\par " + Marker.toLatin1() + "}");
}

QByteArray twentyMegabytes(const QByteArray &five)
{
    const qsizetype start = five.indexOf("\\pard\\plain");
    const QByteArray body = five.mid(start, five.size() - 1 - start);
    QByteArray out = five.left(start);
    for (int i = 0; i < 4; ++i)
        out += body;
    return out + '}';
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 5 && args.at(1) == QLatin1String("--child"))
        return runChild(args.at(2) == QLatin1String("orvo"), args.at(3), args.at(4));

    const int runs = args.size() >= 2 ? qMax(1, args.at(1).toInt()) : 3;
    const QString only = args.value(2);
    QString corpus = qEnvironmentVariable("ORVO_RTF_CORPUS");
    if (corpus.isEmpty())
        corpus = QStringLiteral(ORVO_RTF_CORPUS);
    QTemporaryDir temp;
    QFile five(corpus + QStringLiteral("/large/large-5mb.rtf"));
    QFile fiveText(corpus + QStringLiteral("/large/large-5mb.txt"));
    if (!temp.isValid() || !five.open(QIODevice::ReadOnly) || !fiveText.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read the large corpus documents under %s\n", qPrintable(corpus));
        return 1;
    }
    const QByteArray fiveBytes = five.readAll();
    const QString dir = temp.path();
    // 100 KB of the corpus text, in its paragraphs, for the pastes.
    writeFile(dir + QStringLiteral("/paste.txt"), fiveText.read(100 * 1024));
    const QString doc5 = dir + QStringLiteral("/large-5mb.rtf");
    const QString doc20 = dir + QStringLiteral("/large-20mb.rtf");
    if (!markedCopy(fiveBytes, doc5) || !markedCopy(twentyMegabytes(fiveBytes), doc20)) {
        std::fprintf(stderr, "cannot write the documents\n");
        return 1;
    }
    std::printf("Longest stall, Ctrl+End and find 100 ms after the first paint, edits (until painted), "
                "memory; medians of %d runs, Orvo and a stock QTextEdit taking turns.\n", runs);

    if (only.isEmpty() || only == QLatin1String("large")) {
        for (const QString &path : {doc5, doc20}) {
            const double mb = QFileInfo(path).size() / (1024.0 * 1024.0);
            const bool big = mb > 10;
            std::printf("%s (%.1f MB)\n", qPrintable(QFileInfo(path).fileName()), mb);
            const Both open = runPair(path, QStringLiteral("open"), runs, 300000);
            row(open, QStringLiteral("paint"), "first paint after the click", "ms");
            row(open, QStringLiteral("laidout"), "whole document laid out after that", "ms");
            row(open, QStringLiteral("stall"), "longest stall until laid out", "ms", "goal <= 16 ms");
            row(open, QStringLiteral("busy"), "  longest UI-thread busy time between ticks", "ms", "goal <= 16 ms");
            row(open, QStringLiteral("peak"), "peak memory once laid out", "MB");
            const Both key = runPair(path, QStringLiteral("key50"), runs, 300000);
            std::printf("  %-44s orvo %s   stock QTextEdit %s\n", "end reachable after a key at 50 ms",
                        qPrintable(yesNo(key, true, QStringLiteral("reachable"))),
                        qPrintable(yesNo(key, false, QStringLiteral("reachable"))));
            row(key, QStringLiteral("unlaid"), "  paragraphs never laid out", "");
            const Both jump = runPair(path, QStringLiteral("jump"), runs, 300000);
            row(jump, QStringLiteral("ctrlend"), "Ctrl+End 100 ms after the first paint", "ms",
                big ? "" : "goal <= 100 ms");
            std::printf("  %-44s orvo %s   stock QTextEdit %s\n", "  caret at the end and in view",
                        qPrintable(yesNo(jump, true, QStringLiteral("atend"))),
                        qPrintable(yesNo(jump, false, QStringLiteral("atend"))));
            const Both find = runPair(path, QStringLiteral("find"), runs, 300000);
            row(find, QStringLiteral("find"), "find at the end 100 ms after the first paint", "ms");
            std::printf("  %-44s orvo %s   stock QTextEdit %s\n", "  found and in view",
                        qPrintable(yesNo(find, true, QStringLiteral("found"))),
                        qPrintable(yesNo(find, false, QStringLiteral("found"))));
            const Both edits = runPair(path, QStringLiteral("edits"), runs, 600000);
            for (const char *place : {"start", "middle", "end"}) {
                const QString p = QString::fromLatin1(place);
                row(edits, QStringLiteral("key_") + p, qPrintable(QStringLiteral("key at the ") + p), "ms",
                    big ? "goal <= 16 ms" : "");
                row(edits, QStringLiteral("enter_") + p, qPrintable(QStringLiteral("Enter at the ") + p), "ms",
                    big ? "goal <= 16 ms" : "");
                row(edits, QStringLiteral("backspace_") + p, qPrintable(QStringLiteral("Backspace at the ") + p),
                    "ms", big ? "goal <= 16 ms" : "");
                row(edits, QStringLiteral("paste_") + p, qPrintable(QStringLiteral("100 KB paste at the ") + p),
                    "ms", big ? "goal <= 30 ms" : "");
            }
            const QByteArray limit = QByteArray::number(35 + 6 * mb, 'f', 1);
            row(edits, QStringLiteral("peaklayout"), "peak memory after the layout", "MB");
            row(edits, QStringLiteral("peakedits"), "peak memory after 100 edits", "MB",
                big ? "" : qPrintable(QByteArray("goal <= ") + limit + " MB"));
        }
    }

    if (only.isEmpty() || only == QLatin1String("smooth")) {
        if (!makeReport(dir, 5 * 1024 * 1024)) {
            std::fprintf(stderr, "cannot write the report\n");
            return 1;
        }
        const QString report = dir + QStringLiteral("/report-tables.rtf");
        std::printf("smoothness, every run (wall ms, the UI thread's processor time in brackets); the machine may be "
                    "loaded by other programs, the processor time much less so\n");
        for (const QString &path : {doc5, doc20}) {
            std::printf("%s\n", qPrintable(QFileInfo(path).fileName()));
            const Both open = runPair(path, QStringLiteral("open"), runs, 300000);
            everyRun(open, QStringLiteral("paint"), QStringLiteral("paintcpu"), "first paint after the click");
            everyRun(open, QStringLiteral("stall"), QString(), "longest stall from the first paint until laid out",
                     "goal <= 16 ms");
            everyRun(open, QStringLiteral("busy"), QString(), "longest UI-thread busy time between two ticks",
                     "goal <= 16 ms");
            const Both end = runPair(path, QStringLiteral("end50"), runs, 300000);
            everyRun(end, QStringLiteral("endshown"), QStringLiteral("endshowncpu"),
                     "Ctrl+End at 50 ms until the last line is painted whole", "goal <= 100 ms");
            std::printf("  %-44s orvo %s   stock QTextEdit %s\n", "  shown, caret at the end",
                        qPrintable(yesNo(end, true, QStringLiteral("shown"))),
                        qPrintable(yesNo(end, false, QStringLiteral("shown"))));
            std::printf("  %-44s orvo %s   stock QTextEdit %s\n", "  layout still pending then",
                        qPrintable(yesNo(end, true, QStringLiteral("pending"))),
                        qPrintable(yesNo(end, false, QStringLiteral("pending"))));
        }
        for (const QString &path : {doc5, report}) {
            std::printf("%s (%.1f MB): 10 PageDowns and 10 wheel steps at each of ten places, from 50 ms after the "
                        "first paint, until painted\n",
                        qPrintable(QFileInfo(path).fileName()), QFileInfo(path).size() / (1024.0 * 1024.0));
            const Both scroll = runPair(path, QStringLiteral("scroll"), runs, 600000);
            for (const char *step : {"pagedown", "wheel"}) {
                const QString k = QString::fromLatin1(step);
                for (const char *p : {"p50", "p90", "p99", "max"}) {
                    const QString what = QStringLiteral("%1 %2").arg(k, QString::fromLatin1(p));
                    everyRun(scroll, k + QLatin1Char('_') + QLatin1String(p), k + QStringLiteral("cpu_") + QLatin1String(p),
                             qPrintable(what), std::strcmp(p, "max") ? "" : "goal <= 16 ms");
                }
            }
            everyRun(scroll, QStringLiteral("pendingsteps"), QString(), "steps taken while the layout was pending", "", "");
            everyRun(scroll, QStringLiteral("unpainted"), QString(), "steps that painted nothing (2 s each)", "", "");
        }
    }

    if (only.isEmpty() || only == QLatin1String("extreme")) {
        const QString lines = dir + QStringLiteral("/lines-700k.txt");
        const QString noBlank = dir + QStringLiteral("/noblank-1m.txt");
        const QString huge = dir + QStringLiteral("/paragraph-150mb.rtf");
        writeFile(lines, QByteArray("x\n").repeated(700000));
        writeFile(noBlank, QByteArray("abcdefghijklmnopqrstuvwxyz").repeated(1000000 / 26 + 1).left(1000000));
        {
            QFile f(huge);
            f.open(QIODevice::WriteOnly);
            f.write("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs24 ");
            const QByteArray words = QByteArray("Lorem ipsum dolor sit amet, consectetur adipiscing elit. ").repeated(1 << 14);
            for (qint64 written = 0; written < 150ll * 1024 * 1024; written += words.size())
                f.write(words);
            f.write("}");
        }
        std::printf("extreme documents: time until the window answers after the click, longest stall in the "
                    "5 s after, Ctrl+End then, peak memory (one run each)\n");
        for (const QString &path : {lines, noBlank, huge}) {
            std::printf("%s\n", qPrintable(QFileInfo(path).fileName()));
            const Both b = runPair(path, QStringLiteral("answer"), 1, 180000);
            row(b, QStringLiteral("answer"), "window answers after", "ms");
            row(b, QStringLiteral("stall5s"), "longest stall in the 5 s after", "ms");
            row(b, QStringLiteral("ctrlend"), "Ctrl+End", "ms");
            std::printf("  %-44s orvo %s   stock QTextEdit %s\n", "  caret at the end and in view",
                        qPrintable(yesNo(b, true, QStringLiteral("atend"))),
                        qPrintable(yesNo(b, false, QStringLiteral("atend"))));
            row(b, QStringLiteral("peak"), "peak memory", "MB");
        }
    }
    return 0;
}
