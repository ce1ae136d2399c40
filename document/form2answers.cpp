// Answers of the prompt that the New command shows.
#include "shell/form2.h"

void Form2::Label3_Click() { close(); }
void Form2::Image3_Click() { Label3_Click(); }
void Form2::Label2_Click() { close(); }
void Form2::Image2_Click() { Label2_Click(); }
void Form2::Label4_Click() { close(); }
