#include "document/form2.h"

#include "shell/promptdef.h"

namespace {
QPointer<PromptForm> open2;
}

Form2::Form2()
    : PromptForm(form2Definition())
{
    onClick("Label3", [this] { Label3_Click(); });
    onClick("Image3", [this] { Image3_Click(); });
    onClick("Label2", [this] { Label2_Click(); });
    onClick("Image2", [this] { Image2_Click(); });
    onClick("Label4", [this] { Label4_Click(); });
}

Form2::~Form2() = default;

Form2 *Form2::showPrompt()
{
    return static_cast<Form2 *>(showOne(open2, [] { return static_cast<PromptForm *>(new Form2); }));
}

Form2 *Form2::current()
{
    return static_cast<Form2 *>(open2.data());
}
