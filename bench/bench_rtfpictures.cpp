// What drawing the metafile pictures of the corpus costs.
//
// For each corpus document with WMF or EMF drawings: the whole document's load
// through the reader, and each drawing played at its display size by the pictures'
// decoder; beside each drawing stands stock Qt decoding a PNG of the same picture
// (what showing it as a bitmap would cost). Medians of several runs in one process.
//
// usage: bench_rtfpictures [runs] [--shots DIR]
//   --shots DIR writes each drawing as played (NAME-N.png) and the first page of each
//   document as the reader shows it (NAME-page.png) into DIR.

#include "bench/benchfigures.h"
#include "model/picturedecoder.h"
#include "rtf/rtfreader.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QRegularExpression>
#include <QTextDocument>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using BenchFigures::median;
using BenchFigures::msSince;

const char *const Documents[] = {
    "rtfjs-wmf-and-emf.rtf",
    "rtfpipe-issue46-word.rtf",
    "rtfpipe-old3-from-web.rtf",
    "tika-embedded-link-object.rtf",
};

// The \pict groups of a document that hold a metafile, with the words the decoder
// needs: enough of a reader for the corpus, which writes them plainly in hex.
std::vector<Picture> metafilesOf(const QByteArray &rtf)
{
    std::vector<Picture> found;
    static const QRegularExpression word(QStringLiteral("\\\\([a-z]+)(-?\\d+)? ?"));
    for (qsizetype at = rtf.indexOf("{\\pict"); at >= 0; at = rtf.indexOf("{\\pict", at + 1)) {
        if (QChar::isLetter(rtf.at(at + 6)))
            continue;
        int depth = 0;
        qsizetype end = at;
        QByteArray own; // the group's text without its subgroups
        for (; end < rtf.size(); ++end) {
            const char c = rtf.at(end);
            if (c == '\\' && end + 1 < rtf.size() && (rtf.at(end + 1) == '{' || rtf.at(end + 1) == '}')) {
                ++end;
                continue;
            }
            if (c == '{')
                ++depth;
            else if (c == '}' && --depth == 0)
                break;
            else if (depth == 1)
                own += c;
        }
        Picture p;
        const QString text = QString::fromLatin1(own);
        QString hex;
        qsizetype last = 0;
        for (auto m = word.globalMatch(text); m.hasNext();) {
            const auto w = m.next();
            hex += text.mid(last, w.capturedStart() - last);
            last = w.capturedEnd();
            const QString name = w.captured(1);
            const int value = w.captured(2).toInt();
            if (name == QLatin1String("emfblip"))
                p.kind = Picture::Kind::Emf;
            else if (name == QLatin1String("wmetafile"))
                p.kind = Picture::Kind::Wmf;
            else if (name == QLatin1String("picw"))
                p.width = value;
            else if (name == QLatin1String("pich"))
                p.height = value;
            else if (name == QLatin1String("picwgoal"))
                p.goalWidth = value;
            else if (name == QLatin1String("pichgoal"))
                p.goalHeight = value;
            else if (name == QLatin1String("picscalex"))
                p.scaleX = value;
            else if (name == QLatin1String("picscaley"))
                p.scaleY = value;
        }
        hex += text.mid(last);
        hex.remove(QRegularExpression(QStringLiteral("[^0-9a-fA-F]")));
        p.data = QByteArray::fromHex(hex.toLatin1());
        if (p.kind == Picture::Kind::Emf || p.kind == Picture::Kind::Wmf)
            found.push_back(p);
        at = end;
    }
    return found;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    int runs = 9;
    QString shots;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--shots") && i + 1 < args.size())
            shots = args[++i];
        else if (args[i].toInt() > 0)
            runs = args[i].toInt();
    }
    const QDir corpus(QString::fromLocal8Bit(qEnvironmentVariableIsSet("ORVO_RTF_CORPUS") ? qgetenv("ORVO_RTF_CORPUS")
                                                                                         : QByteArray(ORVO_RTF_CORPUS)));
    if (!shots.isEmpty())
        QDir().mkpath(shots);
    std::printf("%d runs, medians in ms\n\n", runs);
    std::printf("%-34s %9s %12s %9s %9s %9s\n", "drawing", "bytes", "pixels", "played", "as PNG", "ratio");
    double playedTotal = 0, pngTotal = 0;
    std::vector<std::pair<QString, double>> loads;
    for (const char *name : Documents) {
        QFile file(corpus.filePath(QString::fromLatin1(name)));
        if (!file.open(QIODevice::ReadOnly)) {
            std::printf("%s: not found (set ORVO_RTF_CORPUS)\n", name);
            return 1;
        }
        const QByteArray rtf = file.readAll();
        const QString base = QString::fromLatin1(name).chopped(4);
        int n = 0;
        for (const Picture &picture : metafilesOf(rtf)) {
            std::vector<double> played, png;
            PictureDecoder::Result result;
            QByteArray encoded;
            for (int run = 0; run < runs; ++run) {
                // Alternating: the player, then stock Qt decoding the same picture as a PNG.
                QElapsedTimer t;
                t.start();
                PictureDecoder decoder;
                result = decoder.decode(picture);
                played.push_back(msSince(t));
                if (encoded.isEmpty()) {
                    QBuffer buffer(&encoded);
                    buffer.open(QIODevice::WriteOnly);
                    result.image.save(&buffer, "PNG");
                }
                QBuffer buffer(&encoded);
                buffer.open(QIODevice::ReadOnly);
                t.restart();
                const QImage decoded = QImageReader(&buffer, "png").read();
                png.push_back(decoded.isNull() ? 0 : msSince(t));
            }
            const QString label = QStringLiteral("%1-%2%3").arg(base).arg(n).arg(result.placeholder ? " (placeholder)" : "");
            const qint64 bytes = picture.data.size();
            std::printf("%-34s %9lld %12lld %9.2f %9.2f %9.1f\n", qPrintable(label.left(34)), bytes,
                        qint64(result.image.width()) * result.image.height(), median(played), median(png),
                        median(png) > 0 ? median(played) / median(png) : 0.0);
            playedTotal += median(played);
            pngTotal += median(png);
            if (!shots.isEmpty())
                result.image.save(QDir(shots).filePath(QStringLiteral("%1-%2.png").arg(base).arg(n)));
            ++n;
        }
        std::vector<double> load;
        QTextDocument doc;
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer t;
            t.start();
            QTextDocument d;
            static_cast<void>(Rtf::read(rtf, &d));
            load.push_back(msSince(t));
        }
        loads.emplace_back(QString::fromLatin1(name), median(load));
        if (!shots.isEmpty()) {
            static_cast<void>(Rtf::read(rtf, &doc));
            doc.setTextWidth(816 - 2 * 96); // a Letter page's text width at 96 pixels an inch
            const QSizeF size = doc.size();
            QImage page(QSize(int(doc.textWidth()) + 40, int(qMin<qreal>(size.height(), 3000)) + 40), QImage::Format_RGB32);
            page.fill(Qt::white);
            QPainter p(&page);
            p.translate(20, 20);
            doc.drawContents(&p, QRectF(0, 0, doc.textWidth(), 3000));
            p.end();
            page.save(QDir(shots).filePath(base + QStringLiteral("-page.png")));
        }
    }
    std::printf("%-34s %9s %12s %9.2f %9.2f\n\n", "all drawings", "", "", playedTotal, pngTotal);
    std::printf("%-34s %9s\n", "document", "load");
    for (const auto &[name, ms] : loads)
        std::printf("%-34s %9.2f\n", qPrintable(name), ms);
    return 0;
}
