#pragma once

#include <QtGlobal>

// A window is declared as data: one row per control, front to back (the first row
// is the frontmost). Boxes are in twips; a line's box holds its two end points.

enum class ControlKind {
    Label,
    Image,
    Shape,
    Line,
    PictureBox,
    TextBox,
    CommandButton,
    Timer,
    RichTextBox,
    CommonDialog,
};

enum class ShapeStyle { Rectangle, RoundedRectangle, Circle };
enum class CursorKind { Arrow, Hand };

struct FontDef
{
    const char *family = "MS Sans Serif";
    double points = 8.25;
    bool bold = false;
};

constexpr quint32 NoColor = 0xFFFFFFFFu;
constexpr quint32 ButtonText = 0x80000012u; // a label's default text colour

namespace ControlFlag {
constexpr unsigned Transparent = 1u << 0; // a label that draws only its text
constexpr unsigned Centred = 1u << 1;
constexpr unsigned Stretch = 1u << 2;     // an image stretched to its box
constexpr unsigned Hidden = 1u << 3;
constexpr unsigned Disabled = 1u << 4;
constexpr unsigned Enabled = 1u << 5;     // a timer that runs from the start
constexpr unsigned SingleLine = 1u << 6;  // a label that elides its caption on one line
// Its bottom edge gives way when the window is shorter than defined (a screen too
// small for it): the editor and the frames round it.
constexpr unsigned GivesWay = 1u << 7;
} // namespace ControlFlag

struct ControlDef
{
    const char *name = "";
    ControlKind kind = ControlKind::Label;
    int left = 0;   // a line: x1
    int top = 0;    // a line: y1
    int width = 0;  // a line: x2
    int height = 0; // a line: y2
    quint32 backColor = NoColor; // label or picture box back colour, shape fill
    quint32 foreColor = NoColor; // label or text box text, shape border, line colour
    const char *caption = "";
    FontDef font = {};
    const char *picture = nullptr; // resource path
    CursorKind cursor = CursorKind::Arrow;
    unsigned flags = 0;
    ShapeStyle shape = ShapeStyle::Rectangle;
    int tabIndex = -1;
    int interval = 0; // timers, in milliseconds
};

// What assistive technology is told about a control: what it is, its French name,
// and the tooltip a drawn picture shows.
enum class AccessRole {
    Button,  // clickable: pressed through the accessibility action as by a click
    Toggle,  // a style toggle: a button, checked while the lamp it names is on
    Display, // a text the program writes; its caption is the value
    Field,   // a windowed control that keeps its own role and only gets the name
};

struct AccessDef
{
    const char *control = "";
    AccessRole role = AccessRole::Button;
    const char *name = nullptr; // null: the control's caption
    const char *toolTip = nullptr;
    // A picture that gives the same answer beside a word: one control with it, over
    // both boxes. For a toggle, the lamp whose state it has.
    const char *partner = nullptr;
};

struct FormDef
{
    const char *caption = "";
    int width = 0;  // client area, twips
    int height = 0;
    quint32 backColor = 0x00FFFFFF;
    const ControlDef *controls = nullptr;
    int controlCount = 0;
    const AccessDef *access = nullptr;
    int accessCount = 0;
    // Every control Tab reaches, in the window's visual order: a drawn one gets the
    // window's focus ring, a windowed one the keyboard focus itself.
    const char *const *ring = nullptr;
    int ringCount = 0;
    // The drawn control the keyboard is on when the window opens, if any.
    const char *focus = nullptr;
    // The answer Escape gives, if any.
    const char *cancel = nullptr;
    // The control whose caption names the window for assistive technology; null:
    // the window's caption.
    const char *nameControl = nullptr;
};
