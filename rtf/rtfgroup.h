#pragma once

#include "model/states.h"

// What a group reads into: the body's text, or a destination whose text is not shown
// as such.
enum class RtfDest : unsigned char {
    Normal,
    FontTable,
    ColorTable,
    StyleSheet,
    StyleEntry,
    FieldInst,
    Picture,
    Upr,
    Shape,          // inside a shape: nothing shows but the shape's own picture
    ShapeName,      // the name of a shape property
    NestTableProps, // the definition of a nested row
    ListNumber,     // an old-style list's description (\pn)
    PnText,         // the text before its number, or its bullet (\pntxtb)
    ListTable,      // the list table or the list override table
    LevelText,      // a list level's label template
};
constexpr int RtfDestCount = int(RtfDest::LevelText) + 1;

// The state of an open group: a copy of its parent's when it opens, dropped when it
// closes. The owner marks say which destination's work ends with the group.
struct RtfGroup
{
    CharState chr;
    ParaState para;
    RtfDest dest = RtfDest::Normal;
    RtfDest uprOuter = RtfDest::Normal;
    bool styleOwner = false;
    bool pictureOwner = false;
    bool fontTableOwner = false;
    bool fieldOwner = false;
    bool nestedResultOwner = false; // opened the result of a field inside an instruction
    bool textBoxOwner = false;      // opened a text box's text
    bool listNumberOwner = false;   // opened a \pn
    unsigned char uc = 1;
    bool intbl = false;     // the paragraph is in a table
    signed char itap = -1;  // its nesting level, -1 = not given
    int field = -1;
    int ls = 0;           // the paragraph's list (\ls), 0 for none
    signed char ilvl = 0; // its level in the list
    int style = 0;          // the paragraph's style (\s)
    bool contextual = false; // \contextualspace: no space beside a paragraph of its style
    // The font generation this state's font and code page were resolved in.
    unsigned fontGeneration = 0;
};
