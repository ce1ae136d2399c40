#include "shell/promptdef.h"

#include <array>
#include <iterator>
#include <string_view>

namespace {

using K = ControlKind;
using S = ShapeStyle;
using namespace ControlFlag;

constexpr quint32 Blue = 0x00BE9825;
constexpr quint32 LightBlue = 0x00EBD798;
constexpr quint32 Green = 0x00008000;
constexpr quint32 Red = 0x000000C0;
constexpr quint32 WindowBackground = 0x80000005; // follows the desktop's colour scheme
constexpr quint32 PromptBack = 0x00F8F1DC;
constexpr FontDef Bold825 = {"MS Sans Serif", 8.25, true};

// One row per control with its place in each window's stacking order (1 frontmost).
struct PromptRow
{
    ControlDef def;
    int zForm2;
    int zForm3;
};

constexpr ControlDef label(const char *name, int left, int top, int width, int height, quint32 text,
                           const char *caption, CursorKind cursor, unsigned flags = 0)
{
    return {.name = name, .kind = K::Label, .left = left, .top = top, .width = width, .height = height,
            .foreColor = text, .caption = caption, .font = Bold825, .cursor = cursor,
            .flags = Transparent | flags};
}

constexpr ControlDef image(const char *name, int left, int top, int width, int height, const char *picture,
                           CursorKind cursor)
{
    return {.name = name, .kind = K::Image, .left = left, .top = top, .width = width, .height = height,
            .picture = picture, .cursor = cursor};
}

constexpr ControlDef shape(const char *name, S style, int left, int top, int width, int height, quint32 fill)
{
    return {.name = name, .kind = K::Shape, .left = left, .top = top, .width = width, .height = height,
            .backColor = fill, .foreColor = Blue, .shape = style};
}

constexpr auto Hand = CursorKind::Hand;
constexpr auto Arrow = CursorKind::Arrow;

constexpr PromptRow rows[] = {
    {label("Label1", 1320, 360, 2775, 615, Blue, "", Arrow), 8, 8}, // the question, per window
    {label("Label3", 2400, 960, 375, 255, Green, "Oui", Hand), 3, 5},
    {image("Image3", 2760, 840, 345, 315, ":/art/Q3.png", Hand), 4, 4},
    {image("Image2", 3240, 840, 345, 345, ":/art/Q2.png", Hand), 6, 2},
    {label("Label2", 3600, 960, 375, 255, Red, "Non", Hand), 5, 3},
    {label("Label4", 2760, 1200, 975, 255, Blue, "annuler", Hand, Centred), 1, 7},
    {image("Image1", 360, 360, 930, 720, ":/art/Q1.png", Arrow), 2, 6},
    {shape("Shape2", S::Rectangle, 0, 0, 4335, 1500, NoColor), 7, 1},
    {shape("Shape4", S::RoundedRectangle, 240, 240, 3975, 975, WindowBackground), 9, 9},
    {shape("Shape1", S::RoundedRectangle, 120, 120, 1935, 1215, LightBlue), 10, 10},
    {shape("Shape3", S::RoundedRectangle, 2760, 960, 975, 495, LightBlue), 11, 11},
};
constexpr size_t Count = std::size(rows);

// The window's controls front to back, placed by their stacking position.
constexpr std::array<ControlDef, Count> stacked(int PromptRow::*z, const char *question)
{
    std::array<ControlDef, Count> out{};
    for (const PromptRow &row : rows) {
        ControlDef def = row.def;
        if (std::string_view(def.name) == "Label1")
            def.caption = question;
        out[size_t(row.*z - 1)] = def;
    }
    return out;
}

constexpr bool complete(const std::array<ControlDef, Count> &controls)
{
    for (const ControlDef &def : controls) {
        if (std::string_view(def.name).empty())
            return false;
    }
    return true;
}

constexpr auto form2Controls = stacked(&PromptRow::zForm2, "Voulez-vous enregsiter le document en cours ?");
constexpr auto form3Controls =
    stacked(&PromptRow::zForm3, "Voulez-vous  enregistrer le document en cours ? avant de quitter");
static_assert(complete(form2Controls) && complete(form3Controls), "each stacking position holds one control");

// Names for assistive technology; the question is read as it is shown, and names
// the window. Each answer is one control: the word with the picture beside it.
constexpr AccessDef access[] = {
    {"Label1", AccessRole::Display},
    {"Label3", AccessRole::Button, "Oui", nullptr, "Image3"},
    {"Label2", AccessRole::Button, "Non", nullptr, "Image2"},
    {"Label4", AccessRole::Button, "Annuler"},
};

// The answers as they read, left to right, then below; the keyboard starts on the
// one that goes ahead, and Escape gives the one that loses nothing.
constexpr const char *ring[] = {"Label3", "Label2", "Label4"};

constexpr FormDef form2 = {.caption = "Form2", .width = 4335, .height = 1500, .backColor = PromptBack,
                           .controls = form2Controls.data(), .controlCount = int(Count),
                           .access = access, .accessCount = int(std::size(access)),
                           .ring = ring, .ringCount = int(std::size(ring)), .focus = "Label3", .cancel = "Label4",
                           .nameControl = "Label1"};
constexpr FormDef form3 = {.caption = "Form3", .width = 4335, .height = 1500, .backColor = PromptBack,
                           .controls = form3Controls.data(), .controlCount = int(Count),
                           .access = access, .accessCount = int(std::size(access)),
                           .ring = ring, .ringCount = int(std::size(ring)), .focus = "Label3", .cancel = "Label4",
                           .nameControl = "Label1"};

} // namespace

const FormDef &form2Definition() { return form2; }
const FormDef &form3Definition() { return form3; }
