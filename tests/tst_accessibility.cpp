// The windows as assistive technology finds them: every clickable control a button
// with a French name where it lies on the screen, pressed through the accessibility
// action as by a click, its actions named in French too; the style toggles checked
// while their lamps show their style, the lamps no controls of their own; the
// displays and the question read as text (tst_atspi hears their changes); the prompts named
// by their question, one button for each answer; nothing unnamed; French tooltips on
// the pictures.
#include "editingfixture.h"

#include "document/form2.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QSignalSpy>
#include <QToolTip>

namespace {

// The accessible children of a window, by name; the first of each name.
QAccessibleInterface *childNamed(QWidget *window, const QString &name)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(window);
    for (int i = 0; iface && i < iface->childCount(); ++i) {
        QAccessibleInterface *child = iface->child(i);
        if (child && child->text(QAccessible::Name) == name)
            return child;
    }
    return nullptr;
}

// The names of the shown children in a role, in reading order.
QStringList childNames(QWidget *window, QAccessible::Role role)
{
    QStringList names;
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(window);
    for (int i = 0; iface && i < iface->childCount(); ++i) {
        QAccessibleInterface *child = iface->child(i);
        if (child->role() == role && !child->state().invisible)
            names << child->text(QAccessible::Name);
    }
    return names;
}

// The Click events a window raised while the spy listened.
QStringList clicks(const QSignalSpy &spy)
{
    QStringList names;
    for (const QList<QVariant> &event : spy) {
        if (event.at(1).toString() == QLatin1String("Click"))
            names << event.at(0).toString();
    }
    return names;
}

} // namespace

class tst_Accessibility final : public QObject
{
    Q_OBJECT

private slots:
    void init() { fx.setUp(); }
    void cleanup()
    {
        delete Form2::current();
        fx.tearDown();
    }

    void everyClickableControlIsANamedButton_data();
    void everyClickableControlIsANamedButton();
    void onlyClickableControlsAreButtons();
    void togglesReportTheirStyle();
    void displaysReadTheirText();
    void actionsHaveFrenchNames();
    void promptAnswersAreButtons();
    void picturesShowFrenchTooltips_data();
    void picturesShowFrenchTooltips();

private:
    EditingFixture fx;
};

void tst_Accessibility::everyClickableControlIsANamedButton_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    const QList<QPair<const char *, const char *>> rows = {
        {"Label4", "Réduire"},
        {"Label6", "Agrandir"},
        {"Label5", "Fermer"},
        {"Image9", "Nouveau document"},
        {"Image6", "Ouvrir"},
        {"Image7", "Enregistrer"},
        {"Image5", "Coller"},
        {"Image10", "Copier"},
        {"Image11", "Couper"},
        {"Label1", "Police"},
        {"Image12", "Gras"},
        {"Image16", "Italique"},
        {"Image13", "Souligné"},
        {"Image14", "Barré"},
        {"Label26", "Couleur"},
        {"Label9", "Rechercher"},
        {"Picture1", "Couleur : noir"},
        {"Picture2", "Couleur : gris foncé"},
        {"Picture3", "Couleur : gris"},
        {"Picture4", "Couleur : gris clair"},
        {"Picture5", "Couleur : gris très clair"},
        {"Picture6", "Couleur : rose saumon"},
        {"Picture7", "Couleur : vert pâle"},
        {"Picture8", "Couleur : rose pâle"},
        {"Picture9", "Couleur : pêche"},
        {"Picture10", "Couleur : jaune pâle"},
        {"Picture11", "Couleur : bleu ciel"},
        {"Picture12", "Couleur : vert anis"},
        {"Picture13", "Couleur : bleu"},
        {"Picture14", "Couleur : vert"},
        {"Picture15", "Couleur : orange clair"},
        {"Picture16", "Couleur : jaune clair"},
        {"Picture17", "Couleur : bleu pâle"},
    };
    for (const auto &row : rows)
        QTest::newRow(row.first) << QString::fromLatin1(row.first) << QString::fromUtf8(row.second);
}

// Found by its name, it is a button where the control lies; a screen reader's hit
// test at its middle finds it; its press action reaches the control's Click.
void tst_Accessibility::everyClickableControlIsANamedButton()
{
    QFETCH(QString, control);
    QFETCH(QString, name);
    QAccessibleInterface *button = childNamed(fx.form.get(), name);
    QVERIFY(button);
    // The style toggles stay pressed while their style is on: check boxes, as Qt
    // offers such buttons.
    const bool toggle = QStringList{"Image12", "Image16", "Image13", "Image14"}.contains(control);
    QCOMPARE(button->role(), toggle ? QAccessible::CheckBox : QAccessible::Button);
    QVERIFY(!button->state().disabled);
    QVERIFY(!button->state().invisible);
    const Control &c = fx.form->control(control.toLatin1().constData());
    const QRect onScreen(fx.form->mapToGlobal(c.boxPixels().topLeft()), c.boxPixels().size());
    QCOMPARE(button->rect(), onScreen);
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(fx.form.get());
    const QPoint middle = onScreen.center();
    QCOMPARE(window->childAt(middle.x(), middle.y()), button);
    QCOMPARE(button->parent(), window);
    QCOMPARE(window->child(window->indexOfChild(button)), button);

    QAccessibleActionInterface *actions = button->actionInterface();
    QVERIFY(actions);
    QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    // The handlers that show a dialog get a cancel from the script.
    QSignalSpy spy(fx.form.get(), &FormWindow::eventRaised);
    actions->doAction(QAccessibleActionInterface::pressAction());
    QTRY_COMPARE(clicks(spy), QStringList{control});
    if (control == QLatin1String("Label4") || control == QLatin1String("Label6"))
        fx.form->showNormal();
}

void tst_Accessibility::onlyClickableControlsAreButtons()
{
    // The printer picture does nothing and is offered as nothing; the hidden button
    // that holds the modified flag is not shown; the restore glyph is a button,
    // disabled while the window is not maximized.
    QCOMPARE(childNames(fx.form.get(), QAccessible::Button).size(), 30);
    // Neither the hidden button nor the search field's underline is offered at all.
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(fx.form.get());
    for (int i = 0; i < window->childCount(); ++i) {
        QObject *object = window->child(i)->object();
        QVERIFY(!object || (object != fx.form->control("Command1").widget() &&
                            object != fx.form->control("Picture18").widget()));
        QVERIFY(!window->child(i)->text(QAccessible::Name).isEmpty());
    }
    const QPoint printer = fx.form->mapToGlobal(fx.form->control("Image8").boxPixels().center());
    QCOMPARE(QAccessible::queryAccessibleInterface(fx.form.get())->childAt(printer.x(), printer.y()), nullptr);
    QAccessibleInterface *restore = childNamed(fx.form.get(), QStringLiteral("Restaurer"));
    QAccessibleInterface *maximize = childNamed(fx.form.get(), QStringLiteral("Agrandir"));
    QVERIFY(restore->state().disabled);
    fx.click("Label6");
    QVERIFY(!restore->state().disabled);
    QVERIFY(maximize->state().disabled);
}

void tst_Accessibility::togglesReportTheirStyle()
{
    // The lamps are the toggles' pictures: no check boxes of their own.
    const QStringList toggles = {"Gras", "Italique", "Souligné", "Barré"};
    const char *lamps[] = {"Shape6", "Shape5", "Shape3", "Shape4"};
    QCOMPARE(childNames(fx.form.get(), QAccessible::CheckBox), toggles);
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(fx.form.get());
    for (int i = 0; i < window->childCount(); ++i)
        QVERIFY(!window->child(i)->text(QAccessible::Name).startsWith(QLatin1String("Témoin")));
    // The toggles checked as the lamps show.
    auto checked = [&] {
        QList<bool> states;
        for (qsizetype i = 0; i < toggles.size(); ++i) {
            const QAccessible::State toggle = childNamed(fx.form.get(), toggles[i])->state();
            if (!toggle.checkable || toggle.readOnly || toggle.checked != fx.form->control(lamps[i]).isLampOn())
                return QList<bool>{};
            states << bool(toggle.checked);
        }
        return states;
    };
    QTRY_COMPARE(checked(), (QList<bool>{false, false, false, false}));
    fx.append(QStringLiteral("Bonjour"));
    fx.select(0, 7);
    fx.click("Image12");
    fx.click("Image13");
    QTRY_COMPARE(checked(), (QList<bool>{true, false, true, false}));
    fx.click("Image12");
    QTRY_COMPARE(checked(), (QList<bool>{false, false, true, false}));
}

void tst_Accessibility::displaysReadTheirText()
{
    QTextCharFormat format;
    format.setFontFamilies({QStringLiteral("DejaVu Sans Condensed")});
    format.setFontPointSize(10.5);
    fx.append(QStringLiteral("Bonjour"), format);
    fx.select(0, 7);
    QAccessibleInterface *name = childNamed(fx.form.get(), QStringLiteral("Police de la sélection"));
    QAccessibleInterface *size = childNamed(fx.form.get(), QStringLiteral("Taille de la sélection"));
    QVERIFY(name && size);
    QCOMPARE(name->role(), QAccessible::StaticText);
    // The whole name, also where the display shows only its beginning.
    QTRY_COMPARE(name->text(QAccessible::Value), QStringLiteral("DejaVu Sans Condensed"));
    QCOMPARE(size->text(QAccessible::Value), fx.form->control("Label8").caption());
    // And as text, which is how screen readers read a label.
    QVERIFY(name->textInterface() && size->textInterface());
    QCOMPARE(name->textInterface()->text(0, -1), QStringLiteral("DejaVu Sans Condensed"));
    QCOMPARE(name->textInterface()->characterCount(), 21);
    QCOMPARE(name->textInterface()->text(7, 11), QStringLiteral("Sans"));
    QCOMPARE(size->textInterface()->text(0, -1), fx.form->control("Label8").caption());
    QVERIFY(!name->actionInterface());
    QCOMPARE(childNamed(fx.form.get(), QStringLiteral("Texte à rechercher"))->role(), QAccessible::EditableText);
    QCOMPARE(childNamed(fx.form.get(), QStringLiteral("Document"))->role(), QAccessible::EditableText);
}

void tst_Accessibility::actionsHaveFrenchNames()
{
    // Beside the standard names assistive technology works them by.
    QAccessibleActionInterface *open = childNamed(fx.form.get(), QStringLiteral("Ouvrir"))->actionInterface();
    QCOMPARE(open->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
    QCOMPARE(open->localizedActionName(QAccessibleActionInterface::pressAction()), QStringLiteral("Appuyer"));
    QCOMPARE(open->localizedActionDescription(QAccessibleActionInterface::pressAction()),
             QStringLiteral("Actionne la commande"));
    QAccessibleActionInterface *bold = childNamed(fx.form.get(), QStringLiteral("Gras"))->actionInterface();
    QCOMPARE(bold->actionNames(),
             (QStringList{QAccessibleActionInterface::toggleAction(), QAccessibleActionInterface::pressAction()}));
    QCOMPARE(bold->localizedActionName(QAccessibleActionInterface::toggleAction()), QStringLiteral("Basculer"));
    QAccessibleActionInterface *swatch =
        childNamed(fx.form.get(), QStringLiteral("Couleur : noir"))->actionInterface();
    QCOMPARE(swatch->localizedActionName(QAccessibleActionInterface::pressAction()), QStringLiteral("Appuyer"));
    QCOMPARE(swatch->localizedActionName(QAccessibleActionInterface::setFocusAction()),
             QStringLiteral("Donner le focus"));
}

void tst_Accessibility::promptAnswersAreButtons()
{
    QPointer<Form2> prompt = Form2::showPrompt();
    QVERIFY(QTest::qWaitForWindowExposed(prompt));
    const QString question = QStringLiteral("Voulez-vous enregsiter le document en cours ?");
    // Named by its question; its caption stays the one defined.
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(prompt);
    QCOMPARE(window->text(QAccessible::Name), question);
    QCOMPARE(prompt->caption(), QStringLiteral("Form2"));
    // Each answer once: the word and its picture are one button over both.
    QCOMPARE(childNames(prompt, QAccessible::Button), (QStringList{"Oui", "Non", "Annuler"}));
    QCOMPARE(childNames(prompt, QAccessible::StaticText), QStringList{question});
    for (const char *picture : {"Image3", "Image2"}) {
        const Control &c = prompt->control(picture);
        const Control &word = *c.owner();
        const QPoint middle = prompt->mapToGlobal(c.boxPixels().center());
        QAccessibleInterface *hit = window->childAt(middle.x(), middle.y());
        QVERIFY(hit);
        QCOMPARE(hit->text(QAccessible::Name), word.accessibleName());
        QCOMPARE(hit->rect(), QRect(prompt->mapToGlobal(word.boxPixels().united(c.boxPixels()).topLeft()),
                                    word.boxPixels().united(c.boxPixels()).size()));
    }
    childNamed(prompt, QStringLiteral("Annuler"))->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_VERIFY(prompt.isNull());
}

void tst_Accessibility::picturesShowFrenchTooltips_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("tip");
    QTest::newRow("new") << "Image9" << "Nouveau document";
    QTest::newRow("open") << "Image6" << "Ouvrir un document";
    QTest::newRow("save") << "Image7" << "Enregistrer le document";
    QTest::newRow("paste") << "Image5" << "Coller";
    QTest::newRow("copy") << "Image10" << "Copier";
    QTest::newRow("cut") << "Image11" << "Couper";
    QTest::newRow("bold") << "Image12" << "Gras";
    QTest::newRow("italic") << "Image16" << "Italique";
    QTest::newRow("underline") << "Image13" << "Souligné";
    QTest::newRow("strike") << "Image14" << "Barré";
    QTest::newRow("font link: its text says it") << "Label1" << "";
    QTest::newRow("logo") << "Image18" << "";
}

void tst_Accessibility::picturesShowFrenchTooltips()
{
    QFETCH(QString, control);
    QFETCH(QString, tip);
    const QPoint at = fx.form->control(control.toLatin1().constData()).boxPixels().center();
    QHelpEvent event(QEvent::ToolTip, at, fx.form->mapToGlobal(at));
    QApplication::sendEvent(fx.form.get(), &event);
    if (tip.isEmpty()) {
        QTRY_VERIFY(!QToolTip::isVisible());
    } else {
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), tip);
    }
    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());
}

QTEST_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"
