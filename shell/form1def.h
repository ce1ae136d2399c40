#pragma once

#include "shell/controldef.h"

// The main window as defined: caption, size, colours and every control, front to back.
const FormDef &form1Definition();
