// A section in newspaper columns, in the editor as a user sees it: its text flows
// down the first column to the band's bottom, then down the next; clicks, the caret
// and Up follow the columns; a narrow window shows one column; a band without a
// height balances its columns. The document is made as the reader makes one: a
// frame of the root frame whose format asks for the columns.
#include "base/layoutproperties.h"
#include "layout/documentlayout.h"
#include "layoutcheck.h"
#include "platform/richtextbox.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>

#include <memory>

namespace {

constexpr qreal Gap = 24;
constexpr qreal BandHeight = 160;

QString words(const QString &stem, int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << stem + QString::number(i);
    return list.join(QLatin1Char(' '));
}

} // namespace

class TestColumns final : public QObject
{
    Q_OBJECT

    std::unique_ptr<RichTextBox> m_box;
    QTextFrame *m_frame = nullptr;

    // A heading, then a frame in two columns of paragraphs, then a closing line.
    void make(qreal bandHeight, int paragraphs, int width = 700, int wordsEach = 40)
    {
        m_box = std::make_unique<RichTextBox>();
        m_box->setFrameShape(QFrame::NoFrame);
        m_box->resize(width, 500);
        QTextDocument *doc = m_box->document();
        QTextCursor c(doc);
        c.insertText(QStringLiteral("Heading"));
        QTextFrameFormat format;
        format.setMargin(0);
        format.setBorder(0);
        format.setPadding(0);
        format.setProperty(LayoutProperty::ColumnCount, 2);
        format.setProperty(LayoutProperty::ColumnGap, Gap);
        format.setProperty(LayoutProperty::ColumnHeight, bandHeight);
        format.setProperty(LayoutProperty::ColumnRule, true);
        m_frame = c.insertFrame(format);
        QTextBlockFormat spaced;
        spaced.setTopMargin(8);
        for (int i = 0; i < paragraphs; ++i) {
            if (i > 0)
                c.insertBlock(spaced);
            c.insertText(words(QStringLiteral("p%1w").arg(i), wordsEach));
        }
        c.movePosition(QTextCursor::End);
        c.insertText(QStringLiteral("After"));
        m_box->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_box.get()));
        QTRY_VERIFY(m_box->isLaidOut());
    }

    QRectF frameRect() const { return m_box->document()->documentLayout()->frameBoundingRect(m_frame); }
    qreal columnWidth() const { return (frameRect().width() - Gap) / 2; }
    qreal secondColumn() const { return frameRect().left() + columnWidth() + Gap; }

    // The caret's box at position, in document coordinates.
    QRectF caretAt(int position)
    {
        QTextCursor c(m_box->document());
        c.setPosition(position);
        m_box->setTextCursor(c);
        return m_box->cursorRect().translated(0, m_box->verticalScrollBar()->value());
    }

    // The frame's paragraph whose lines go on in the second column, and the first line there.
    QTextBlock splitParagraph(int *line) const
    {
        for (QTextBlock b = m_frame->firstCursorPosition().block(); b.isValid() && b.position() < m_frame->lastPosition();
             b = b.next()) {
            const QTextLayout *tl = b.layout();
            for (int i = 1; i < tl->lineCount(); ++i) {
                if (tl->lineAt(i).x() > tl->lineAt(0).x() + columnWidth()) {
                    *line = i;
                    return b;
                }
            }
        }
        return {};
    }

private slots:
    void cleanup() { m_box.reset(); }

    // Column 1 down to the band's bottom, then column 2 at the same top; a paragraph
    // crossing the bottom leaves its first lines in column 1, the rest go on at the
    // top of column 2.
    void flowsDownThenAcross()
    {
        make(BandHeight, 6);
        const QRectF frame = frameRect();
        QTextDocument *doc = m_box->document();
        int line = -1;
        const QTextBlock split = splitParagraph(&line);
        QVERIFY(split.isValid());
        const QTextLayout *tl = split.layout();
        const QPointF origin = doc->documentLayout()->blockBoundingRect(split).topLeft();
        const QTextLine last = tl->lineAt(line - 1);
        const QTextLine next = tl->lineAt(line);
        QCOMPARE(origin.x() + last.x(), frame.left());
        QVERIFY(origin.y() + last.y() + last.height() <= frame.top() + BandHeight + 1);
        QCOMPARE(origin.x() + next.x(), secondColumn());
        QCOMPARE(origin.y() + next.y(), frame.top());
        // Six paragraphs of 40 words fill more than one band.
        QVERIFY(frame.height() > BandHeight);
        QCOMPARE(LayoutCheck::compareWithFresh(doc, 200, 7), QString());

        // Shaded, it is shaded beside its lines in both columns, not across the gap
        // nor in column 1 below its last line there.
        QTextBlockFormat shaded;
        shaded.setBackground(QColor(255, 255, 0));
        QTextCursor(split).mergeBlockFormat(shaded);
        QTRY_VERIFY(m_box->isLaidOut());
        const QImage shown = m_box->viewport()->grab().toImage();
        const auto yellow = [&](qreal x, qreal y) {
            return shown.pixel(int(x), int(y) - m_box->verticalScrollBar()->value()) == qRgb(255, 255, 0);
        };
        const qreal right = columnWidth() - 3;
        QVERIFY(yellow(frame.left() + right, origin.y() + last.y() + last.height() / 2));
        QVERIFY(yellow(secondColumn() + right, origin.y() + next.y() + next.height() / 2));
        QVERIFY(!yellow(secondColumn() - Gap / 2 - 2, origin.y() + next.y() + next.height() / 2));
        QVERIFY(!yellow(frame.left() + right, frame.top() + BandHeight + 4));
        // Nor above its first line, where its layout's bounds reach up to the lines it
        // has at the top of column 2.
        QVERIFY(origin.y() + tl->lineAt(0).y() > frame.top() + 6);
        QVERIFY(!yellow(frame.left() + right, origin.y() + tl->lineAt(0).y() - 3));
    }

    // A paragraph that begins a column keeps its space before in the first band, and
    // loses it in the next ones, as at the top of a page.
    void spaceBeforeAtColumnTop()
    {
        make(BandHeight, 24, 700, 3);
        const QRectF frame = frameRect();
        QAbstractTextDocumentLayout *layout = m_box->document()->documentLayout();
        int tops = 0;
        for (QTextBlock b = m_frame->firstCursorPosition().block().next(); b.position() < m_frame->lastPosition();
             b = b.next()) {
            const QRectF r = layout->blockBoundingRect(b);
            const QRectF above = layout->blockBoundingRect(b.previous());
            if (r.left() == above.left())
                continue; // below another paragraph of its column
            const qreal bandTop = r.top() < frame.top() + BandHeight ? frame.top() : frame.top() + BandHeight;
            QCOMPARE(r.top() - bandTop, bandTop == frame.top() ? 8.0 : 0.0);
            ++tops;
        }
        QCOMPARE(tops, 3);
    }

    // A click on a word of column 2 puts the caret on it, where the text is; Up on
    // column 2's first line goes to column 1's last one, at the same place across it;
    // typing there.
    void caretFollowsColumns()
    {
        make(BandHeight, 6);
        int line = -1;
        const QTextBlock split = splitParagraph(&line);
        QVERIFY(split.isValid());
        const int target = split.position() + split.layout()->lineAt(line).textStart() + 3;
        const QRectF box = caretAt(target);
        caretAt(0);
        const QPoint click = QPointF(box.left() + 1, box.center().y() - m_box->verticalScrollBar()->value()).toPoint();
        QTest::mouseClick(m_box->viewport(), Qt::LeftButton, {}, click);
        QVERIFY(qAbs(m_box->textCursor().position() - target) <= 1);
        const QRectF clicked = m_box->cursorRect();
        QVERIFY(qAbs(clicked.left() - click.x()) < 8);
        QVERIFY(clicked.top() <= click.y() && clicked.bottom() >= click.y());

        QTest::keyClick(m_box.get(), Qt::Key_Up);
        const QTextLine previous = split.layout()->lineAt(line - 1);
        const int position = m_box->textCursor().position() - split.position();
        QVERIFY2(position >= previous.textStart() && position <= previous.textStart() + previous.textLength(),
                 qPrintable(QString::number(position)));
        const QRectF up = m_box->cursorRect();
        QVERIFY(up.left() < secondColumn() - Gap);
        QVERIFY(qAbs((up.left() - frameRect().left()) - (clicked.left() - secondColumn())) < 12);
        QTest::keyClick(m_box.get(), Qt::Key_Down);
        QVERIFY(qAbs(m_box->textCursor().position() - target) <= 2);
        // Typing there lays the frame out again as a fresh layout would.
        QTest::keyClicks(m_box.get(), words(QStringLiteral("typed"), 12));
        QTest::keyClick(m_box.get(), Qt::Key_Return);
        QTest::keyClick(m_box.get(), Qt::Key_Backspace, {}, 2);
        QTRY_VERIFY(m_box->isLaidOut());
        QCOMPARE(LayoutCheck::compareWithFresh(m_box->document(), 200, 3), QString());
    }

    // A paragraph that crosses the bottom of column 2 goes on in column 1 of the next
    // band: the caret on those lines stands there, by the text, and a click there
    // puts it where clicked.
    void caretInNextBand()
    {
        make(BandHeight, 12);
        QTextBlock split;
        int line = -1;
        for (QTextBlock b = m_frame->firstCursorPosition().block(); b.isValid() && b.position() < m_frame->lastPosition() && line < 0;
             b = b.next()) {
            for (int i = 1; i < b.layout()->lineCount(); ++i) {
                if (b.layout()->lineAt(i).x() < b.layout()->lineAt(0).x() - columnWidth()) {
                    split = b;
                    line = i;
                    break;
                }
            }
        }
        QVERIFY(split.isValid());
        const QTextLine moved = split.layout()->lineAt(line);
        const QPointF origin = m_box->document()->documentLayout()->blockBoundingRect(split).topLeft();
        const int target = split.position() + moved.textStart() + 3;
        caretAt(target);
        // The editor's own caret box (Qt's cursorRect() gives no x left of the
        // paragraph's first column).
        const QRectF box = m_box->caretRect().translated(0, m_box->verticalScrollBar()->value());
        // Three characters of "pNwM" into the line, right of the column's edge.
        QVERIFY2(box.left() > frameRect().left() + 5 && box.left() < frameRect().left() + 40,
                 qPrintable(QString::number(box.left())));
        QVERIFY(qAbs(box.top() - (origin.y() + moved.y())) < 2);
        caretAt(0);
        const QPoint click = QPointF(box.left() + 1, box.center().y() - m_box->verticalScrollBar()->value()).toPoint();
        QTest::mouseClick(m_box->viewport(), Qt::LeftButton, {}, click);
        QVERIFY(qAbs(m_box->textCursor().position() - target) <= 1);
        QVERIFY(qAbs(m_box->caretRect().left() - click.x()) < 8);
    }

    // Paragraphs kept with the next one and under widow control: typing in them lays
    // the columns out as a fresh layout does, no paragraph left with one line on
    // either side of a column's bottom.
    void keptParagraphsWhileTyping()
    {
        make(BandHeight, 8, 700, 25);
        QTextBlockFormat rules;
        rules.setProperty(LayoutProperty::KeepWithNext, true);
        rules.setProperty(LayoutProperty::WidowControl, true);
        QTextCursor c(m_frame->firstCursorPosition());
        c.setPosition(m_frame->lastPosition(), QTextCursor::KeepAnchor);
        c.mergeBlockFormat(rules);
        QTRY_VERIFY(m_box->isLaidOut());
        caretAt(m_frame->firstPosition() + 5);
        QTest::keyClicks(m_box.get(), words(QStringLiteral("typed"), 30));
        QTRY_VERIFY(m_box->isLaidOut());
        QCOMPARE(LayoutCheck::compareWithFresh(m_box->document(), 200, 3), QString());
        int line = -1;
        const QTextBlock split = splitParagraph(&line);
        QVERIFY(split.isValid());
        QVERIFY2(line >= 2 && split.layout()->lineCount() - line >= 2, qPrintable(QString::number(line)));
    }

    // Too narrow for two columns of any use: one column, the frame's whole width.
    void narrowShowsOneColumn()
    {
        make(BandHeight, 3, 260);
        for (QTextBlock b = m_frame->firstCursorPosition().block(); b.position() < m_frame->lastPosition(); b = b.next()) {
            for (int i = 1; i < b.layout()->lineCount(); ++i)
                QVERIFY(b.layout()->lineAt(i).y() > b.layout()->lineAt(i - 1).y());
        }
        QVERIFY(frameRect().height() > BandHeight);
    }

    // No band height: one band, its columns as even as the lines allow, a rule down
    // the middle of the gap as high as they are.
    void balancedWithoutHeight()
    {
        make(0, 3);
        const QRectF frame = frameRect();
        qreal bottom1 = 0, bottom2 = 0, lineHeight = 0;
        for (QTextBlock b = m_frame->firstCursorPosition().block(); b.position() < m_frame->lastPosition(); b = b.next()) {
            const QPointF origin = m_box->document()->documentLayout()->blockBoundingRect(b).topLeft();
            for (int i = 0; i < b.layout()->lineCount(); ++i) {
                const QTextLine l = b.layout()->lineAt(i);
                lineHeight = l.height();
                qreal &bottom = origin.x() + l.x() >= secondColumn() ? bottom2 : bottom1;
                bottom = qMax(bottom, origin.y() + l.y() + l.height() - frame.top());
            }
        }
        QVERIFY(bottom2 > 0);
        QVERIFY2(qAbs(bottom1 - bottom2) <= lineHeight + 8, qPrintable(QStringLiteral("%1 %2").arg(bottom1).arg(bottom2)));
        QVERIFY(qAbs(frame.height() - qMax(bottom1, bottom2)) < 1);
        const QImage shown = m_box->viewport()->grab().toImage();
        const int x = int(secondColumn() - Gap / 2);
        int ruled = 0;
        for (int y = int(frame.top()) - 10; y < int(frame.bottom()) + 10; ++y)
            ruled += qGray(shown.pixel(x, y)) < 160;
        QVERIFY2(qAbs(ruled - frame.height()) <= 2, qPrintable(QString::number(ruled)));
    }
};

QTEST_MAIN(TestColumns)
#include "tst_columns.moc"
