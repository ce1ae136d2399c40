#pragma once

#include "shell/controldef.h"

// The two prompt windows as defined: the same controls under the same names, each
// window with its own question, caption and stacking order.
const FormDef &form2Definition();
const FormDef &form3Definition();
