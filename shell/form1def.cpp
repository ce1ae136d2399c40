#include "shell/form1def.h"

#include <iterator>

namespace {

using K = ControlKind;
using S = ShapeStyle;
using namespace ControlFlag;

constexpr quint32 Blue = 0x00BE9825;      // borders, lines, links, the title
constexpr quint32 DarkPanel = 0x00EBD798; // darker panels, the glyph buttons
constexpr quint32 LightPanel = 0x00F8F1DC;
constexpr quint32 TitleStrip = 0x00F7F1DB;
constexpr quint32 White = 0x00FFFFFF;

constexpr FontDef Bold825 = {"MS Sans Serif", 8.25, true};
constexpr FontDef Glyph = {"Webdings", 8.25, false};

constexpr ControlDef swatch(const char *name, quint32 color, int left, int top, int width, int height, int tab)
{
    return {.name = name, .kind = K::PictureBox, .left = left, .top = top, .width = width, .height = height,
            .backColor = color, .cursor = CursorKind::Hand, .tabIndex = tab};
}

constexpr ControlDef shape(const char *name, S style, int left, int top, int width, int height, quint32 fill)
{
    return {.name = name, .kind = K::Shape, .left = left, .top = top, .width = width, .height = height,
            .backColor = fill, .foreColor = Blue, .shape = style};
}

constexpr ControlDef image(const char *name, int left, int top, int width, int height, const char *picture,
                           CursorKind cursor = CursorKind::Arrow, unsigned flags = 0)
{
    return {.name = name, .kind = K::Image, .left = left, .top = top, .width = width, .height = height,
            .picture = picture, .cursor = cursor, .flags = flags};
}

constexpr ControlDef line(const char *name, int x1, int y1, int x2, int y2)
{
    return {.name = name, .kind = K::Line, .left = x1, .top = y1, .width = x2, .height = y2, .foreColor = Blue};
}

constexpr ControlDef glyph(const char *name, int left, const char *caption, quint32 text, unsigned flags = 0)
{
    return {.name = name, .kind = K::Label, .left = left, .top = 0, .width = 255, .height = 255,
            .backColor = DarkPanel, .foreColor = text, .caption = caption, .font = Glyph,
            .flags = Centred | flags};
}

// Front to back.
constexpr ControlDef controls[] = {
    {.name = "Picture18", .kind = K::PictureBox, .left = 2760, .top = 1560, .width = 3495, .height = 15,
     .backColor = Blue, .tabIndex = 29},
    {.name = "Text1", .kind = K::TextBox, .left = 2900, .top = 1320, .width = 2260, .height = 255,
     .backColor = LightPanel, .foreColor = Blue, .tabIndex = 28},
    swatch("Picture12", 0x0044EECC, 7920, 960, 200, 200, 18),
    swatch("Picture10", 0x00C0FFFF, 7440, 720, 200, 200, 12),
    swatch("Picture5", 0x00E0E0E0, 8520, 960, 200, 200, 19),
    swatch("Picture6", 0x008080FF, 6840, 1080, 200, 200, 20),
    swatch("Picture17", 0x00FEDFB1, 7680, 1080, 200, 200, 22),
    swatch("Picture16", 0x0080FFFF, 7320, 1080, 200, 200, 21),
    swatch("Picture15", 0x0080C0FF, 7080, 960, 200, 200, 17),
    swatch("Picture14", 0x0000C000, 8160, 1080, 200, 200, 23),
    swatch("Picture1", 0x00000000, 9000, 1080, 195, 200, 24),
    swatch("Picture2", 0x00404040, 8760, 1200, 195, 200, 26),
    swatch("Picture3", 0x00808080, 8400, 1200, 195, 200, 25),
    swatch("Picture4", 0x00C0C0C0, 8880, 840, 200, 195, 16),
    swatch("Picture11", 0x00EBD798, 7920, 720, 200, 200, 13),
    swatch("Picture13", 0x00BE9825, 8160, 840, 195, 195, 15),
    swatch("Picture7", 0x00C0FFC0, 7680, 840, 200, 200, 14),
    swatch("Picture8", 0x00C0C0FF, 6840, 720, 200, 200, 10),
    swatch("Picture9", 0x00C0E0FF, 7200, 720, 200, 200, 11),
    {.name = "Timer1", .kind = K::Timer, .interval = 100},
    {.name = "Timer2", .kind = K::Timer, .interval = 100},
    {.name = "Timer4", .kind = K::Timer, .flags = Enabled, .interval = 1},
    {.name = "Command1", .kind = K::CommandButton, .left = 1200, .top = 1320, .width = 375, .height = 195,
     .caption = "Command1", .flags = Hidden | Disabled, .tabIndex = 0},
    {.name = "CommonDialog1", .kind = K::CommonDialog},
    {.name = "RichTextBox1", .kind = K::RichTextBox, .left = 135, .top = 1570, .width = 9225, .height = 4500,
     .flags = GivesWay, .tabIndex = 1},
    line("Line4", 5160, 1320, 5160, 1680),
    {.name = "Label9", .kind = K::Label, .left = 5280, .top = 1320, .width = 975, .height = 255,
     .foreColor = Blue, .caption = "Rechercher", .cursor = CursorKind::Hand, .flags = Transparent},
    {.name = "Shape266", .kind = K::Shape, .left = 120, .top = 1560, .width = 9255, .height = 4530,
     .backColor = White, .foreColor = Blue, .flags = GivesWay, .shape = S::Rectangle},
    {.name = "Label8", .kind = K::Label, .left = 4800, .top = 960, .width = 375, .height = 255,
     .foreColor = ButtonText, .flags = Transparent | SingleLine},
    {.name = "Label2", .kind = K::Label, .left = 3120, .top = 960, .width = 1575, .height = 255,
     .foreColor = ButtonText, .font = {"News Gothic", 8.25, false}, .flags = Transparent | SingleLine},
    {.name = "Label1", .kind = K::Label, .left = 2400, .top = 960, .width = 735, .height = 255,
     .foreColor = Blue, .caption = "Police...", .font = Bold825, .flags = Transparent},
    image("Image3", 120, 0, 480, 480, ":/art/P1.png"),
    image("Image18", 240, 360, 1485, 945, ":/art/P2.png"),
    line("Line3", 9480, 0, 3840, 0),
    line("Line2", 5280, 240, 9480, 240),
    {.name = "Shape12", .kind = K::Shape, .left = 0, .top = 0, .width = 9510, .height = 6195,
     .backColor = NoColor, .foreColor = Blue, .flags = GivesWay, .shape = S::Rectangle},
    image("Image9", 2280, 600, 165, 195, ":/art/P3.png", CursorKind::Hand),
    image("Image4", 8040, 0, 555, 240, ":/art/P4.png", CursorKind::Arrow, Stretch),
    line("Line1", 0, 0, 2040, 0),
    image("Image1", 240, 360, 1395, 735, ":/art/P5.png"),
    glyph("Label4", 8520, "0", 0x00000000),
    glyph("Label6", 8760, "1", ButtonText),
    glyph("Label7", 9000, "2", ButtonText, Disabled),
    shape("Shape6", S::Circle, 5640, 600, 135, 135, LightPanel),
    shape("Shape5", S::Circle, 5835, 600, 255, 135, LightPanel),
    shape("Shape3", S::Circle, 6135, 600, 135, 135, LightPanel),
    shape("Shape4", S::Circle, 6390, 600, 135, 135, LightPanel),
    image("Image16", 5880, 810, 135, 135, ":/art/P6.png", CursorKind::Hand),
    image("Image14", 6360, 810, 240, 105, ":/art/P7.png", CursorKind::Hand),
    image("Image13", 6120, 795, 135, 165, ":/art/P8.png", CursorKind::Hand),
    image("Image12", 5640, 810, 135, 135, ":/art/P9.png", CursorKind::Hand),
    image("Image11", 4680, 600, 240, 240, ":/art/P10.png", CursorKind::Hand),
    image("Image10", 4200, 600, 240, 240, ":/art/P11.png", CursorKind::Hand),
    image("Image5", 3840, 600, 240, 240, ":/art/P12.png", CursorKind::Hand),
    image("Image8", 3360, 600, 240, 240, ":/art/P13.png", CursorKind::Hand),
    image("Image7", 3000, 600, 240, 240, ":/art/P14.png", CursorKind::Hand),
    image("Image6", 2640, 600, 240, 240, ":/art/P15.png", CursorKind::Hand),
    {.name = "Label26", .kind = K::Label, .left = 8280, .top = 480, .width = 735, .height = 255,
     .foreColor = Blue, .caption = "Couleur", .font = Bold825, .cursor = CursorKind::Hand,
     .flags = Transparent},
    glyph("Label5", 9240, "r", 0x00000000),
    shape("Shape7", S::RoundedRectangle, 5520, 480, 1215, 735, DarkPanel),
    {.name = "Label3", .kind = K::Label, .left = 600, .top = 0, .width = 7095, .height = 255,
     .foreColor = Blue, .caption = "orvo ...", .font = {"MS Sans Serif", 9.75, false}, .flags = Transparent},
    shape("Shape56", S::Rectangle, 0, 0, 9510, 255, TitleStrip),
    shape("Shape2", S::RoundedRectangle, 120, 0, 1695, 1335, DarkPanel),
    shape("Shape8", S::RoundedRectangle, 2160, 480, 3015, 735, DarkPanel),
    shape("Shape9", S::RoundedRectangle, 2040, 600, 615, 735, LightPanel),
    shape("Shape10", S::RoundedRectangle, 5400, 600, 615, 495, LightPanel),
    shape("Shape14", S::RoundedRectangle, 2880, 1305, 3375, 615, DarkPanel),
    shape("Shape15", S::RoundedRectangle, 2760, 1440, 495, 735, DarkPanel),
    shape("Shape11", S::RoundedRectangle, 6480, 360, 2775, 1140, LightPanel),
};

using A = AccessRole;

// Names for assistive technology and tooltips of the pictures. A label that shows
// its command as text is named by that text. The printer picture does nothing, so
// it is offered as nothing; a lamp is its toggle's picture, whose checked state the
// toggle carries, and no control of its own.
constexpr AccessDef access[] = {
    {"Label4", A::Button, "Réduire"},
    {"Label6", A::Button, "Agrandir"},
    {"Label7", A::Button, "Restaurer"},
    {"Label5", A::Button, "Fermer"},
    {"Image9", A::Button, "Nouveau document", "Nouveau document"},
    {"Image6", A::Button, "Ouvrir", "Ouvrir un document"},
    {"Image7", A::Button, "Enregistrer", "Enregistrer le document"},
    {"Image5", A::Button, "Coller", "Coller"},
    {"Image10", A::Button, "Copier", "Copier"},
    {"Image11", A::Button, "Couper", "Couper"},
    {"Label1", A::Button, "Police"},
    {"Label2", A::Display, "Police de la sélection"},
    {"Label8", A::Display, "Taille de la sélection"},
    {"Image12", A::Toggle, "Gras", "Gras", "Shape6"},
    {"Image16", A::Toggle, "Italique", "Italique", "Shape5"},
    {"Image13", A::Toggle, "Souligné", "Souligné", "Shape3"},
    {"Image14", A::Toggle, "Barré", "Barré", "Shape4"},
    {"Label26", A::Button, "Couleur"},
    {"Picture1", A::Button, "Couleur : noir"},
    {"Picture2", A::Button, "Couleur : gris foncé"},
    {"Picture3", A::Button, "Couleur : gris"},
    {"Picture4", A::Button, "Couleur : gris clair"},
    {"Picture5", A::Button, "Couleur : gris très clair"},
    {"Picture6", A::Button, "Couleur : rose saumon"},
    {"Picture7", A::Button, "Couleur : vert pâle"},
    {"Picture8", A::Button, "Couleur : rose pâle"},
    {"Picture9", A::Button, "Couleur : pêche"},
    {"Picture10", A::Button, "Couleur : jaune pâle"},
    {"Picture11", A::Button, "Couleur : bleu ciel"},
    {"Picture12", A::Button, "Couleur : vert anis"},
    {"Picture13", A::Button, "Couleur : bleu"},
    {"Picture14", A::Button, "Couleur : vert"},
    {"Picture15", A::Button, "Couleur : orange clair"},
    {"Picture16", A::Button, "Couleur : jaune clair"},
    {"Picture17", A::Button, "Couleur : bleu pâle"},
    {"Text1", A::Field, "Texte à rechercher"},
    {"Label9", A::Button, "Rechercher"},
    {"RichTextBox1", A::Field, "Document"},
};

// Every command in the window's visual order: the title strip's glyphs, the toolbar
// and the style toggles from left to right (the printer does nothing), the font and
// colour commands, the palette row by row from left to right, the search row, and
// last the editor, which Tab types into and Ctrl+Tab leaves.
constexpr const char *ring[] = {"Label4", "Label6", "Label7", "Label5",
                                "Image9", "Image6", "Image7", "Image5", "Image10", "Image11",
                                "Image12", "Image16", "Image13", "Image14",
                                "Label1", "Label26",
                                "Picture8", "Picture9", "Picture10", "Picture11",
                                "Picture7", "Picture13", "Picture4",
                                "Picture15", "Picture12", "Picture5",
                                "Picture6", "Picture16", "Picture17", "Picture14", "Picture1",
                                "Picture3", "Picture2",
                                "Text1", "Label9", "RichTextBox1"};

constexpr FormDef form1 = {.caption = "Orvo...", .width = 9510, .height = 6195, .backColor = White,
                           .controls = controls, .controlCount = int(std::size(controls)),
                           .access = access, .accessCount = int(std::size(access)),
                           .ring = ring, .ringCount = int(std::size(ring))};

} // namespace

const FormDef &form1Definition() { return form1; }
