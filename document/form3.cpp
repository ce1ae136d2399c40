#include "document/form3.h"

#include "shell/promptdef.h"

namespace {
QPointer<PromptForm> open3;
}

Form3::Form3()
    : PromptForm(form3Definition())
{
    onClick("Label3", [this] { Label3_Click(); });
    onClick("Image3", [this] { Image3_Click(); });
    onClick("Label2", [this] { Label2_Click(); });
    onClick("Image2", [this] { Image2_Click(); });
    onClick("Label4", [this] { Label4_Click(); });
}

Form3::~Form3() = default;

Form3 *Form3::showPrompt()
{
    return static_cast<Form3 *>(showOne(open3, [] { return static_cast<PromptForm *>(new Form3); }));
}

Form3 *Form3::current()
{
    return static_cast<Form3 *>(open3.data());
}
