#pragma once

class FormWindow;
struct MouseArgs;

// The drag of a frameless window by its drag source, shared by the three windows.
namespace WindowDrag {

// MouseDown on the drag source: every press stores the anchor, whatever the button.
void press(FormWindow &window, const MouseArgs &args);

// MouseMove on the drag source: one drag step on the window's current geometry and
// the screen that holds it.
void move(FormWindow &window, const MouseArgs &args);

} // namespace WindowDrag
