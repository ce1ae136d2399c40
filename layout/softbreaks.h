#pragma once

#include <QString>
#include <QTextFormat>

#include <vector>

class QTextBlock;
class QTextBlockFormat;
class QTextCursor;
class QTextDocument;

// A paragraph too long for the text engine (Qt lays a paragraph out whole, keeps
// per-character data for all of it, and overflows on a few hundred million
// characters) is shown in pieces. Each piece but the last ends with a block
// separator that is not part of the text: a soft break. The block after a soft break
// carries Mark in its format. The editor leaves soft breaks out of its text, of the
// positions of its selection and of what it copies and saves, so that no character
// is added or lost by the pieces.
namespace SoftBreaks {

// Longer paragraphs are shown in pieces of about PieceLength characters.
constexpr int MaxParagraph = 64 * 1024;
constexpr int PieceLength = 16 * 1024;
constexpr auto Mark = QTextFormat::Property(QTextFormat::UserProperty + 0x5B0F);

bool isContinuation(const QTextBlock &block);
// The format of a real paragraph begun inside a piece: the piece's, unmarked.
QTextBlockFormat realFormat(const QTextBlockFormat &format);

// Splits the too long paragraphs among the blocks numbered first to last, within the
// cursor's edit block. Returns the number of soft breaks made.
int split(QTextCursor &cursor, int first, int last);

// Inserts plain text at the cursor, replacing its selection, the way the editor does:
// line ends become real paragraphs (never marked, whatever piece they are typed in),
// and what grows too long is split. One edit block.
void insertPlainText(QTextCursor &cursor, const QString &text);

// Where the soft breaks of a document are, and the separators of its structural
// blocks (ParagraphLayout::isStructural), which are no more part of the text than soft
// breaks: document positions and text positions (the ones the editor reports) in
// both directions. A text position where a separator was left out stands for the
// document position after it.
class Map final
{
public:
    explicit Map(const QTextDocument *document);
    bool isEmpty() const { return m_breaks.empty(); }
    int toText(int documentPosition) const;
    int toDocument(int textPosition) const;
    // The raw text of the document from position from on, without its soft breaks
    // (the very string when it has none).
    QString strip(QString raw, int from) const;

private:
    std::vector<int> m_breaks; // positions of the separators left out, ascending
};

} // namespace SoftBreaks
