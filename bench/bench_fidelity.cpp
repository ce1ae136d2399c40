// How closely the editor shows the corpus documents as LibreOffice lays them out:
// where each word starts, compared with LibreOffice's page.
//
// The reference (bench/fidelity/reference.txt.gz, made by make_reference.py) holds
// LibreOffice's word boxes relative to the text column of their page. Each document
// is opened in the editor as the open command opens it (RichTextBox::loadFile, the
// editor's own layout) at the width of LibreOffice's text column, and the words of
// both sides are paired by their text. For each pair:
//   - x: where the word starts, relative to the text column;
//   - y: the word's top (its baseline less its face's ascent on both sides, as the
//     PDF's boxes are made) relative to the top of the first paired word of the
//     line before it on LibreOffice's page, and the same two words on the editor's
//     side: the editor does not paginate, so each word is held against the line
//     above it. The first line of a page has none and is compared by x alone.
// A word is "within 4 px" when both are. A line start is the first paired word of a
// line (words in drawing order, a new line when x moves back or the boxes stop
// overlapping vertically); a line start matches when it starts a line on both sides,
// counted over the line starts of either side. A gap is the step from a line's first
// paired word to the one of the line before it on the same page; it matches within
// 20 % of LibreOffice's. The width of a word on one line matches within 3 % or 1 px.
// Each figure is broken down by what the editor knows of the word: in a list (a
// QTextList or a hanging indent), in a table cell, after a tab on its line.
//
// Each document is laid out in a child process with a time limit, so a document
// that crashes or hangs the editor is reported and the others still measured.
//
// usage: bench_fidelity [--corpus rtf|doc|DIR] [--reference FILE] [--shots DIR] [--pairs] [NAME ...]
//   --corpus doc measures the Word and OpenDocument corpus (../shared/doc-corpus,
//   $ORVO_DOC_CORPUS) against bench/fidelity/reference-doc.txt.gz; rtf, the default,
//   the RTF corpus against reference.txt.gz; a folder, its documents against the
//   reference given (NAME.rtf, NAME.docx or NAME.odt, as the reference names them);
//   --shots DIR writes the editor's first page of each document as NAME-orvo.png, and
//   the same with LibreOffice's word boxes drawn over it as NAME-overlay.png;
//   --pairs lists every paired word with both positions after the tables.

#include "bench/fidelity/fidelitymeasure.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <map>

namespace {

using namespace Fidelity;

constexpr int ChildSeconds = 120;

struct Row
{
    QString name;
    Counts counts;
    QString note;   // refused, crashed, timed out
    QString detail; // the child's diagnostics line
    QStringList pairs;
};

Row measureInChild(const QString &self, const QStringList &passOn, const QString &name)
{
    Row row{name, {}, {}, {}};
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(self, passOn + QStringList{QStringLiteral("--one"), name});
    if (!child.waitForFinished(ChildSeconds * 1000)) {
        child.kill();
        child.waitForFinished();
        row.note = QStringLiteral("no answer in %1 s").arg(ChildSeconds);
        return row;
    }
    const QString out = QString::fromUtf8(child.readAllStandardOutput());
    for (const QString &line : out.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("COUNTS ")))
            row.counts = Counts::parse(line.mid(7));
        else if (line.startsWith(QLatin1String("DETAIL ")))
            row.detail = line.mid(7);
        else if (line.startsWith(QLatin1String("NOTE ")))
            row.note = line.mid(5);
        else if (line.startsWith(QLatin1String("PAIR ")))
            row.pairs << line.mid(5);
    }
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        row.note = QStringLiteral("the editor stopped (exit %1)").arg(child.exitCode());
    return row;
}

QString share(int n, int of)
{
    if (of == 0)
        return QStringLiteral("     -          ");
    return QStringLiteral("%1% %2").arg(100.0 * n / of, 5, 'f', 1).arg(QStringLiteral("%1/%2").arg(n).arg(of), -10);
}

void printRow(const char *label, const Counts &c)
{
    std::printf("%-36s %6d %6d %6d  %s %s %s  %s %s %s\n", label, c.loWords, c.editorWords, c.matched,
                qPrintable(share(c.near, c.matched)), qPrintable(share(c.nearX, c.matched)),
                qPrintable(share(c.nearY, c.yChecked)), qPrintable(share(c.startsBoth, c.startsEither)),
                qPrintable(share(c.gapsNear, c.gaps)), qPrintable(share(c.widthsNear, c.widths)));
}

// Each document counted once, whatever its length: the mean of the documents' shares.
void printMeans(const std::vector<Row> &rows)
{
    double sums[6] = {};
    int counted[6] = {};
    const auto add = [&](int k, int n, int of) {
        if (of > 0) {
            sums[k] += 100.0 * n / of;
            ++counted[k];
        }
    };
    for (const Row &r : rows) {
        const Counts &c = r.counts;
        if (!r.note.isEmpty())
            continue;
        add(0, c.near, c.matched);
        add(1, c.nearX, c.matched);
        add(2, c.nearY, c.yChecked);
        add(3, c.startsBoth, c.startsEither);
        add(4, c.gapsNear, c.gaps);
        add(5, c.widthsNear, c.widths);
    }
    std::printf("%-57s", "mean of the documents' shares (documents)");
    for (int k = 0; k < 6; ++k)
        std::printf(" %5.1f%% (%d)%*s", counted[k] ? sums[k] / counted[k] : 0.0, counted[k], k == 2 ? 6 : 5, "");
    std::printf("\n");
}

void printHeader()
{
    std::printf("%-36s %6s %6s %6s  %-16s %-16s %-16s  %-16s %-16s %-16s\n", "document", "LO", "Orvo", "paired",
                "within 4 px", "x within 4", "y within 4", "line starts", "gaps +-20%", "widths +-3%");
}

void printClasses(const std::vector<Row> &rows, const Counts &all)
{
    std::printf("\nBy what the editor knows of the word: within 4 px, gaps +-20%%, line starts\n");
    std::printf("%-36s %-34s %-34s %-34s %-34s\n", "document", "in a list", "in a table", "after a tab", "other");
    const auto cell = [](const ClassCounts &k) {
        return QStringLiteral("%1 %2").arg(share(k.near, k.matched), share(k.gapsNear, k.gaps)).left(34);
    };
    const auto line = [&](const QString &name, const Counts &c) {
        std::printf("%-36s %-34s %-34s %-34s %-34s\n", qPrintable(name), qPrintable(cell(c.kinds[List])),
                    qPrintable(cell(c.kinds[Table])), qPrintable(cell(c.kinds[AfterTab])),
                    qPrintable(cell(c.kinds[Other])));
    };
    for (const Row &r : rows) {
        if (r.note.isEmpty())
            line(r.name, r.counts);
    }
    line(QStringLiteral("overall"), all);
    std::printf("\nline starts: ");
    for (int k = 0; k < KindCount; ++k) {
        std::printf("%s %s  ", KindNames[k],
                    qPrintable(share(all.kinds[k].startsBoth, all.kinds[k].startsEither).trimmed()));
    }
    std::printf("\n");
}

int runParent(const QStringList &args, const QString &self)
{
    QString referencePath = QStringLiteral(ORVO_SOURCE_DIR "/bench/fidelity/reference.txt.gz");
    QString corpus = corpusDir();
    QStringList passOn, names;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--corpus") && i + 1 < args.size()) {
            const QString which = args[++i];
            if (which == QLatin1String("doc")) {
                corpus = docCorpusDir();
                referencePath = QStringLiteral(ORVO_SOURCE_DIR "/bench/fidelity/reference-doc.txt.gz");
            } else if (which != QLatin1String("rtf")) {
                corpus = which;
            }
        } else if (args[i] == QLatin1String("--reference") && i + 1 < args.size()) {
            referencePath = args[++i];
            passOn << args[i - 1] << args[i];
        } else if (args[i] == QLatin1String("--pairs")) {
            passOn << args[i];
        } else if (args[i] == QLatin1String("--shots") && i + 1 < args.size()) {
            passOn << args[i] << args[i + 1];
            QDir().mkpath(args[++i]);
        } else {
            names << args[i];
        }
    }
    Reference reference;
    if (!reference.read(referencePath)) {
        std::fprintf(stderr, "cannot read the reference %s\n", qPrintable(referencePath));
        return 1;
    }
    if (!passOn.contains(QLatin1String("--reference")))
        passOn << QStringLiteral("--reference") << referencePath;
    passOn << QStringLiteral("--corpus-dir") << corpus;
    std::printf("Reference: %s\n", qPrintable(reference.madeBy().join(QLatin1String("; "))));
    std::printf("Corpus: %s\n\n", qPrintable(corpus));
    QElapsedTimer timer;
    timer.start();
    std::vector<Row> rows;
    int refused = 0;
    for (const RefDocument &doc : reference.documents()) {
        if (!names.isEmpty() && !names.contains(doc.name))
            continue;
        if (doc.refused) {
            ++refused;
            continue;
        }
        rows.push_back(measureInChild(self, passOn, doc.name));
    }
    std::sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) {
        const double sa = a.counts.matched ? double(a.counts.near) / a.counts.matched : -1;
        const double sb = b.counts.matched ? double(b.counts.near) / b.counts.matched : -1;
        return sa != sb ? sa < sb : a.name < b.name;
    });
    printHeader();
    Counts all;
    for (const Row &r : rows) {
        if (!r.note.isEmpty()) {
            std::printf("%-36s %s\n", qPrintable(r.name), qPrintable(r.note));
            continue;
        }
        printRow(qPrintable(r.name), r.counts);
        all += r.counts;
    }
    std::printf("%s\n", qPrintable(QString(36 + 3 * 7 + 6 * 17 + 4, QLatin1Char('-'))));
    printRow(qPrintable(QStringLiteral("overall (%1 documents)").arg(rows.size())), all);
    printMeans(rows);
    printClasses(rows, all);
    std::printf("\nWhere they differ (median signed dx of the paired words that are off by more than 4 px,\n"
                "median ratio of the editor's gap to LibreOffice's, faces):\n");
    for (const Row &r : rows) {
        if (r.note.isEmpty() && !r.detail.isEmpty())
            std::printf("%-36s %s\n", qPrintable(r.name), qPrintable(r.detail));
    }
    for (const Row &r : rows) {
        for (const QString &p : r.pairs)
            std::printf("%s %s\n", qPrintable(r.name), qPrintable(p));
    }
    std::printf("\n%d documents LibreOffice refuses were left out; %lld s\n", refused,
                static_cast<long long>(timer.elapsed() / 1000));
    return 0;
}

int runChild(const QStringList &args)
{
    QString referencePath, shots, name, corpus = corpusDir();
    for (qsizetype i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--reference"))
            referencePath = args[++i];
        else if (args[i] == QLatin1String("--shots"))
            shots = args[++i];
        else if (args[i] == QLatin1String("--one"))
            name = args[++i];
        else if (args[i] == QLatin1String("--corpus-dir"))
            corpus = args[++i];
    }
    Reference reference;
    if (!reference.read(referencePath))
        return 1;
    const RefDocument *doc = reference.find(name);
    if (!doc || doc->pages.empty()) {
        std::printf("NOTE not in the reference\n");
        return 0;
    }
    const QString file = documentFile(corpus, name);
    if (file.isEmpty()) {
        std::printf("NOTE not in %s\n", qPrintable(corpus));
        return 0;
    }
    EditorPage page;
    const QString failure = page.open(file, doc->pages.front());
    if (!failure.isEmpty()) {
        std::printf("NOTE %s\n", qPrintable(failure));
        return 0;
    }
    QStringList pairs;
    const bool listPairs = args.contains(QLatin1String("--pairs"));
    const Comparison result = compare(doc->tokens, page.tokens(), listPairs ? &pairs : nullptr);
    for (const QString &p : pairs)
        std::printf("PAIR %s\n", qPrintable(p));
    std::printf("COUNTS %s\n", qPrintable(result.counts.serialise()));
    std::printf("DETAIL %s | LO: %s\n", qPrintable(result.detail), qPrintable(doc->fonts.join(QLatin1Char(' '))));
    if (!shots.isEmpty()) {
        page.shot(QDir(shots).filePath(name + QStringLiteral("-orvo.png")), nullptr);
        page.shot(QDir(shots).filePath(name + QStringLiteral("-overlay.png")), doc);
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // The children share one runtime folder rather than each warn that there is none.
    QTemporaryDir runtime;
    if (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR") && runtime.isValid()) {
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    }
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.contains(QLatin1String("--one")))
        return runChild(args);
    return runParent(args, app.applicationFilePath());
}
