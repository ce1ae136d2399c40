#pragma once

#include "base/failure.h"

#include <QTextEdit>

#include <memory>
#include <optional>

class BackgroundLayout;
class DocumentLayout;
namespace SoftBreaks {
class Map;
}

// A selection attribute reads True, False, or undetermined when the selection
// mixes both.
enum class TriState { False, True, Undetermined };

// What the style indicators and font displays show, read in one pass over the
// selection.
struct SelectionAttributes final
{
    TriState bold = TriState::False;
    TriState italic = TriState::False;
    TriState underline = TriState::False;
    TriState strikethru = TriState::False;
    std::optional<QString> fontName; // empty when the selection mixes fonts
    std::optional<double> fontSize;  // empty when the selection mixes sizes
};

// The document editor. Positions are counted the same way in text() and in the
// selection: one character per cursor position.
class RichTextBox final : public QTextEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RichTextBox)

public:
    explicit RichTextBox(QWidget *parent = nullptr);
    ~RichTextBox() override;

    QString text() const;
    void setText(const QString &text);

    int selStart() const;
    void setSelStart(int start);
    int selLength() const;
    void setSelLength(int length);
    QString selText() const;
    void setSelText(const QString &text);

    SelectionAttributes selectionAttributes() const;
    TriState selBold() const { return selectionAttributes().bold; }
    TriState selItalic() const { return selectionAttributes().italic; }
    TriState selUnderline() const { return selectionAttributes().underline; }
    TriState selStrikethru() const { return selectionAttributes().strikethru; }
    std::optional<QString> selFontName() const { return selectionAttributes().fontName; }
    std::optional<double> selFontSize() const { return selectionAttributes().fontSize; }

    void setSelBold(bool on);
    void setSelItalic(bool on);
    void setSelUnderline(bool on);
    void setSelStrikethru(bool on);
    void setSelColor(quint32 colorInt);
    void setSelFontName(const QString &name);

    // Replaces the whole content with the file's, in one change. On failure the
    // document is left exactly as it was.
    Failure loadFile(const QString &path);

    // The layout of the document shown, and whether all of it is laid out.
    DocumentLayout *documentLayout() const;
    bool isLaidOut() const;

    // Where the caret is drawn, in the viewport's coordinates: as high as the box of
    // its line, which the view scrolls to show (Qt's cursorRect() is as high as Qt's
    // own line rectangle, taller than the line's pitch under word processors' heights).
    QRectF caretRect() const;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    // Whether the text control's requests to show and to paint reach the editor's
    // own answers (showPart, paintPart) instead of QTextEdit's.
    bool answersTextControl() const { return m_answersControl; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void insertFromMimeData(const QMimeData *source) override;
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    QMimeData *createMimeDataFromSelection() const override;

signals:
    // Raised for every change of the content, before the operation that made it
    // returns.
    void change();

private slots:
    // The text control's requests to show and to paint a part of the document, sized
    // by Qt's line rectangles: the caret's is shown as high as its line's box, and a
    // part painted again reaches the boxes of the lines at its edges.
    void showPart(const QRectF &rect);
    void paintPart(const QRectF &rect);

private:
    // Takes the text control's signal from QTextEdit's slot to ours. Both sides are
    // Qt's private names, found by the meta-object system: a Qt without them leaves
    // QTextEdit's own answers in place, which answersTextControl() tells.
    bool answerTextControl(QObject *control, const char *signal, const char *qtSlot, const char *slot);
    // What QTextEdit does with a request, done with public calls: the scroll bars
    // moved to show a rectangle of the document, a rectangle of it painted again.
    void scrollToShow(const QRectF &rect);
    void repaintDocumentRect(const QRectF &rect);
    // The view's left edge in the document, counted from the right in a right-to-left editor.
    int horizontalOffset() const;
    // The box of the line holding position, with the caret's x, in the document's coordinates.
    QRectF lineBoxAt(int position) const;
    void mergeFormat(const QTextCharFormat &format);
    // Gives a document the editor's own layout.
    void adoptDocument(QTextDocument *document);

    // Where the display's soft breaks are; made when asked for, dropped at each change.
    const SoftBreaks::Map &softBreaks() const;
    void forgetSoftBreaks();
    // Keeps the view on its text while what lies above it changes height.
    void followShift(qreal dy);
    // The steps of keyPressEvent(), each true when it took the key: a word deleted or
    // crossed, a selection replaced among pieces, a paragraph begun or joined at a
    // soft break; Up and Down kept in their columns.
    bool wordKey(QKeyEvent *event);
    bool replaceSelectionInPieces(QKeyEvent *event);
    bool pieceKey(QKeyEvent *event);
    void verticalKey(QKeyEvent *event);
    // Moves the caret out of a structural block (ParagraphLayout::isStructural).
    void stepOverStructural();
    // A view that shows the document's end keeps showing it while heights become known.
    void noteEnd();
    void keepEnd();
    void forgetEnd();
    // Moves the view without scrolling what the viewport shows.
    void moveViewQuietly(int value);

    BackgroundLayout *m_background = nullptr;
    mutable std::unique_ptr<SoftBreaks::Map> m_softBreaks;
    qreal m_drift = 0; // the part of a pixel the view did not move by
    bool m_dragging = false; // a drag is over the editor: files are taken by content
    int m_caret = 0;   // where the caret was last, outside structural blocks
    int m_unscrolled = 0; // what the view moved by quietly since the scroll area last scrolled
    QMetaObject::Connection m_endWatch; // the document's changes that move the end
    int m_fromEnd = -1; // how far the view is from the scroll range's end when it shows the document's end
    bool m_answersControl = false;
};
