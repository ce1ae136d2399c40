#include "layoutchild.h"

#include "editing/module1.h"
#include "layout/documentlayout.h"
#include "layout/paragraphlayout.h"
#include "platform/documentloader.h"
#include "platform/richtextbox.h"
#include "bench/benchfigures.h"
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

namespace LayoutBench {

const QString Marker = QStringLiteral("ZQXJ-fin-du-document");

double median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

namespace {

using BenchFigures::peakMegabytes;

// The value below which the given share of the values lie (nearest rank).
double percentile(std::vector<double> v, double share)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    const size_t rank = size_t(std::ceil(share * double(v.size())));
    return v[std::min(v.size() - 1, rank > 0 ? rank - 1 : 0)];
}

using BenchFigures::threadCpuMs;

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

    // Orvo opens the file as the user does, by its picture and the dialog; the stock
    // editor is given the document the same loader reads. False when it can't be read.
    bool startOpening(const QString &path)
    {
        if (m_orvo) {
            m_services.dialogs->fileAnswers.push_back(path);
            QTest::mouseClick(m_form.get(), Qt::LeftButton, {}, m_form->control("Image6").boxPixels().center());
            return true;
        }
        std::unique_ptr<QTextDocument> doc;
        if (DocumentLoader::load(path, &doc))
            return false;
        doc->setDefaultFont(m_plain->document()->defaultFont());
        doc->setParent(m_plain);
        m_plain->setDocument(doc.release());
        return true;
    }

    // Opens the file as the user does; returns ms until the editor painted it.
    double open(const QString &path)
    {
        const int before = m_paints.paints;
        const double cpu = threadCpuMs();
        QElapsedTimer t;
        t.start();
        if (!startOpening(path))
            return -1;
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
        if (!startOpening(path))
            return -1;
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

// PageDowns and wheel steps at ten places, from 50 ms after the first paint.
void scrollSteps(Subject &s, const QString &path, std::map<QString, double> &out)
{
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
}

// Keys, Enter, Backspace and a paste at the start, the middle and the end once laid
// out, then memory after 100 edits.
void edits(Subject &s, const QString &path, std::map<QString, double> &out)
{
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
}

} // namespace

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
        scrollSteps(s, path, out);
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
        edits(s, path, out);
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

} // namespace LayoutBench
