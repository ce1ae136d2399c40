#include "editing/module1.h"

#include "platform/richtextbox.h"
#include "platform/services.h"
#include "shell/form1.h"

namespace Module1 {

QString SearchText;

namespace {
RichTextBox *editor()
{
    Form1 *form = Form1::instance();
    return form ? form->RichTextBox1 : nullptr;
}
} // namespace

void CopySelection()
{
    RichTextBox *rtb = editor();
    if (!rtb)
        return;
    // Plain text only, and no clearing first: the clipboard holds the previous text
    // until the new one replaces it. A copy the clipboard refused leaves the document
    // and the clipboard as they were, so nothing is lost and nothing is reported.
    static_cast<void>(Services::clipboard().setText(rtb->selText()));
}

void CutSelection()
{
    RichTextBox *rtb = editor();
    if (!rtb)
        return;
    // The characters go only once the clipboard has them.
    if (Services::clipboard().setText(rtb->selText()))
        return;
    rtb->setSelText(QString());
}

void PasteText()
{
    RichTextBox *rtb = editor();
    if (!rtb)
        return;
    rtb->setSelText(Services::clipboard().text());
}

void FindText()
{
    RichTextBox *rtb = editor();
    if (!rtb)
        return;
    const QString s = SearchText;
    // The whole document, not only its first 4000 positions: an occurrence further
    // on is found like any other.
    const qsizetype found = rtb->text().indexOf(s, 0, Qt::CaseSensitive);
    if (found < 0) {
        Services::messageBoxes().show(QStringLiteral("Impossible de trouver ") + QLatin1Char('"') + s +
                                          QLatin1Char('"'),
                                      MessageBoxes::Ok, Services::applicationTitle());
        return;
    }
    rtb->setSelStart(int(found));
    rtb->setSelLength(int(s.size()));
}

} // namespace Module1
