// Answers of the prompt that the close glyph shows.
#include "shell/form3.h"

void Form3::Label3_Click() { close(); }
void Form3::Image3_Click() { Label3_Click(); }
void Form3::Label2_Click() { close(); }
void Form3::Image2_Click() { Label2_Click(); }
void Form3::Label4_Click() { close(); }
